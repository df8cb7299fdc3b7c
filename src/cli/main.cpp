#include "cli/CommandLine.h"
#include "run/RunMemory.h"

int main(int argc, char** argv)
{
    trimlark::KeepRunMemoryFlat(); // before anything is allocated
    return trimlark::RunCommandLine(argc, argv);
}

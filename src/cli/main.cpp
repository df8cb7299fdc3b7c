#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
    return trimlark::RunCommandLine(argc, argv);
}

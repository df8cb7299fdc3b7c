#include "app/AppDelegate.h"
#include "run/RunMemory.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    trimlark::KeepRunMemoryFlat();
    QApplication application(argc, argv);
    trimlark::AppDelegate delegate;
    return delegate.Run(application);
}

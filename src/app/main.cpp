#include "app/AppDelegate.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    trimlark::AppDelegate delegate;
    return delegate.Run(application);
}

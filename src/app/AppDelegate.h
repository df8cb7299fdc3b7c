#pragma once

#include "app/Platform.h"
#include "app/SingleInstance.h"

#include <QObject>
#include <QStringList>
#include <memory>

class QApplication;

namespace trimlark {

class ViewController;

// Starts the app: one running instance per user, the main window, and the files given on the command line
// (or handed over by a later launch) as one "openWith" each.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // serverName: where launches of one user meet (SingleInstance::DefaultServerName() for the app).
    explicit AppDelegate(QString serverName = SingleInstance::DefaultServerName());
    ~AppDelegate() override;

    // Runs the app until its window closes; the process's exit code. A launch whose files an already running
    // instance took ends at once with 0.
    int Run(QApplication& application);

    // Hands the files to a running instance (true: it took them, this launch should end), or shows the main
    // window over the platform with the files listed (false).
    bool Start(const QStringList& paths, std::unique_ptr<Platform> platform);
    // The end of the app: later launches stop handing their files here first (they start an app of their own),
    // then the window goes, which waits for a run still working.
    void Finish();

    // The main window once started; null before and after.
    ViewController* MainWindow() const { return viewController_.get(); }

    // Absolute paths of the files named on a command line (after the program name); file: addresses are
    // taken as their paths.
    static QStringList FilePathsFromArguments(const QStringList& arguments);

private:
    // The list may be empty: a launch without files only brings the window forward.
    void OpenFiles(const QStringList& paths);

    QString serverName_;
    std::unique_ptr<SingleInstance> singleInstance_;
    std::unique_ptr<ViewController> viewController_;
};

} // namespace trimlark

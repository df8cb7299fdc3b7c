#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class QApplication;

namespace trimlark {

class SingleInstance;
class ViewController;

// Starts the app: one running instance per user, the main window, and the files given on the command line
// (or handed over by a later launch) as one "openWith" each.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    AppDelegate();
    ~AppDelegate() override;

    // Runs the app until its window closes; the process's exit code. A launch that hands its files to an
    // already running instance ends at once with 0.
    int Run(QApplication& application);

    // Absolute paths of the files named on a command line (after the program name); file: addresses are
    // taken as their paths.
    static QStringList FilePathsFromArguments(const QStringList& arguments);

private:
    // The list may be empty: a launch without files only brings the window forward.
    void OpenFiles(const QStringList& paths);

    std::unique_ptr<SingleInstance> singleInstance_;
    std::unique_ptr<ViewController> viewController_;
};

} // namespace trimlark

#include "app/AppDelegate.h"

#include "app/NotificationCenter.h"
#include "app/QtPlatform.h"
#include "app/SingleInstance.h"
#include "app/ViewController.h"
#include "imaging/ImageTools.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>

namespace trimlark {

AppDelegate::AppDelegate(QString serverName) : serverName_(std::move(serverName)) {}

AppDelegate::~AppDelegate() = default;

QStringList AppDelegate::FilePathsFromArguments(const QStringList& arguments)
{
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.isEmpty())
            continue;
        QString path = argument;
        if (argument.startsWith(QStringLiteral("file:"))) {
            const QUrl url(argument);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        }
        paths << QFileInfo(path).absoluteFilePath();
    }
    return paths;
}

int AppDelegate::Run(QApplication& application)
{
    QApplication::setOrganizationName(QStringLiteral("Trimlark"));
    QApplication::setApplicationName(QStringLiteral("Trimlark"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMLARK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.trimlark.Trimlark"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.trimlark.Trimlark.svg")));

    if (Start(FilePathsFromArguments(QApplication::arguments()), std::make_unique<QtPlatform>()))
        return 0;
    // Other windows (the custom ratio's) do not keep the app alive once the main window has closed.
    connect(viewController_.get(), &ViewController::windowClosed, &application, &QApplication::quit,
            Qt::QueuedConnection);
    connect(viewController_.get(), &ViewController::quitRequested, &application, &QApplication::quit,
            Qt::QueuedConnection);
    // The session's log-out is not answered (no commitDataRequest handler): it ends the app without the
    // unsaved-changes question, which Quit and closing the window ask.
    const int code = application.exec();
    Finish();
    return code;
}

bool AppDelegate::Start(const QStringList& paths, std::unique_ptr<Platform> platform)
{
    singleInstance_ = std::make_unique<SingleInstance>(serverName_);
    if (singleInstance_->ForwardOrListen(paths))
        return true;

    ImageTools::Initialize();
    viewController_ = std::make_unique<ViewController>(std::move(platform));
    connect(singleInstance_.get(), &SingleInstance::filesReceived, this, &AppDelegate::OpenFiles);
    viewController_->show();
    // The window and its observer exist now, so files named at start reach the list.
    if (!paths.isEmpty())
        OpenFiles(paths);
    return false;
}

void AppDelegate::Finish()
{
    // A run still working keeps the window's destructor busy; files handed over meanwhile would reach no one.
    singleInstance_.reset();
    viewController_.reset();
}

void AppDelegate::OpenFiles(const QStringList& paths)
{
    if (!paths.isEmpty())
        Q_EMIT NotificationCenter::Default().openWith(paths);
    if (viewController_)
        viewController_->BringForward();
}

} // namespace trimlark

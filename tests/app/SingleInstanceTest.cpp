#include "app/SingleInstance.h"

#include "ScriptedPlatform.h"
#include "app/AppDelegate.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUuid>
#include <future>
#include <sys/stat.h>

namespace trimlark {
namespace {

// A later launch; it waits for the running instance's answer, so it runs beside the event loop that answers.
bool Launch(const QString& serverName, const QStringList& paths)
{
    auto launch = std::async(std::launch::async, [&] { return SingleInstance(serverName).ForwardOrListen(paths); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return launch.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    return launch.get();
}

TEST(SingleInstance, LaterLaunchesHandTheirFilesToTheRunningWindowUntilItEnds)
{
    // Whatever else reaches the socket is ignored.
    const QByteArray good = SingleInstance::EncodeOpenMessage({"/a.png"});
    for (const QByteArray& message : {QByteArray("/etc/passwd\n"), good.chopped(3), good + "xx"})
        EXPECT_FALSE(SingleInstance::DecodeOpenMessage(message)) << message.toHex().toStdString();

    EXPECT_EQ(AppDelegate::FilePathsFromArguments({"trimlark", "a.jpg", "file:///abs/c%20d.tif", ""}),
              (QStringList{QDir::currentPath() + "/a.jpg", "/abs/c d.tif"}));
    const QString name = "trimlark-test-" + QUuid::createUuid().toString(QUuid::Id128);
    AppDelegate app(name);
    ASSERT_FALSE(app.Start({}, std::make_unique<ScriptedPlatform>(std::make_shared<Preferences>())));
    ViewController* window = app.MainWindow();
    window->showMinimized();
    EXPECT_TRUE(Launch(name, {"/with space/\u00fcn\u00efcode.png", "/pictures/two.png"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->ListImagePaths().size() == 2; }, 10000));
    EXPECT_EQ(window->ListImagePaths(),
              (std::vector<std::string>{"/with space/\u00fcn\u00efcode.png", "/pictures/two.png"}));
    EXPECT_FALSE(window->isMinimized()) << "brought forward";
    EXPECT_FALSE(Launch(name, {QString(3 * 1024 * 1024, 'x')})) << "6 MiB in UTF-16, over the 4 MiB taken";

    // The window goes last: its destructor may wait for a run still working, and files handed over meanwhile
    // would be lost with it. Later launches start their own app by then.
    std::optional<bool> handedOverWhileEnding;
    QObject::connect(window, &QObject::destroyed,
                     [&] { handedOverWhileEnding = SingleInstance(name).ForwardOrListen({"/p/late.jpg"}); });
    app.Finish();
    EXPECT_EQ(handedOverWhileEnding, false);
}

TEST(SingleInstance, AnotherUsersInstanceDoesNotTakeTheFiles)
{
    const QString name = "trimlark-test-" + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance runningForAnotherUser(name, geteuid() + 1);
    ASSERT_FALSE(runningForAnotherUser.ForwardOrListen({}));
    EXPECT_FALSE(Launch(name, {"/a.png"}));
}

TEST(SingleInstance, LaunchesMeetOnlyInTheUsersPrivateRuntimeFolder)
{
    const auto restore = qScopeGuard([saved = qgetenv("XDG_RUNTIME_DIR")] {
        saved.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", saved);
    });
    QTemporaryDir runtime;
    const QString socket = runtime.filePath("trimlark.socket");
    QFile(socket).open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner); // a file, not a folder
    const struct
    {
        const char* name;
        QString folder;
        mode_t mode;
        QString serverName;
    } cases[] = {
        {"private", runtime.path(), 0700, socket},
        {"empty", "", 0700, ""},
        {"group may enter", runtime.path(), 0710, ""},
        {"others may read", runtime.path(), 0704, ""},
        {"a file", socket, 0700, ""},
        {"the shared temporary folder", "/tmp", 0700, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(chmod(QFile::encodeName(runtime.path()).constData(), c.mode), 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(c.folder));
        EXPECT_EQ(SingleInstance::DefaultServerName().toStdString(), c.serverName.toStdString());
    }
}

} // namespace
} // namespace trimlark

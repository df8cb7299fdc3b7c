#include "app/SingleInstance.h"

#include "ScriptedPlatform.h"
#include "app/AppDelegate.h"

#include <QDataStream>
#include <QDir>
#include <QSignalSpy>
#include <QUuid>

namespace trimlark {
namespace {

QString UniqueServerName()
{
    return "trimlark-test-" + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(SingleInstance, OpenMessagesRoundTripAndMalformedOnesAreIgnored)
{
    const QStringList paths{"/with space/\u00fcn\u00efcode.png", "/x.tif", ""};
    const QByteArray good = SingleInstance::EncodeOpenMessage(paths);
    EXPECT_EQ(SingleInstance::DecodeOpenMessage(good), paths);
    QByteArray hugeCount;
    QDataStream(&hugeCount, QIODevice::WriteOnly) << quint32(0xfffffff0); // four billion paths, none behind it
    const std::pair<const char*, QByteArray> malformed[] = {
        {"empty", {}},
        {"wrong tag", QByteArray(1, static_cast<char>(good[0] ^ 0x55)) + good.mid(1)},
        {"truncated", good.left(good.size() - 3)},
        {"trailing bytes", good + "xx"},
        {"count beyond the data", good.left(4) + hugeCount},
        {"text", "/etc/passwd\n"},
    };
    for (const auto& [name, message] : malformed) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(SingleInstance::DecodeOpenMessage(message));
    }
}

TEST(SingleInstance, LaterLaunchHandsItsFilesToTheRunningOne)
{
    const QString name = UniqueServerName();
    SingleInstance running(name);
    ASSERT_FALSE(running.ForwardOrListen({}));
    QSignalSpy received(&running, &SingleInstance::filesReceived);
    const QStringList paths{"/pictures/one.jpg", "/pictures/two words.png"};
    EXPECT_TRUE(SingleInstance(name).ForwardOrListen(paths));
    ASSERT_TRUE(received.count() > 0 || received.wait(10000));
    EXPECT_EQ(received.takeFirst().at(0).toStringList(), paths);
}

TEST(SingleInstance, CommandLineFilesBecomeAbsolutePaths)
{
    const QStringList paths =
        AppDelegate::FilePathsFromArguments({"trimlark", "a.jpg", "/abs/b.png", "file:///abs/c%20d.tif", ""});
    EXPECT_EQ(paths, (QStringList{QDir::currentPath() + "/a.jpg", "/abs/b.png", "/abs/c d.tif"}));
}

TEST(SingleInstance, LaterLaunchesStartTheirOwnAppOnceThisOneIsEnding)
{
    const QString name = UniqueServerName();
    AppDelegate app(name);
    ASSERT_FALSE(app.Start({}, std::make_unique<ScriptedPlatform>(std::make_shared<ScriptedPlatform::Preferences>())));
    EXPECT_TRUE(SingleInstance(name).ForwardOrListen({})) << "a launch while the app runs hands over";
    // The window goes last: its destructor may wait for a run still working, and files handed over meanwhile
    // would be lost with it.
    std::optional<bool> handedOverWhileEnding;
    QObject::connect(app.MainWindow(), &QObject::destroyed,
                     [&] { handedOverWhileEnding = SingleInstance(name).ForwardOrListen({"/p/late.jpg"}); });
    app.Finish();
    EXPECT_EQ(handedOverWhileEnding, false);
}

} // namespace
} // namespace trimlark

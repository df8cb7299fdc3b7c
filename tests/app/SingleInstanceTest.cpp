#include "app/SingleInstance.h"

#include "ScriptedPlatform.h"
#include "app/AppDelegate.h"

#include <QDataStream>
#include <QDir>
#include <QSignalSpy>
#include <QUuid>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(SingleInstance, MessageRoundTrip)
{
    const QStringList cases[] = {
        {},
        {"/a/b.jpg"},
        {"/with space/ünïcode.png", "/x.tif", ""},
    };
    for (const auto& paths : cases) {
        SCOPED_TRACE(paths.join(",").toStdString());
        EXPECT_EQ(SingleInstance::DecodeOpenMessage(SingleInstance::EncodeOpenMessage(paths)), paths);
    }
}

TEST(SingleInstance, MalformedMessagesAreIgnored)
{
    const QByteArray good = SingleInstance::EncodeOpenMessage({"/a.jpg", "/b.jpg"});
    QByteArray wrongTag = good;
    wrongTag[0] = static_cast<char>(wrongTag[0] ^ 0x55);
    QByteArray hugeCount;
    {
        // The right tag, then a count of four billion with nothing behind it.
        QDataStream stream(&hugeCount, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_6_4);
        stream << good.left(4) << quint32(0xfffffff0);
        hugeCount = good.left(4) + hugeCount.mid(8);
    }
    struct Case
    {
        const char* name;
        QByteArray message;
    };
    const Case cases[] = {
        {"empty", {}},
        {"wrong tag", wrongTag},
        {"truncated", good.left(good.size() - 3)},
        {"trailing bytes", good + QByteArray("xx")},
        {"count beyond the data", hugeCount},
        {"text", QByteArray("/etc/passwd\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SingleInstance::DecodeOpenMessage(c.message));
    }
}

TEST(SingleInstance, LaterLaunchHandsItsFilesToTheRunningOne)
{
    const QString name = "trimlark-test-" + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance running(name);
    ASSERT_FALSE(running.ForwardOrListen({}));
    ASSERT_TRUE(running.IsListening());
    QSignalSpy received(&running, &SingleInstance::filesReceived);

    SingleInstance later(name);
    const QStringList paths{"/pictures/one.jpg", "/pictures/two words.png"};
    EXPECT_TRUE(later.ForwardOrListen(paths));
    EXPECT_FALSE(later.IsListening());
    ASSERT_TRUE(received.count() > 0 || received.wait(10000));
    EXPECT_EQ(received.takeFirst().at(0).toStringList(), paths);
}

TEST(AppDelegate, CommandLineFilesBecomeAbsolutePaths)
{
    const QString cwd = QDir::currentPath();
    const QStringList paths =
        AppDelegate::FilePathsFromArguments({"trimlark", "a.jpg", "/abs/b.png", "file:///abs/c%20d.tif", ""});
    EXPECT_EQ(paths, (QStringList{cwd + "/a.jpg", "/abs/b.png", "/abs/c d.tif"}));
}

TEST(AppDelegate, LaterLaunchesStartTheirOwnAppOnceThisOneIsEnding)
{
    const QString name = "trimlark-test-" + QUuid::createUuid().toString(QUuid::Id128);
    AppDelegate app(name);
    ASSERT_FALSE(app.Start({}, std::make_unique<ScriptedPlatform>(std::make_shared<ScriptedPlatform::Preferences>())));
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(SingleInstance(name).ForwardOrListen({})) << "a launch while the app runs hands over";

    // The window goes last: its destructor may wait for a run still working, and files a later launch handed
    // over then would be lost with it.
    std::optional<bool> handedOverWhileEnding;
    QObject::connect(app.MainWindow(), &QObject::destroyed,
                     [&] { handedOverWhileEnding = SingleInstance(name).ForwardOrListen({"/p/late.jpg"}); });
    app.Finish();
    ASSERT_TRUE(handedOverWhileEnding.has_value());
    EXPECT_FALSE(*handedOverWhileEnding);
    EXPECT_EQ(app.MainWindow(), nullptr);
}

} // namespace
} // namespace trimlark

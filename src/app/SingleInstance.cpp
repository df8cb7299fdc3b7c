#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

namespace {

constexpr quint32 kMessageTag = 0x544c4b31; // "TLK1"
constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;
constexpr int kConnectTimeoutMs = 300;
constexpr int kWriteTimeoutMs = 2000;

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultServerName()
{
    // Only a folder no one else can enter: in a shared one another user could listen under the name first and be
    // handed the files. lstat, not stat: a link could be pointed elsewhere after the check.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat folder {};
    if (!runtime.startsWith('/') || lstat(runtime.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
        folder.st_uid != geteuid() || (folder.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return {};
    return QDir(QFile::decodeName(runtime)).filePath(QStringLiteral("trimlark.socket"));
}

bool SingleInstance::IsListening() const
{
    return server_ != nullptr && server_->isListening();
}

bool SingleInstance::ForwardOrListen(const QStringList& paths)
{
    if (serverName_.isEmpty())
        return false;
    // Without the lock two launches at once could both fail to connect and both try to listen. A full server
    // path keeps its lock beside it.
    QLockFile lock(QDir(QDir::tempPath()).filePath(serverName_ + QStringLiteral(".lock")));
    lock.setStaleLockTime(5000);
    const bool locked = lock.tryLock(3000);
    if (Forward(paths))
        return true;
    Listen();
    if (locked)
        lock.unlock();
    return false;
}

bool SingleInstance::Forward(const QStringList& paths)
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(EncodeOpenMessage(paths));
    const bool written = socket.waitForBytesWritten(kWriteTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWriteTimeoutMs);
    return written;
}

bool SingleInstance::Listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) {
        // A socket file left behind by a launch that was killed.
        QLocalServer::removeServer(serverName_);
        if (!server_->listen(serverName_))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::AcceptConnections);
    return true;
}

void SingleInstance::AcceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxMessageBytes)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const auto paths = DecodeOpenMessage(*buffer);
            delete buffer;
            socket->deleteLater();
            if (paths)
                Q_EMIT filesReceived(*paths);
        });
    }
}

QByteArray SingleInstance::EncodeOpenMessage(const QStringList& paths)
{
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << kMessageTag << static_cast<quint32>(paths.size());
    for (const QString& path : paths)
        stream << path;
    return message;
}

std::optional<QStringList> SingleInstance::DecodeOpenMessage(const QByteArray& message)
{
    if (message.size() > kMaxMessageBytes)
        return std::nullopt;
    QDataStream stream(message);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 tag = 0;
    stream >> tag;
    if (stream.status() != QDataStream::Ok || tag != kMessageTag)
        return std::nullopt;
    // The list is read item by item: its stored count alone must not decide how much memory is taken.
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok || count > static_cast<quint32>(message.size() / 4))
        return std::nullopt;
    QStringList paths;
    for (quint32 i = 0; i < count; ++i) {
        QString path;
        stream >> path;
        if (stream.status() != QDataStream::Ok)
            return std::nullopt;
        paths.append(path);
    }
    if (!stream.atEnd())
        return std::nullopt;
    return paths;
}

} // namespace trimlark

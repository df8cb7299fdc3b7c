#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

namespace {

// "TLK2": the tag, the byte count of what follows, then the paths. The running instance answers kTaken once it
// has the files. An instance that knows only "TLK1" (no count, no answer) refuses the message, so the launch keeps
// its files.
constexpr quint32 kMessageTag = 0x544c4b32;
constexpr qint64 kHeaderBytes = 8;
constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;
constexpr char kTaken = '\x06';
constexpr int kConnectTimeoutMs = 300;
// Well inside the lock's stale time, which covers the whole handover.
constexpr int kAnswerTimeoutMs = 3000;

// The byte count of the whole message whose start has arrived: 0 while its header has not, -1 when it is not
// one this app takes (another tag, or larger than it takes).
qint64 MessageBytes(const QByteArray& start)
{
    if (start.size() < kHeaderBytes)
        return 0;
    QDataStream stream(start);
    quint32 tag = 0;
    quint32 size = 0;
    stream >> tag >> size;
    if (tag != kMessageTag || size > kMaxMessageBytes - kHeaderBytes)
        return -1;
    return kHeaderBytes + size;
}

// Whether the process at the other end ran as the user when it connected, as the kernel recorded it.
bool RunsAs(const QLocalSocket& peer, uid_t user)
{
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    return getsockopt(static_cast<int>(peer.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           size == sizeof credentials && credentials.uid == user;
}

} // namespace

SingleInstance::SingleInstance(QString serverName, uid_t user, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)), user_(user)
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultServerName()
{
    // Only a folder no one else can enter: in a shared one another user could listen under the name first and be
    // handed the files. lstat, not stat: a link could be pointed elsewhere after the check.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat folder = {};
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
    switch (Forward(paths)) {
    case Handover::Taken:
        return true;
    case Handover::Refused:
        // The running instance keeps the name; this launch only opens its own window.
        return false;
    case Handover::NoInstance:
        break;
    }
    Listen();
    if (locked)
        lock.unlock();
    return false;
}

SingleInstance::Handover SingleInstance::Forward(const QStringList& paths)
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return Handover::NoInstance;
    // Only the answer says the files were taken: written bytes may still be refused, or sit unread in an
    // instance that hangs.
    const QDeadlineTimer deadline(kAnswerTimeoutMs);
    socket.write(EncodeOpenMessage(paths));
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    }
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    }
    return socket.read(1) == QByteArray(1, kTaken) ? Handover::Taken : Handover::Refused;
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
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!RunsAs(*socket, user_)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            const qint64 expected = MessageBytes(*received);
            if (expected == 0 || received->size() < expected)
                return;
            const auto paths = DecodeOpenMessage(*received);
            if (!paths) {
                // Unanswered, so the launch opens its own window with its files.
                socket->abort();
                socket->deleteLater();
                return;
            }
            socket->write(&kTaken, 1);
            socket->disconnectFromServer();
            Q_EMIT filesReceived(*paths);
        });
    }
}

QByteArray SingleInstance::EncodeOpenMessage(const QStringList& paths)
{
    QByteArray body;
    QDataStream stream(&body, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << static_cast<quint32>(paths.size());
    for (const QString& path : paths)
        stream << path;
    QByteArray message;
    QDataStream(&message, QIODevice::WriteOnly) << kMessageTag << static_cast<quint32>(body.size());
    return message + body;
}

std::optional<QStringList> SingleInstance::DecodeOpenMessage(const QByteArray& message)
{
    if (message.size() < kHeaderBytes || MessageBytes(message) != message.size())
        return std::nullopt;
    QDataStream stream(message);
    stream.setVersion(QDataStream::Qt_6_4);
    stream.skipRawData(kHeaderBytes);
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

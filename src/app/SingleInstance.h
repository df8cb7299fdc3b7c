#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>
#include <unistd.h>

class QLocalServer;

namespace trimlark {

// One running app per user: a later launch hands its files to the running one over a local socket and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // serverName: a per-user name or socket path (DefaultServerName() for the app); empty: every launch runs on
    // its own. user: the one user whose launches are heard, as the system reports the peer (not as it says).
    explicit SingleInstance(QString serverName, uid_t user = geteuid(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket in the user's private runtime folder (XDG_RUNTIME_DIR); empty when there is none (unset, not a
    // folder, or not the user's alone).
    static QString DefaultServerName();

    // Under a per-user lock: hands the files to a running instance (true: it took them and this launch should
    // end), or starts listening for later launches (false). A running instance that does not take them stays the
    // one that listens: false, and this launch opens its own window. Without a server name: false, nothing
    // listens.
    bool ForwardOrListen(const QStringList& paths);

    bool IsListening() const;

    // The message a launch sends: a tag, its size and the absolute paths.
    static QByteArray EncodeOpenMessage(const QStringList& paths);
    // The paths of a message; nothing when it is not one (wrong tag, wrong size, truncated, trailing bytes, too
    // large).
    static std::optional<QStringList> DecodeOpenMessage(const QByteArray& message);

Q_SIGNALS:
    // A later launch handed over these files, in its order.
    void filesReceived(const QStringList& paths);

private:
    enum class Handover
    {
        Taken,
        Refused,
        NoInstance,
    };

    Handover Forward(const QStringList& paths);
    bool Listen();
    void AcceptConnections();

    QString serverName_;
    uid_t user_;
    QLocalServer* server_ = nullptr;
};

} // namespace trimlark

#include "Singleinstance.h"

#include "Instanceplace.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QMetaObject>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {

constexpr int ConnectWait = 1000;
constexpr int AnswerWait = 2000;
constexpr int LockWait = 5000;
// A start says its wish at once; a peer that stays silent is not a start and must not keep
// its connection.
constexpr int PeerWait = 2000;
constexpr qint64 WishLength = 16;

const QByteArray ShowWord = QByteArrayLiteral("show\n");
const QByteArray StayWord = QByteArrayLiteral("stay\n");
const QByteArray QuitWord = QByteArrayLiteral("quit\n");
// How often a quitting start looks whether the copy it asked is gone.
constexpr int GoneCheckInterval = 100;

// Beside the socket: a bare name's socket lies in the temporary folder, where Qt puts it.
QString lockFilePath(const QString& name)
{
    const QString path = QFileInfo(name).isAbsolute() ? name : QDir::temp().filePath(name);
    return path + QStringLiteral(".lock");
}

} // namespace

QString sessionInstanceName()
{
    // What tells one login, one display and one settings profile from another.
    QByteArray key = QDir::homePath().toUtf8();
    key += '\n' + QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toUtf8();
    for (const char* variable :
         {"XDG_SESSION_ID", "XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"}) {
        key += '\n' + qgetenv(variable);
    }
    return privateServerName(
        QStringLiteral("brindora-") +
        QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16)));
}

SingleInstance::SingleInstance(QString name) : m_name(std::move(name))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

bool SingleInstance::handOver(Wish wish)
{
    if (m_name.isEmpty()) {
        return false;
    }
    // Two starts at the same moment (a session's autostart and a click in the menu) would
    // both find no one and both listen; the lock lets one of them look at a time. A lock
    // left by a start that died is taken over.
    QLockFile lock(lockFilePath(m_name));
    lock.tryLock(LockWait);
    const PeerFound peer = tellRunningCopy(wish == Wish::Show ? ShowWord : StayWord);
    if (peer == PeerFound::Ours) {
        return true;
    }
    // A server that may be another user's is told nothing and can't be replaced: this start
    // runs alone, as where no place is the user's own.
    if (peer == PeerFound::Stranger) {
        return false;
    }
    // Nobody answered: whatever socket file is left belongs to a copy that died.
    QLocalServer::removeServer(m_name);
    m_server.listen(m_name);
    return false;
}

SingleInstance::QuitOutcome SingleInstance::askToQuit(int wait)
{
    if (m_name.isEmpty() || tellRunningCopy(QuitWord) != PeerFound::Ours) {
        return QuitOutcome::NoneRan;
    }
    // The copy stops listening only as it ends, after its settings are saved.
    QDeadlineTimer deadline(wait);
    for (;;) {
        QLocalSocket socket;
        if (connectToPeer(socket, m_name, GoneCheckInterval) == PeerFound::Nobody) {
            return QuitOutcome::HasQuit;
        }
        socket.abort();
        if (deadline.hasExpired()) {
            return QuitOutcome::StillRuns;
        }
        QThread::msleep(GoneCheckInterval);
    }
}

PeerFound SingleInstance::tellRunningCopy(const QByteArray& word) const
{
    QLocalSocket socket;
    const PeerFound peer = connectToPeer(socket, m_name, ConnectWait);
    if (peer != PeerFound::Ours) {
        return peer;
    }
    socket.write(word);
    socket.waitForBytesWritten(AnswerWait);
    // The running copy hangs up once it has read the wish; a copy that hangs is still the
    // one that runs, so this start ends either way.
    if (socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForDisconnected(AnswerWait);
    }
    return peer;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(PeerWait, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() < WishLength) {
                return;
            }
            const QByteArray wish = socket->readLine(WishLength);
            socket->disconnectFromServer();
            if (wish == ShowWord) {
                QMetaObject::invokeMethod(
                    this, [this] { Q_EMIT showRequested(); }, Qt::QueuedConnection);
            } else if (wish == QuitWord) {
                QMetaObject::invokeMethod(
                    this, [this] { Q_EMIT quitRequested(); }, Qt::QueuedConnection);
            }
        });
    }
}

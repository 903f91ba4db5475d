#include "Instanceplace.h"
#include "Singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

// On Windows the name is a pipe's that carries the user's identity, not a path: the folder
// checks are for the other systems.
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

// Hand-over itself is tested with the real program, in its own processes.
class TestSingleInstance final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;

#ifndef _WIN32
    // Where Qt makes the runtime folder when the session names none.
    QString runtimeFallback() const
    {
        const passwd* user = getpwuid(geteuid());
        return m_temp.filePath(QStringLiteral("runtime-") +
                               QString::fromLocal8Bit(user ? user->pw_name : ""));
    }
#endif

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
    }

#ifndef _WIN32
    void withoutARuntimeFolderTheSocketLiesInAFolderOfTheUsersOwn()
    {
        const QFileInfo socket(sessionInstanceName());
        QVERIFY2(socket.isAbsolute(), qPrintable(socket.filePath()));
        const QFileInfo folder(socket.path());
        QCOMPARE(folder.ownerId(), uint(geteuid()));
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
    }

    void aFolderAnotherUserMadeFirstIsNotUsed()
    {
        QDir(runtimeFallback()).removeRecursively();
        QVERIFY(QDir().mkpath(runtimeFallback()));
        QFile(runtimeFallback()).setPermissions(QFileDevice::Permissions(0x7777));
        if (geteuid() != 0 || chown(QFile::encodeName(runtimeFallback()), 65534, 65534) != 0) {
            QSKIP("only root can make a folder for another user");
        }
        const QString name = sessionInstanceName();
        QVERIFY2(name.isEmpty(), qPrintable(name));
        // Without a place of its own the program runs alone, trusting no one's socket.
        SingleInstance instance(name);
        QVERIFY(!instance.handOver(SingleInstance::Wish::Show));
        QVERIFY(!instance.isListening());
        QDir(runtimeFallback()).removeRecursively();
    }
#endif

#ifdef _WIN32
    // Under wine every process runs as one user, so another (LocalSystem) is expected instead.
    void onlyTheUsersOwnServerHearsAStart()
    {
        const HANDLE server = CreateNamedPipeW(LR"(\\.\pipe\brindora-squatted)", PIPE_ACCESS_DUPLEX,
                                               0, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
        QLocalSocket socket;
        QCOMPARE(connectToPeer(socket, QStringLiteral("brindora-squatted"), 1000,
                               QStringLiteral("S-1-5-18")),
                 PeerFound::Stranger);
        CloseHandle(server);
    }
#endif

    void aPeerThatSaysNothingIsDropped()
    {
        SingleInstance instance(m_temp.filePath(QStringLiteral("silent")));
        QVERIFY(!instance.handOver(SingleInstance::Wish::Stay));
        QVERIFY(instance.isListening());
        QLocalSocket peer;
        peer.connectToServer(m_temp.filePath(QStringLiteral("silent")));
        QVERIFY(peer.waitForConnected(5000));
        // A limit for "never", not for speed.
        QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QLocalSocket::UnconnectedState, 10000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

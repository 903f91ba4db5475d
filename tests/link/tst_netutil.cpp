#include "Loopbackserver.h"
#include "Netutil.h"
#include "Stalledlistener.h"

#include <QSignalSpy>
#include <QTest>

#include <arpa/inet.h>

#include <atomic>
#include <thread>

namespace {

quint32 loopbackAddress()
{
    return htonl(INADDR_LOOPBACK);
}

NativeSocket connectedTo(quint16 port)
{
    const NativeSocket socket = openStreamSocket(LinkKeepAlive);
    if (connectSocket(socket, loopbackAddress(), port, [] { return false; }) !=
        ConnectResult::Connected) {
        closeSocket(socket);
        return InvalidSocket;
    }
    return socket;
}

} // namespace

class TestNetutil final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolveHost_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<quint32>("address");
        const quint32 loopback = loopbackAddress();
        QTest::newRow("dotted") << QByteArray("127.0.0.1") << true << loopback;
        QTest::newRow("short dotted form") << QByteArray("127.1") << true << loopback;
        QTest::newRow("name from the hosts file") << QByteArray("localhost") << true << loopback;
        // Fails inside the resolver library without asking any name server.
        QTest::newRow("malformed name") << QByteArray("a..b") << false << quint32(0xFFFFFFFF);
        QTest::newRow("all ones is looked up, still unusable")
            << QByteArray("255.255.255.255") << false << quint32(0xFFFFFFFF);
        QTest::newRow("zero is looked up, still unusable")
            << QByteArray("0.0.0.0") << false << quint32(0);
    }

    void resolveHost()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, usable);
        QFETCH(quint32, address);
        quint32 result = 12345;
        QCOMPARE(ResolveHost(name.constData(), &result), usable);
        QCOMPARE(result, address);
    }

    void sendToAVanishedPeerNeitherKillsNorBlocks()
    {
        // No startSockets() here: the send itself must not raise SIGPIPE.
        LoopbackServer server;
        QVERIFY(server.listen());
        const NativeSocket socket = connectedTo(server.port());
        QVERIFY(socket != InvalidSocket);
        QTRY_COMPARE(server.openClientCount(), 1);
        server.dropClients();
        QTRY_COMPARE(server.openClientCount(), 0);

        qint64 result = 0;
        for (int attempt = 0; attempt < 100 && result >= 0; ++attempt) {
            result = sendBytes(socket, "play\n", 5);
            QTest::qWait(1);
        }
        QVERIFY(result < 0);
        closeSocket(socket);
    }

    void sendNeverWaitsForAServerThatDoesNotRead()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        const NativeSocket socket = connectedTo(server.port());
        QVERIFY(socket != InvalidSocket);
        // No events run here, so the server never reads: once the buffers are full, sends
        // fail instead of blocking.
        const QByteArray chunk(64 * 1024, 'x');
        qint64 result = 0;
        for (int attempt = 0; attempt < 10000 && result >= 0; ++attempt) {
            result = sendBytes(socket, chunk.constData(), static_cast<int>(chunk.size()));
        }
        QVERIFY(result < 0);
        closeSocket(socket);
    }

    void shutdownWakesABlockedReceive()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        const NativeSocket socket = connectedTo(server.port());
        QVERIFY(socket != InvalidSocket);

        std::atomic<qint64> received{-2};
        std::thread reader([&] {
            char buffer[16];
            received = receiveBytes(socket, buffer, sizeof buffer, [] { return false; });
        });
        QTest::qWait(50);
        QCOMPARE(received.load(), qint64(-2));
        QCOMPARE(shutdownSocket(socket), 0);
        reader.join();
        QCOMPARE(received.load(), qint64(0));
        QCOMPARE(closeSocket(socket), 0);
    }

    void pendingConnectEndsWhenStopped()
    {
        StalledListener stalled;
        QVERIFY(stalled.isReady());
        const NativeSocket socket = openStreamSocket(LinkKeepAlive);
        std::atomic<bool> stop{false};
        std::atomic<int> result{-1};
        std::thread connector([&] {
            result = static_cast<int>(connectSocket(socket, loopbackAddress(), stalled.port(),
                                                    [&] { return stop.load(); }));
        });
        QTest::qWait(50);
        QCOMPARE(result.load(), -1);
        stop = true;
        shutdownSocket(socket);
        connector.join();
        QCOMPARE(result.load(), static_cast<int>(ConnectResult::Stopped));
        closeSocket(socket);
    }

    void aStopIsHonouredOnceConnected()
    {
        // A shutdown that reached the socket before the connection was made wakes nothing
        // afterwards: connect and receive must look at the stop request themselves.
        LoopbackServer server;
        QVERIFY(server.listen());
        const NativeSocket connecting = openStreamSocket(LinkKeepAlive);
        int looks = 0;
        // Not asked for at the first look; asked for by the time the connection is made.
        QCOMPARE(connectSocket(connecting, loopbackAddress(), server.port(),
                               [&] { return ++looks > 1; }),
                 ConnectResult::Stopped);
        closeSocket(connecting);

        const NativeSocket connected = connectedTo(server.port());
        QVERIFY(connected != InvalidSocket);
        char buffer[16];
        QCOMPARE(receiveBytes(connected, buffer, sizeof buffer, [] { return true; }), qint64(0));
        closeSocket(connected);
    }

    void connectToNothingFails()
    {
        const NativeSocket socket = openStreamSocket(LinkKeepAlive);
        QCOMPARE(
            connectSocket(socket, loopbackAddress(), unusedLoopbackPort(), [] { return false; }),
            ConnectResult::Failed);
        closeSocket(socket);
    }
};

QTEST_GUILESS_MAIN(TestNetutil)
#include "tst_netutil.moc"

#include "Democlient.h"
#include "Demoserver.h"
#include "Lineclient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

// Slow enough that no running-time line can sneak into a test that does not
// look at the clock.
constexpr int FrozenTickMs = 3600 * 1000;
// Fast enough to watch a song play out; a test never relies on its exact pace.
constexpr int FastTickMs = 20;

Playlist threeTracks()
{
    return Playlist({{QStringLiteral("One"), 600},
                     {QStringLiteral("Two \"Quoted\" Title"), 600},
                     {QStringLiteral("Τρία"), 600}});
}

std::unique_ptr<DemoServer> startServer(Playlist playlist = threeTracks(),
                                        int tickMs = FrozenTickMs)
{
    auto server = std::make_unique<DemoServer>(std::move(playlist));
    server->setTickInterval(tickMs);
    if (!server->listen(QHostAddress(QHostAddress::LocalHost), 0))
        return nullptr;
    return server;
}

int secondsOf(const QByteArray& timeLine)
{
    const QList<QByteArray> parts = timeLine.split(' ');
    if (parts.size() != 4 || parts.first() != "304")
        return -1;
    return parts.at(1).toInt() * 3600 + parts.at(2).toInt() * 60 + parts.at(3).toInt();
}

} // namespace

class TestDasSim final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void greetsNewClient();
    void commands_data();
    void commands();
    void broadcastsToEveryClient();
    void timeRunsOnlyWhilePlaying();
    void timeCarriesIntoMinutes();
    void songEndMovesToNextTitle();
    void shuffledNextPicksAnotherTitle();
    void longLines_data();
    void longLines();
    void executableServesOnFreePort();
    void executableRefuses_data();
    void executableRefuses();
};

void TestDasSim::greetsNewClient()
{
    const auto server = startServer();
    QVERIFY(server);
    QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::LocalHost));

    LineClient client;
    QVERIFY(client.connectTo(server->serverPort()));
    const QList<QByteArray> expected = {"303 \"One\"", "305 0 0 0", "304 0 0 0"};
    QCOMPARE(client.greeting(), expected);
}

void TestDasSim::commands_data()
{
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QByteArrayList>("expected");

    const QByteArray second = "303 \"Two \"Quoted\" Title\"";
    const QByteArray third = "303 \"Τρία\"";
    const QByteArray zero = "304 0 0 0";

    QTest::newRow("next") << QByteArrayList{"next\n"} << QByteArrayList{second, zero};
    QTest::newRow("prev wraps to the end")
        << QByteArrayList{"prev\n"} << QByteArrayList{third, zero};
    QTest::newRow("next wraps to the start")
        << QByteArrayList{"next\nnext\nnext\n"}
        << QByteArrayList{second, zero, third, zero, "303 \"One\"", zero};
    QTest::newRow("stop") << QByteArrayList{"stop\n"} << QByteArrayList{zero};
    QTest::newRow("shuffle toggles")
        << QByteArrayList{"shuffle\nshuffle\n"} << QByteArrayList{"305 0 0 1", "305 0 0 0"};
    QTest::newRow("play while playing is silent")
        << QByteArrayList{"play\nshuffle\n"} << QByteArrayList{"305 0 0 1"};
    QTest::newRow("CR LF") << QByteArrayList{"next\r\nshuffle\r\n"}
                           << QByteArrayList{second, zero, "305 0 0 1"};
    QTest::newRow("split word") << QByteArrayList{"ne", "xt\n"} << QByteArrayList{second, zero};
    QTest::newRow("split between CR and LF")
        << QByteArrayList{"next\r", "\n"} << QByteArrayList{second, zero};
    QTest::newRow("split after a whole command")
        << QByteArrayList{"stop\nne", "xt", "\n"} << QByteArrayList{zero, second, zero};
    QTest::newRow("unknown and empty lines ignored")
        << QByteArrayList{"dance\nPLAY\n\n\r\nnext\n"} << QByteArrayList{second, zero};
}

void TestDasSim::commands()
{
    QFETCH(QByteArrayList, writes);
    QFETCH(QByteArrayList, expected);

    const auto server = startServer();
    QVERIFY(server);
    LineClient client;
    QVERIFY(client.connectTo(server->serverPort()));
    client.greeting();

    for (const QByteArray& bytes : writes) {
        client.send(bytes);
        // Lets the server read each piece on its own, so the split is real.
        QTest::qWait(50);
    }
    for (const QByteArray& line : std::as_const(expected))
        QCOMPARE(client.nextLine(), line);

    // Nothing else was sent before the answer to a later command.
    client.send("shuffle\n");
    QVERIFY(client.nextLine().startsWith("305 0 0 "));
}

void TestDasSim::broadcastsToEveryClient()
{
    const auto server = startServer();
    QVERIFY(server);
    LineClient first;
    LineClient second;
    QVERIFY(first.connectTo(server->serverPort()));
    QVERIFY(second.connectTo(server->serverPort()));
    first.greeting();
    second.greeting();

    first.send("next\n");
    second.send("shuffle\n");
    for (LineClient* client : {&first, &second}) {
        QCOMPARE(client->nextLine(), QByteArray("303 \"Two \"Quoted\" Title\""));
        QCOMPARE(client->nextLine(), QByteArray("304 0 0 0"));
        QCOMPARE(client->nextLine(), QByteArray("305 0 0 1"));
    }

    // A newcomer is greeted with the state the others left behind.
    LineClient late;
    QVERIFY(late.connectTo(server->serverPort()));
    const QList<QByteArray> expected = {"303 \"Two \"Quoted\" Title\"", "305 0 0 1", "304 0 0 0"};
    QCOMPARE(late.greeting(), expected);
}

void TestDasSim::timeRunsOnlyWhilePlaying()
{
    const auto server = startServer(threeTracks(), FastTickMs);
    QVERIFY(server);
    LineClient client;
    QVERIFY(client.connectTo(server->serverPort()));
    const QList<QByteArray> greeting = client.greeting();
    int previous = secondsOf(greeting.at(2));
    QVERIFY(previous >= 0);

    for (int i = 0; i < 3; ++i) {
        const int now = secondsOf(client.nextLine());
        QCOMPARE(now, previous + 1);
        previous = now;
    }

    // Ticks already on the wire may arrive before the reset.
    client.send("stop\n");
    QByteArray line;
    do {
        line = client.nextLine();
        QVERIFY2(line.startsWith("304 "), line.constData());
    } while (line != "304 0 0 0");

    // Many ticks' worth of waiting: a clock still running would show up here.
    QTest::qWait(20 * FastTickMs);
    client.send("shuffle\n");
    QCOMPARE(client.nextLine(), QByteArray("305 0 0 1"));

    client.send("play\n");
    QCOMPARE(client.nextLine(), QByteArray("304 0 0 1"));
}

void TestDasSim::timeCarriesIntoMinutes()
{
    const auto server = startServer();
    QVERIFY(server);
    LineClient client;
    QVERIFY(client.connectTo(server->serverPort()));
    client.greeting();
    server->setTickInterval(1);

    QByteArray line;
    do {
        line = client.nextLine();
        QVERIFY(!line.isNull());
    } while (line != "304 0 0 59");
    QCOMPARE(client.nextLine(), QByteArray("304 0 1 0"));
}

void TestDasSim::songEndMovesToNextTitle()
{
    const auto server =
        startServer(Playlist({{QStringLiteral("Short"), 2}, {QStringLiteral("After"), 600}}));
    QVERIFY(server);
    LineClient first;
    LineClient second;
    QVERIFY(first.connectTo(server->serverPort()));
    QVERIFY(second.connectTo(server->serverPort()));
    first.greeting();
    second.greeting();

    // Only now may the clock run, so both clients see the whole song.
    server->setTickInterval(FastTickMs);
    for (LineClient* client : {&first, &second}) {
        QCOMPARE(client->nextLine(), QByteArray("304 0 0 1"));
        QCOMPARE(client->nextLine(), QByteArray("303 \"After\""));
        QCOMPARE(client->nextLine(), QByteArray("304 0 0 0"));
        QCOMPARE(client->nextLine(), QByteArray("304 0 0 1"));
    }
}

void TestDasSim::shuffledNextPicksAnotherTitle()
{
    const auto server = startServer();
    QVERIFY(server);
    LineClient client;
    QVERIFY(client.connectTo(server->serverPort()));
    QByteArray title = client.greeting().first();

    client.send("shuffle\n");
    QCOMPARE(client.nextLine(), QByteArray("305 0 0 1"));
    for (int i = 0; i < 20; ++i) {
        client.send("next\n");
        const QByteArray next = client.nextLineSkippingTime();
        QVERIFY(next.startsWith("303 \""));
        QVERIFY2(next != title, next.constData());
        title = next;
    }
}

void TestDasSim::longLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("dropped");

    const int limit = DemoClient::MaxLineBytes;
    QTest::newRow("longest accepted line") << QByteArray(limit, 'x') + '\n' << false;
    QTest::newRow("one byte over, unterminated") << QByteArray(limit + 1, 'x') << true;
    QTest::newRow("far over, terminated") << QByteArray(4 * limit, 'x') + "\nnext\n" << true;
}

void TestDasSim::longLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, dropped);

    const auto server = startServer();
    QVERIFY(server);
    LineClient sender;
    LineClient bystander;
    QVERIFY(sender.connectTo(server->serverPort()));
    QVERIFY(bystander.connectTo(server->serverPort()));
    sender.greeting();
    bystander.greeting();

    sender.send(bytes);
    if (dropped) {
        QVERIFY(sender.waitForDrop());
        QTRY_COMPARE(server->clientCount(), 1);
    } else {
        sender.send("shuffle\n");
        QCOMPARE(sender.nextLine(), QByteArray("305 0 0 1"));
        QVERIFY(sender.isConnected());
    }

    // Nothing of the long line was taken as a command, and the others carry on.
    bystander.send("next\n");
    QCOMPARE(bystander.nextLineSkippingTime(),
             QByteArray(dropped ? "303 \"Two \"Quoted\" Title\"" : "305 0 0 1"));
}

void TestDasSim::executableServesOnFreePort()
{
    QProcess process;
    // Text mode: a console program's lines end in CR LF on Windows.
    process.start(QStringLiteral(DAS_SIM_EXECUTABLE),
                  {QStringLiteral("--port"), QStringLiteral("0")},
                  QIODevice::ReadWrite | QIODevice::Text);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    QVERIFY(process.waitForReadyRead(10000));
    const QString banner = QString::fromUtf8(process.readLine());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$"))
            .match(banner);
    QVERIFY2(match.hasMatch(), qPrintable(banner));
    const quint16 port = quint16(match.captured(1).toUInt());
    QVERIFY(port != 0);

    {
        LineClient client;
        QVERIFY(client.connectTo(port));
        const QList<QByteArray> greeting = client.greeting();
        QCOMPARE(greeting.at(0), QByteArray("303 \"Harbour Lights at Dusk\""));
        QCOMPARE(greeting.at(1), QByteArray("305 0 0 0"));
        QVERIFY(greeting.at(2).startsWith("304 "));
        client.send("shuffle\n");
        QCOMPARE(client.nextLineSkippingTime(), QByteArray("305 0 0 1"));
    }

    // SIGTERM is how scripts stop it; it must end as a normal exit.
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestDasSim::executableRefuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    // "%1" stands for a port that is already taken.
    QTest::newRow("port taken") << QStringList{QStringLiteral("--port"), QStringLiteral("%1")}
                                << QStringLiteral("cannot listen on 127.0.0.1:");
    QTest::newRow("host name") << QStringList{QStringLiteral("--host"), QStringLiteral("localhost")}
                               << QStringLiteral("is not an IP address");
    QTest::newRow("port out of range")
        << QStringList{QStringLiteral("--port"), QStringLiteral("65536")}
        << QStringLiteral("is not a port number");
}

void TestDasSim::executableRefuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress(QHostAddress::LocalHost), 0));
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%1"), QString::number(occupant.serverPort()));

    QProcess process;
    process.start(QStringLiteral(DAS_SIM_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestDasSim)
#include "tst_dassim.moc"

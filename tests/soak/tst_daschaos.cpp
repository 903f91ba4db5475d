// das-chaos itself: each mode must really do the harm it is named for, or the soak tests
// that lean on it would pass without testing anything.

#include "Chaoslines.h"
#include "Chaosprocess.h"
#include "Chaosserver.h"

#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int Patience = 30000;
constexpr quint32 Seed = 99;

std::unique_ptr<ChaosServer> serve(ChaosMode mode)
{
    auto server = std::make_unique<ChaosServer>(mode, Seed);
    return server->listen(0) ? std::move(server) : nullptr;
}

// A client that keeps every byte and counts the reads that brought them.
class Collector final
{
public:
    explicit Collector(quint16 port)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
            ++m_reads;
            m_bytes += m_socket.readAll();
        });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }

    QTcpSocket& socket() { return m_socket; }
    const QByteArray& bytes() const { return m_bytes; }
    int reads() const { return m_reads; }
    bool isOpen() const { return m_socket.state() != QAbstractSocket::UnconnectedState; }
    // Complete lines; CR and LF each end one, empty ones are left out.
    QList<QByteArray> lines() const
    {
        QByteArray text = m_bytes;
        text.replace('\r', '\n');
        QList<QByteArray> lines = text.left(text.lastIndexOf('\n') + 1).split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

private:
    QTcpSocket m_socket;
    QByteArray m_bytes;
    int m_reads = 0;
};

} // namespace

class TestDasChaos final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void floodHoldsLittleForAClientThatNeverReads()
    {
        const auto server = serve(ChaosMode::Flood);
        QVERIFY(server);
        QTcpSocket idle;
        // Qt stops taking bytes from the system once this much is buffered.
        idle.setReadBufferSize(1);
        idle.connectToHost(QHostAddress::LocalHost, server->serverPort());
        QTRY_COMPARE(server->clientCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(server->stats().bytes > 0, Patience);
        QTest::qWait(2000);
        qInfo("flood to a client that never reads: %llu bytes taken by the system, %lld held",
              server->stats().bytes, server->unsentBytes());
        QVERIFY2(server->unsentBytes() <= 128 * 1024,
                 qPrintable(QString::number(server->unsentBytes())));
    }

    void cutLinesArriveInPieces()
    {
        const auto server = serve(ChaosMode::Cut);
        QVERIFY(server);
        Collector client(server->serverPort());
        QTRY_VERIFY_WITH_TIMEOUT(client.lines().size() >= 12, Patience);
        const QRegularExpression whole(
            QStringLiteral("^(303 \"Cut 0\\.\\d+\"|304 \\d+ \\d+ \\d+)$"));
        for (const QByteArray& line : client.lines()) {
            QVERIFY2(whole.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        }
        qInfo("cut: %lld lines in %d reads", qlonglong(client.lines().size()), client.reads());
        QVERIFY(client.reads() > client.lines().size());
    }

    void hugeLinesComeWithAndWithoutEnds()
    {
        const auto server = serve(ChaosMode::Huge);
        QVERIFY(server);
        int ended = 0;
        int unended = 0;
        // A closed connection leaves its last line open; a later one runs two lines together.
        for (int connection = 0; connection < 8 && (ended == 0 || unended == 0); ++connection) {
            Collector client(server->serverPort());
            QTRY_VERIFY_WITH_TIMEOUT(
                !client.isOpen() || client.bytes().size() > 8 * ChaosLines::HugeBytes, Patience);
            QByteArray text = client.bytes();
            text.replace('\r', '\n');
            const QList<QByteArray> parts = text.split('\n');
            for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
                ended += parts[i].size() == ChaosLines::HugeBytes ? 1 : 0;
                unended += parts[i].size() > ChaosLines::HugeBytes ? 1 : 0;
            }
            unended +=
                !client.isOpen() && parts.constLast().size() >= ChaosLines::HugeBytes ? 1 : 0;
        }
        qInfo("huge: %d ended and %d unended megabyte lines", ended, unended);
        QVERIFY(ended > 0);
        QVERIFY(unended > 0);
    }

    void binaryLinesHoldNulAndHighBytes()
    {
        const auto server = serve(ChaosMode::Binary);
        QVERIFY(server);
        Collector client(server->serverPort());
        QTRY_VERIFY_WITH_TIMEOUT(client.lines().size() >= 50, Patience);
        int withNul = 0;
        int withHigh = 0;
        for (const QByteArray& line : client.lines()) {
            withNul += line.contains('\0') ? 1 : 0;
            withHigh += std::any_of(line.begin(), line.end(), [](char b) { return b < 0; }) ? 1 : 0;
        }
        QVERIFY(withNul > 0);
        QVERIFY(withHigh > 0);
    }

    void resetEndsEveryConnectionMidLine()
    {
        const auto server = serve(ChaosMode::Reset);
        QVERIFY(server);
        int midLine = 0;
        for (int connection = 0; connection < 5; ++connection) {
            Collector client(server->serverPort());
            QTRY_VERIFY_WITH_TIMEOUT(!client.isOpen(), Patience);
            midLine += !client.bytes().isEmpty() && !client.bytes().endsWith('\n') ? 1 : 0;
        }
        QVERIFY(midLine > 0);
        QCOMPARE(server->stats().drops, quint64(5));
    }

    void silentSendsNothing()
    {
        const auto server = serve(ChaosMode::Silent);
        QVERIFY(server);
        Collector client(server->serverPort());
        QTRY_COMPARE(server->clientCount(), 1);
        client.socket().write("play\n");
        QTest::qWait(1000);
        QVERIFY(client.bytes().isEmpty());
        QCOMPARE(client.socket().state(), QAbstractSocket::ConnectedState);
    }

    void backlogHangsConnectsUntilServiceResumes()
    {
        const auto server = serve(ChaosMode::Backlog);
        QVERIFY(server);
        QVERIFY(server->isBacklogFull());
        Collector client(server->serverPort());
        QTest::qWait(1500);
        QCOMPARE(client.socket().state(), QAbstractSocket::ConnectingState);

        server->setMode(ChaosMode::Normal);
        QTRY_COMPARE_WITH_TIMEOUT(client.socket().state(), QAbstractSocket::ConnectedState,
                                  Patience);
        QTRY_VERIFY_WITH_TIMEOUT(client.bytes().startsWith("303 \"Steady 1.0\"\n"), Patience);
    }

    void dropServesThenHangsUp()
    {
        const auto server = serve(ChaosMode::Drop);
        QVERIFY(server);
        for (int connection = 0; connection < 3; ++connection) {
            Collector client(server->serverPort());
            QTRY_VERIFY_WITH_TIMEOUT(!client.isOpen(), Patience);
            QVERIFY(client.bytes().startsWith("303 \"Steady 0."));
        }
    }

    void executableTakesCommands()
    {
        ChaosProcess chaos(QStringLiteral("silent"), Seed);
        QVERIFY(chaos.start());
        QVERIFY(chaos.setMode(QStringLiteral("flood")));
        QVERIFY(!chaos.setMode(QStringLiteral("sideways")));
        Collector client(chaos.port());
        QTRY_VERIFY_WITH_TIMEOUT(client.bytes().size() > 100000, Patience);
        QVERIFY(chaos.stats().connections == 1);
    }

    void executableRefusesUnknownModes()
    {
        QProcess chaos;
        chaos.start(QStringLiteral(DAS_CHAOS_EXECUTABLE),
                    {QStringLiteral("--mode"), QStringLiteral("sideways")});
        QVERIFY(chaos.waitForFinished(Patience));
        QCOMPARE(chaos.exitCode(), 1);
        QVERIFY(chaos.readAllStandardError().contains("unknown mode"));
    }
};

QTEST_GUILESS_MAIN(TestDasChaos)
#include "tst_daschaos.moc"

// The real program, without a display, against a server that floods it, then resets it
// over and over: it must stay alive, keep reading, and hold its memory and threads flat.

#include "Chaosprocess.h"
#include "Procstats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

constexpr int Patience = 60000;
constexpr int WarmUpMs = 5000;
constexpr int FloodSamples = 15; // one a second
// A connection reset this soon is followed 2 s after its connect: room for three.
constexpr int ResetMs = 5000;
// Generous: a leak per line would grow by far more over a flood of millions of lines.
constexpr qint64 RssGrowthLimitKiB = 20 * 1024;
constexpr int ThreadSlack = 2;
constexpr quint64 MiB = 1024 * 1024;

bool writeSettings(const QString& configHome)
{
    if (!QDir().mkpath(configHome + QStringLiteral("/Pellwyn"))) {
        return false;
    }
    QFile file(configHome + QStringLiteral("/Pellwyn/QXBrindora.conf"));
    return file.open(QIODevice::WriteOnly) && file.write("[General]\nhostname=127.0.0.1\n") > 0;
}

} // namespace

class TestProgramSoak final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void floodedProgramStaysAliveAndFlat()
    {
        ChaosProcess chaos(QStringLiteral("flood"), 11);
        QVERIFY(chaos.start());

        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString configHome = home.filePath(QStringLiteral("config"));
        QVERIFY(writeSettings(configHome));

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        // The session's own folder, where the program's socket goes: gone with the test.
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        environment.insert(QStringLiteral("BRINDORA_DAS_PORT"), QString::number(chaos.port()));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home.path());
        // Written to files, never left in a pipe: a full pipe would stall the program.
        program.setStandardOutputFile(home.filePath(QStringLiteral("stdout.txt")));
        program.setStandardErrorFile(home.filePath(QStringLiteral("stderr.txt")));
        program.start(QStringLiteral(BRINDORA_EXECUTABLE), {});
        QVERIFY(program.waitForStarted());
        const QString pid = QString::number(program.processId());

        // The flood only pushes what the program has read, so bytes sent are bytes taken.
        QTRY_VERIFY_WITH_TIMEOUT(chaos.stats().bytes > MiB, Patience);
        QTest::qWait(WarmUpMs);
        QCOMPARE(program.state(), QProcess::Running);
        const qint64 warmRss = ProcStats::residentKiB(pid);
        const int warmThreads = ProcStats::threads(pid);
        const ChaosStats start = chaos.stats();

        qint64 peakRss = warmRss;
        int peakThreads = warmThreads;
        for (int i = 0; i < FloodSamples; ++i) {
            QTest::qWait(1000);
            QCOMPARE(program.state(), QProcess::Running);
            peakRss = std::max(peakRss, ProcStats::residentKiB(pid));
            peakThreads = std::max(peakThreads, ProcStats::threads(pid));
        }
        const ChaosStats flooded = chaos.stats();
        qInfo("flood: RSS %lld KiB after warm-up, peak %lld KiB (%+lld); threads %d, peak %d; "
              "server pushed %llu lines/s, %llu KiB/s",
              warmRss, peakRss, peakRss - warmRss, warmThreads, peakThreads,
              (flooded.lines - start.lines) / FloodSamples,
              (flooded.bytes - start.bytes) / FloodSamples / 1024);
        if (ProcStats::residentMemoryIsMeaningful) {
            QVERIFY2(peakRss - warmRss < RssGrowthLimitKiB, qPrintable(QString::number(peakRss)));
        }
        QVERIFY2(peakThreads <= warmThreads + ThreadSlack,
                 qPrintable(QString::number(peakThreads)));

        // The program first works through the flood still queued in the socket buffers;
        // only then does it see the resets and come back, again and again.
        QElapsedTimer lag;
        lag.start();
        QVERIFY(chaos.setMode(QStringLiteral("reset")));
        QTRY_VERIFY_WITH_TIMEOUT(chaos.stats().connections > flooded.connections, Patience);
        const qint64 firstReconnect = lag.elapsed();
        QTest::qWait(ResetMs);
        QCOMPARE(program.state(), QProcess::Running);
        const ChaosStats reset = chaos.stats();
        qInfo("reset: first reconnect %lld ms after the switch (the queued flood drained "
              "first); then %llu connections in %d ms",
              firstReconnect, reset.connections - flooded.connections, ResetMs);
        QVERIFY(reset.connections - flooded.connections >= 3);

        QVERIFY(chaos.setMode(QStringLiteral("flood")));
        QTRY_VERIFY_WITH_TIMEOUT(chaos.stats().bytes > reset.bytes + MiB, Patience);
        QCOMPARE(program.state(), QProcess::Running);
        qInfo("after reset: RSS %lld KiB, threads %d", ProcStats::residentKiB(pid),
              ProcStats::threads(pid));

        // Without a display there is no Quit to press; SIGTERM is the only way out.
        program.terminate();
        QVERIFY(program.waitForFinished(Patience));
        qInfo("SIGTERM: %s, exit code %d",
              program.exitStatus() == QProcess::CrashExit ? "killed by the signal"
                                                          : "exited normally",
              program.exitCode());
    }
};

QTEST_GUILESS_MAIN(TestProgramSoak)
#include "tst_programsoak.moc"

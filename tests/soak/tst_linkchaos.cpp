// The link against every fault das-chaos knows: it must live through each one and come back
// by itself, showing a fresh title, once the server behaves again.

#include "Chaoshost.h"
#include "Eventwait.h"
#include "Lineprotocol.h"
#include "Linkstarter.h"
#include "Netutil.h"
#include "Recordingdisplay.h"
#include "Tbrindora.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// A connect caught by a full accept queue gets in only with a retried handshake (after 1 s,
// 3 s, 7 s, 15 s ...), so coming back may take that long.
constexpr int Recovery = 30000;
constexpr int FaultMs = 3000;
// A server that ends each connection at once is called again 2 s after the last connect:
// long enough for two calls whenever the fault begins.
constexpr int HangUpFaultMs = 5000;
constexpr quint32 Seed = 20240601;

} // namespace

class TestLinkChaos final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDisplay> m_display;
    RecordedTexts* m_song = nullptr;
    RecordedTexts* m_time = nullptr;
    std::unique_ptr<LinkOwner> m_owner;

    TBrindora* startLink(quint16 port) { return ::startLink(*m_owner, m_display.get(), port); }

    bool showsSteadyTitle(int generation) const
    {
        return m_song->text().startsWith(QStringLiteral("Steady %1.").arg(generation));
    }

    static bool allMatch(const QStringList& texts, const QRegularExpression& pattern)
    {
        for (const QString& text : texts) {
            if (!pattern.match(text).hasMatch()) {
                qWarning("unexpected text: %s", qPrintable(text.left(80)));
                return false;
            }
        }
        return true;
    }

    // Proof that the fault really reached the link, mode by mode.
    void checkFaultWasFelt(ChaosMode mode, quint64 shown, const ChaosStats& before,
                           const ChaosStats& after)
    {
        const quint64 connections = after.connections - before.connections;
        switch (mode) {
        case ChaosMode::Flood:
            QVERIFY2(shown >= 100, qPrintable(QString::number(shown)));
            QVERIFY(allMatch(m_song->texts(),
                             QRegularExpression(QStringLiteral("^(Steady|Flood) [0-9.]+$"))));
            break;
        case ChaosMode::Cut: {
            // Every piece was put back together: no title or time is ever seen broken.
            QVERIFY(allMatch(m_song->texts(),
                             QRegularExpression(QStringLiteral("^(Steady|Cut) \\d+\\.\\d+$"))));
            QVERIFY(allMatch(m_time->texts(),
                             QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))));
            const qsizetype cut =
                m_song->texts().filter(QRegularExpression(QStringLiteral("^Cut "))).size();
            QVERIFY2(cut >= 3, qPrintable(QString::number(cut)));
            break;
        }
        case ChaosMode::Huge:
            // A megabyte title was cut down to the line limit, and shown.
            QVERIFY2(m_song->longest() >= LineLimit - 8,
                     qPrintable(QString::number(m_song->longest())));
            break;
        case ChaosMode::Binary:
            QVERIFY(shown >= 1);
            break;
        case ChaosMode::Reset:
        case ChaosMode::Drop:
            QVERIFY2(connections >= 2, qPrintable(QString::number(connections)));
            break;
        case ChaosMode::Silent:
        case ChaosMode::Backlog:
            // Waiting on a quiet connection or a hanging connect shows nothing at all.
            QCOMPARE(shown, quint64(0));
            QCOMPARE(connections, quint64(0));
            break;
        case ChaosMode::Normal:
            break;
        }
    }

private Q_SLOTS:
    void initTestCase() { startSockets(); }

    void init()
    {
        m_display = std::make_unique<RecordingDisplay>();
        m_song = &m_display->song;
        m_time = &m_display->time;
        m_owner = std::make_unique<LinkOwner>();
    }

    void cleanup()
    {
        m_owner.reset();
        m_display.reset();
    }

    void survivesTheFaultAndComesBack_data()
    {
        QTest::addColumn<QString>("mode");
        for (const QString& name : modeNames()) {
            if (name != QLatin1String("normal")) {
                QTest::newRow(qPrintable(name)) << name;
            }
        }
    }

    void survivesTheFaultAndComesBack()
    {
        QFETCH(QString, mode);
        const ChaosMode fault = *modeFromName(mode);
        ChaosHost host(ChaosMode::Normal, Seed);
        QVERIFY(host.begin());
        TBrindora* link = startLink(host.port());
        QVERIFY(runEventsUntil([&] { return showsSteadyTitle(0); }, Recovery));

        const ChaosStats before = host.stats();
        const quint64 shownBefore = m_song->changes();
        m_song->clear();
        m_time->clear();
        host.setMode(fault);
        const bool hangsUp = fault == ChaosMode::Reset || fault == ChaosMode::Drop;
        const int faultMs = hangsUp ? HangUpFaultMs : FaultMs;
        runEventsFor(faultMs);
        const ChaosStats after = host.stats();
        const quint64 shown = m_song->changes() - shownBefore;

        QVERIFY(link->isRunning());
        QCOMPARE(m_owner->count(), 1);
        QCOMPARE(m_owner->current(), link);
        checkFaultWasFelt(fault, shown, before, after);
        if (QTest::currentTestFailed()) {
            return;
        }

        QElapsedTimer back;
        back.start();
        const int generation = host.setMode(ChaosMode::Normal);
        QVERIFY2(runEventsUntil([&] { return showsSteadyTitle(generation); }, Recovery),
                 qPrintable(m_song->text().left(80)));
        QVERIFY(link->isRunning());
        // Whatever came in, no title is ever longer than one line may be.
        QVERIFY2(m_song->longest() <= LineLimit, qPrintable(QString::number(m_song->longest())));
        QVERIFY(m_time->longest() <= LineLimit);

        qInfo("%s: %llu titles shown in %d ms of fault, server sent %llu lines / %llu bytes "
              "over %llu connections; longest title %lld; fresh title %lld ms after the fault",
              qPrintable(mode), shown, faultMs, after.lines - before.lines,
              after.bytes - before.bytes, after.connections - before.connections,
              qlonglong(m_song->longest()), back.elapsed());
    }

    void floodLeavesTheGuiThreadResponsive()
    {
        ChaosHost host(ChaosMode::Flood, Seed);
        QVERIFY(host.begin());
        startLink(host.port());
        QVERIFY(runEventsUntil([&] { return m_song->text().startsWith(QStringLiteral("Flood ")); },
                               Recovery));

        int ticks = 0;
        QTimer tick;
        tick.setInterval(100);
        connect(&tick, &QTimer::timeout, this, [&ticks] { ++ticks; });
        const ChaosStats before = host.stats();
        const quint64 shownBefore = m_song->changes();

        // The program's own event loop, not QTest::qWait, which sleeps between its rounds.
        // Ended from another thread, so a loop whose timers starve still ends.
        QEventLoop loop;
        tick.start();
        std::thread watchdog([&loop] {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
        watchdog.join();
        tick.stop();

        const ChaosStats after = host.stats();
        const quint64 shown = m_song->changes() - shownBefore;
        qInfo("flood: %d timer ticks of 100 ms in 3 s; %llu titles shown; server pushed %llu "
              "lines/s (%llu bytes/s)",
              ticks, shown, (after.lines - before.lines) / 3, (after.bytes - before.bytes) / 3);
        QVERIFY2(shown >= 100, qPrintable(QString::number(shown)));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
};

QTEST_MAIN(TestLinkChaos)
#include "tst_linkchaos.moc"

// A thousand host changes while the server floods the link: every replaced link must be
// reclaimed with its thread and its socket, and memory must not creep up with the count.

#include "Chaosprocess.h"
#include "Eventwait.h"
#include "Linkstarter.h"
#include "Netutil.h"
#include "Procstats.h"
#include "Recordingdisplay.h"
#include "Tbrindora.h"

#include <QTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int Patience = 30000;
constexpr int WarmUpChanges = 100;
constexpr int Changes = 1000;
// Generous on purpose: allocator caches and Qt's own may grow a little; a leak of even a
// few kilobytes per link would pass it by several times.
constexpr qint64 RssGrowthLimitKiB = 20 * 1024;

} // namespace

class TestLinkChurn final : public QObject
{
    Q_OBJECT

private:
    RecordingDisplay m_display;
    RecordedTexts& m_song = m_display.song;
    LinkOwner m_owner;
    int m_peak = 0;
    int m_flooded = 0;

    // Most new links are left until the flood reaches the controls, so they are replaced in
    // the middle of it; every tenth goes at once, so replaced links also pile up.
    void replaceLink(quint16 port, int serial)
    {
        const quint64 mark = m_song.changes();
        startLink(m_owner, &m_display, port);
        m_peak = std::max(m_peak, m_owner.count());
        if (serial % 10 == 0) {
            QCoreApplication::processEvents();
            return;
        }
        // Only the new link writes to the controls: "Connecting...", then the flood.
        const bool flooded = runEventsUntil(
            [&] {
                return m_song.changes() > mark + 1 &&
                       m_song.text().startsWith(QStringLiteral("Flood "));
            },
            Patience);
        m_flooded += flooded ? 1 : 0;
    }

    // Until every replaced link is gone and the current one shows the flood again.
    void settle()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_owner.count(), 1, Patience);
        const quint64 mark = m_song.changes();
        QVERIFY(runEventsUntil(
            [&] {
                return m_song.changes() > mark + 10 &&
                       m_song.text().startsWith(QStringLiteral("Flood "));
            },
            Patience));
    }

private Q_SLOTS:
    void initTestCase() { startSockets(); }

    void thousandHostChangesLeaveNothingBehind()
    {
        // In its own process, so its sockets and memory don't count as ours.
        ChaosProcess chaos(QStringLiteral("flood"), 7);
        QVERIFY(chaos.start());
        replaceLink(chaos.port(), 1);
        settle();
        if (QTest::currentTestFailed()) {
            return;
        }

        for (int i = 1; i < WarmUpChanges; ++i) {
            replaceLink(chaos.port(), i);
        }
        settle();
        if (QTest::currentTestFailed()) {
            return;
        }
        const int threads = ProcStats::threads();
        const int descriptors = ProcStats::descriptors();
        const qint64 warmRss = ProcStats::residentKiB();

        for (int i = WarmUpChanges; i < Changes; ++i) {
            replaceLink(chaos.port(), i);
        }
        settle();
        if (QTest::currentTestFailed()) {
            return;
        }
        // No more than before: the runtime's own helpers (wine's, on Windows) may come and go.
        QTRY_VERIFY_WITH_TIMEOUT(ProcStats::threads() <= threads, Patience);
        QTRY_VERIFY_WITH_TIMEOUT(ProcStats::descriptors() <= descriptors, Patience);
        const qint64 rss = ProcStats::residentKiB();
        const ChaosStats stats = chaos.stats();

        qInfo("%d host changes: at most %d links alive at once; threads %d, descriptors %d; "
              "RSS %lld KiB after %d changes, %lld KiB after %d (%+lld KiB); server accepted "
              "%llu connections and pushed %llu lines; %d links were replaced mid-flood",
              Changes, m_peak, threads, descriptors, warmRss, WarmUpChanges, rss, Changes,
              rss - warmRss, stats.connections, stats.lines, m_flooded);
        QVERIFY(m_flooded >= Changes * 8 / 10);
        if (ProcStats::residentMemoryIsMeaningful) {
            QVERIFY2(rss - warmRss < RssGrowthLimitKiB, qPrintable(QString::number(rss - warmRss)));
        }
    }
};

QTEST_MAIN(TestLinkChurn)
#include "tst_linkchurn.moc"

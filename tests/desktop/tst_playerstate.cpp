#include "Playerstate.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;
using SongText = LinkDisplay::SongText;

namespace {

LinkDisplay::Time at(qint32 hours, qint32 minutes, qint32 seconds)
{
    return {QString(), hours, minutes, seconds};
}

// A connected player whose reported time has just moved on.
void startPlaying(PlayerState& state)
{
    state.showConnected(true);
    state.showTime(at(0, 0, 1));
    state.showTime(at(0, 0, 2));
}

} // namespace

class TestPlayerState final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titles_data()
    {
        QTest::addColumn<QByteArray>("songs"); // "T:text" a title, "S:text" a status, "|" apart
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("signals");
        QTest::newRow("status is never a title")
            << QByteArray("T:Blue|S:Connecting...") << QByteArray() << 1 << 2;
        QTest::newRow("a track per new title")
            << QByteArray("T:Blue|T:Blue|T:Red") << QByteArray("Red") << 2 << 2;
        QTest::newRow("back after a status")
            << QByteArray("T:Blue|S:x|T:Blue") << QByteArray("Blue") << 2 << 3;
    }

    void titles()
    {
        QFETCH(QByteArray, songs);
        QFETCH(QByteArray, title);
        PlayerState state;
        QSignalSpy changes(&state, &PlayerState::trackChanged);
        for (const QByteArray& song : songs.split('|')) {
            state.showSong(QString::fromUtf8(song.mid(2)),
                           song.startsWith('T') ? SongText::Title : SongText::Status);
        }
        QCOMPARE(state.title(), QString::fromUtf8(title));
        QCOMPARE(state.hasTitle(), songs.split('|').constLast().startsWith('T'));
        QTEST(int(state.trackNumber()), "tracks");
        QTEST(int(changes.count()), "signals");
    }

    void playingFollowsTheMovingTime()
    {
        PlayerState state(50ms);
        QSignalSpy changes(&state, &PlayerState::playingChanged);
        state.showTime(at(0, 0, 1));
        state.showTime(at(0, 0, 2));
        QVERIFY2(!state.isPlaying(), "times from before the connection count");
        startPlaying(state);
        QVERIFY(state.isPlaying());
        // A stop reports the time back at zero and then nothing: playing ends with the hold.
        state.showTime(at(0, 0, 0));
        QVERIFY(state.isPlaying());
        QVERIFY(changes.wait());
        state.showTime(at(0, 0, 0));
        QVERIFY2(!state.isPlaying(), "a repeated time is playing");

        startPlaying(state);
        state.showConnected(false);
        QVERIFY2(!state.isPlaying(), "a lost connection still plays");
        QCOMPARE(changes.count(), 4);
    }
};

QTEST_GUILESS_MAIN(TestPlayerState)
#include "tst_playerstate.moc"

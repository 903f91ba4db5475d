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
    void titlesAndTracks()
    {
        PlayerState state;
        QSignalSpy changes(&state, &PlayerState::trackChanged);
        state.showSong(QStringLiteral("Blue"), SongText::Title);
        state.showSong(QStringLiteral("Blue"), SongText::Title);
        QCOMPARE(state.trackNumber(), 1u);
        state.showSong(QStringLiteral("Connecting..."), SongText::Status);
        QVERIFY2(!state.hasTitle() && state.title().isEmpty(), "a status became the title");
        state.showSong(QStringLiteral("Blue"), SongText::Title);
        QCOMPARE(state.trackNumber(), 2u);
        QCOMPARE(changes.count(), 3);
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

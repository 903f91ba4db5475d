#include "Mprisadaptors.h"
#include "Mprisservice.h"
#include "Playerstate.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <optional>

using namespace std::chrono_literals;
using SongText = LinkDisplay::SongText;

namespace {

LinkDisplay::Time at(qint32 hours, qint32 minutes, qint32 seconds)
{
    return {formatTime(hours, minutes, seconds), hours, minutes, seconds};
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
        QTest::newRow("same title, same track")
            << QByteArray("T:Blue|T:Blue") << QByteArray("Blue") << 1 << 1;
        QTest::newRow("new title, new track")
            << QByteArray("T:Blue|T:Red") << QByteArray("Red") << 2 << 2;
        QTest::newRow("back after a status")
            << QByteArray("T:Blue|S:x|T:Blue") << QByteArray("Blue") << 2 << 3;
        QTest::newRow("empty title shown") << QByteArray("T:") << QByteArray() << 1 << 1;
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
        QCOMPARE(state.positionMicroseconds(), 2000000);
        // A stop reports the time back at zero and then nothing: playing ends with the hold.
        state.showTime(at(0, 0, 0));
        QVERIFY(state.isPlaying());
        QVERIFY(changes.wait());
        QVERIFY(!state.isPlaying());
        state.showTime(at(0, 0, 0));
        QVERIFY2(!state.isPlaying(), "a repeated time is not playing");

        startPlaying(state);
        state.showConnected(false);
        QVERIFY2(!state.isPlaying(), "a lost connection still plays");
        QCOMPARE(changes.count(), 4);
    }

    void positionInMicroseconds()
    {
        PlayerState state;
        state.showTime(at(1, 2, 3));
        QCOMPARE(state.positionMicroseconds(), Q_INT64_C(3723000000));
    }

    // The desktop's commands and what goes to the server: what the buttons send, nothing
    // while disconnected, a toggle only when shuffle should change.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<int>("sent"); // a Command, -1 for nothing
        QTest::newRow("next") << QByteArray("Next") << false << int(Command::Next);
        QTest::newRow("previous") << QByteArray("Previous") << false << int(Command::Prev);
        QTest::newRow("play") << QByteArray("Play") << false << int(Command::Play);
        QTest::newRow("stop") << QByteArray("Stop") << true << int(Command::Stop);
        QTest::newRow("pause") << QByteArray("Pause") << true << int(Command::Stop);
        QTest::newRow("play-pause playing")
            << QByteArray("PlayPause") << true << int(Command::Stop);
        QTest::newRow("play-pause stopped")
            << QByteArray("PlayPause") << false << int(Command::Play);
        QTest::newRow("shuffle on") << QByteArray("shuffle:1") << false << int(Command::Shuffle);
        QTest::newRow("shuffle off, already off") << QByteArray("shuffle:0") << false << -1;
        QTest::newRow("disconnected") << QByteArray("Next") << false << -2;
    }

    void commands()
    {
        QFETCH(QByteArray, method);
        QFETCH(bool, playing);
        QFETCH(int, sent);
        PlayerState state;
        if (playing) {
            startPlaying(state);
        }
        state.showConnected(sent != -2);
        std::optional<Command> command;
        MprisService service(state, {[&command](Command c) { command = c; }, {}, {}});
        auto* player = service.findChild<MprisPlayerAdaptor*>();
        if (method.startsWith("shuffle:")) {
            player->setShuffle(method.endsWith('1'));
        } else {
            QVERIFY(QMetaObject::invokeMethod(player, method.constData()));
        }
        QCOMPARE(command ? int(*command) : -1, sent < 0 ? -1 : sent);
    }
};

QTEST_GUILESS_MAIN(TestPlayerState)
#include "tst_playerstate.moc"

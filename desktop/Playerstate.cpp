#include "Playerstate.h"

#include <algorithm>

PlayerState::PlayerState(std::chrono::milliseconds playingHold)
{
    m_playingHold.setSingleShot(true);
    m_playingHold.setInterval(playingHold);
    connect(&m_playingHold, &QTimer::timeout, this, [this] { setPlaying(false); });
}

void PlayerState::showSong(const QString& text, SongText kind)
{
    if (kind == SongText::Status) {
        forgetTitle();
        return;
    }
    if (m_hasTitle && text == m_title) {
        return;
    }
    m_title = text;
    m_hasTitle = true;
    ++m_trackNumber;
    Q_EMIT trackChanged();
}

void PlayerState::forgetTitle()
{
    if (m_hasTitle) {
        m_hasTitle = false;
        m_title.clear();
        Q_EMIT trackChanged();
    }
}

void PlayerState::showTime(const Time& time)
{
    const qint64 seconds = qint64(time.hours) * 3600 + qint64(time.minutes) * 60 + time.seconds;
    m_positionMicroseconds = std::max<qint64>(seconds, 0) * 1000000;
    // A time that goes back (a new song, a stop) or stands still does not prove playing; the
    // hold then runs out unless the next report moves on.
    const bool advanced = m_lastSeconds >= 0 && seconds > m_lastSeconds;
    m_lastSeconds = seconds;
    if (advanced && m_connected) {
        m_playingHold.start();
        setPlaying(true);
    }
}

void PlayerState::showShuffle(bool on)
{
    if (on != m_shuffle) {
        m_shuffle = on;
        Q_EMIT shuffleChanged();
    }
}

void PlayerState::showConnected(bool connected)
{
    m_lastSeconds = -1;
    if (!connected) {
        m_playingHold.stop();
        setPlaying(false);
    }
    if (connected != m_connected) {
        m_connected = connected;
        Q_EMIT connectedChanged();
    }
}

void PlayerState::setPlaying(bool playing)
{
    if (playing != m_playing) {
        m_playing = playing;
        Q_EMIT playingChanged();
    }
}

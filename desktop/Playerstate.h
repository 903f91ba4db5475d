#pragma once

#include "Linkdisplay.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

// What the desktop's media controls are told about the player, worked out from what the link
// shows in the window. The server never says whether it plays, so that is inferred: the
// reported time moving forward means playing, and playing lasts a hold time past the last
// advance (the server reports about once a second while it plays and goes quiet, or repeats
// itself, when stopped).
class PlayerState final : public QObject, public LinkDisplay
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultPlayingHold{2500};

    explicit PlayerState(std::chrono::milliseconds playingHold = DefaultPlayingHold);

    void showSong(const QString& text, SongText kind) override;
    void showTime(const Time& time) override;
    void showShuffle(bool on) override;
    void showConnected(bool connected) override;

    // A title shows in the song line; false while the line holds a word of the link's own.
    bool hasTitle() const { return m_hasTitle; }
    const QString& title() const { return m_title; }
    // Grows with every new title, so a client can tell one track from the next.
    quint64 trackNumber() const { return m_trackNumber; }
    qint64 positionMicroseconds() const { return m_positionMicroseconds; }
    bool isShuffle() const { return m_shuffle; }
    bool isConnected() const { return m_connected; }
    bool isPlaying() const { return m_playing; }

Q_SIGNALS:
    void trackChanged();
    void playingChanged();
    void shuffleChanged();
    void connectedChanged();

private:
    void setPlaying(bool playing);
    void forgetTitle();

    QTimer m_playingHold;
    QString m_title;
    bool m_hasTitle = false;
    quint64 m_trackNumber = 0;
    qint64 m_positionMicroseconds = 0;
    qint64 m_lastSeconds = -1; // -1: no time since the connection opened
    bool m_shuffle = false;
    bool m_connected = false;
    bool m_playing = false;
};

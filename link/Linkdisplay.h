#pragma once

#include <QString>
#include <QtGlobal>

// Where a link shows what it has to say: the window implements it. Every call comes on the
// GUI thread, inside a display step the link thread waits for, so an implementation must be
// quick and must never wait for the link.
class LinkDisplay
{
public:
    // What the song line holds: a title the server sent, or a word of the link's own
    // ("Connecting...", a failure message).
    enum class SongText
    {
        Title,
        Status
    };

    // The last time the server reported, as shown and as numbers.
    struct Time
    {
        QString text;
        qint32 hours = 0;
        qint32 minutes = 0;
        qint32 seconds = 0;
    };

    virtual void showSong(const QString& text, SongText kind) = 0;
    virtual void showTime(const Time& time) = 0;
    virtual void showShuffle(bool on) = 0;
    // The connection to the server opened (true) or was lost (false). Nothing in the window
    // shows this; it is for those that report the player's state elsewhere.
    virtual void showConnected(bool connected) = 0;

protected:
    ~LinkDisplay() = default;
};

#pragma once

#include <QList>
#include <QString>

// One song of the demo playlist: what the server announces and how long it runs.
struct Track
{
    QString title;
    int lengthSeconds = 0;
};

// The demo server's playlist with its current position and shuffle mode.
class Playlist final
{
public:
    // Made-up titles that exercise the client's text handling: accents, Greek,
    // CJK and a title with quotes inside it.
    static Playlist demo();

    // An empty list is replaced by a single placeholder track so there is
    // always a current title.
    explicit Playlist(QList<Track> tracks);

    const Track& current() const { return m_tracks.at(m_index); }
    int size() const { return int(m_tracks.size()); }

    bool isShuffle() const { return m_shuffle; }
    void toggleShuffle() { m_shuffle = !m_shuffle; }

    // With shuffle on, next() picks a random title other than the current one.
    void next();
    // Previous always walks back in list order, shuffle or not.
    void prev();

private:
    QList<Track> m_tracks;
    int m_index = 0;
    bool m_shuffle = false;
};

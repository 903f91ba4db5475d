#include "Playlist.h"

#include <QRandomGenerator>

#include <utility>

Playlist Playlist::demo()
{
    return Playlist({
        {QStringLiteral("Harbour Lights at Dusk"), 2 * 60 + 14},
        {QStringLiteral("Café on the Rue Solène"), 3 * 60 + 5},
        {QStringLiteral("The \"Blue\" Hour"), 4 * 60 + 12},
        {QStringLiteral("Παλίρροια (Tide Song)"), 2 * 60 + 47},
        {QStringLiteral("Nördlich der Weiden"), 3 * 60 + 33},
        {QStringLiteral("静かな雨 (Quiet Rain)"), 4 * 60 + 58},
    });
}

Playlist::Playlist(QList<Track> tracks) : m_tracks(std::move(tracks))
{
    if (m_tracks.isEmpty())
        m_tracks.append({QStringLiteral("Silence"), 60});
}

void Playlist::next()
{
    const int count = size();
    if (m_shuffle && count > 1) {
        // Drawing from the other count - 1 slots guarantees an audible change.
        const int step = 1 + int(QRandomGenerator::global()->bounded(count - 1));
        m_index = (m_index + step) % count;
        return;
    }
    m_index = (m_index + 1) % count;
}

void Playlist::prev()
{
    m_index = (m_index + size() - 1) % size();
}

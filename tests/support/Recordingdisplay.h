#pragma once

#include "Linkdisplay.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

// What one line of the window was given, bounded, so a flood can't make the test itself grow.
class RecordedTexts final
{
public:
    static constexpr qsizetype Limit = 4096;

    void record(const QString& text)
    {
        ++m_changes;
        m_longest = std::max(m_longest, text.size());
        if (m_texts.size() >= Limit) {
            m_texts.removeFirst();
        }
        m_texts.append(text);
        m_last = text;
    }

    QString text() const { return m_last; }
    // The most recent texts, oldest first.
    const QStringList& texts() const { return m_texts; }
    void clear() { m_texts.clear(); }
    quint64 changes() const { return m_changes; }
    // The longest text ever given, in characters.
    qsizetype longest() const { return m_longest; }

private:
    QString m_last;
    QStringList m_texts;
    quint64 m_changes = 0;
    qsizetype m_longest = 0;
};

// Stands in for the window: records everything a link shows.
class RecordingDisplay final : public LinkDisplay
{
public:
    RecordedTexts song;
    RecordedTexts time;
    QList<SongText> songKinds;
    bool shuffle = false;
    int shuffleChanges = 0;
    QList<bool> connections;

    void showSong(const QString& text, SongText kind) override
    {
        song.record(text);
        if (songKinds.size() < RecordedTexts::Limit) {
            songKinds.append(kind);
        }
    }
    void showTime(const Time& shown) override { time.record(shown.text); }
    void showShuffle(bool on) override
    {
        shuffle = on;
        ++shuffleChanges;
    }
    void showConnected(bool connected) override
    {
        if (connections.size() < RecordedTexts::Limit) {
            connections.append(connected);
        }
    }
};

#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>

// Stands in for a label or the shuffle button under heavy traffic: counts what it is given
// and keeps only the most recent texts, so a flood can't make the test itself grow.
class SoakControl final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QFont font READ font WRITE setFont)

public:
    static constexpr qsizetype RecentLimit = 4096;

    QString text() const { return m_text; }
    void setText(const QString& text)
    {
        m_text = text;
        ++m_changes;
        m_longest = std::max(m_longest, text.size());
        if (m_recent.size() >= RecentLimit) {
            m_recent.removeFirst();
        }
        m_recent.append(text);
    }

    QFont font() const { return m_font; }
    void setFont(const QFont& font)
    {
        m_font = font;
        ++m_fontChanges;
    }

    quint64 changes() const { return m_changes; }
    quint64 fontChanges() const { return m_fontChanges; }
    // The longest text ever given, in characters.
    qsizetype longest() const { return m_longest; }
    const QStringList& recent() const { return m_recent; }
    void clearRecent() { m_recent.clear(); }

private:
    QString m_text;
    QFont m_font;
    QStringList m_recent;
    quint64 m_changes = 0;
    quint64 m_fontChanges = 0;
    qsizetype m_longest = 0;
};

#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QStringList>

// Stands in for a label or the shuffle button: remembers every text and font it was given.
class FakeControl final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QFont font READ font WRITE setFont)

public:
    QString text() const { return m_texts.isEmpty() ? QString() : m_texts.constLast(); }
    void setText(const QString& text) { m_texts.append(text); }
    const QStringList& texts() const { return m_texts; }

    QFont font() const { return m_font; }
    void setFont(const QFont& font)
    {
        m_font = font;
        ++m_fontChanges;
    }
    int fontChanges() const { return m_fontChanges; }

private:
    QStringList m_texts;
    QFont m_font;
    int m_fontChanges = 0;
};

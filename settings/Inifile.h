#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The settings file as its user wrote it, line by line. People edit this file by hand, so
// it reads every value a line plainly gives and writes the program's values into the text
// without touching anything else: comments, notes, blank lines, other groups, a byte order
// mark and the line ends all stay as they were. Names and values are spelt as QSettings
// spells them in an INI file, so either can read what the other wrote.
class IniFile final
{
public:
    // False when the bytes are not text at all (a NUL or another control character than a
    // tab or a line end): nothing in them can be read or safely written around.
    bool parse(const QByteArray& bytes);

    // Every value by its full name ("group/name"; names in [General] have no group). Where
    // a name has several lines the last one counts, as for QSettings. A line that can't be
    // taken apart but starts with a name (a note such as "hostname das") makes that name
    // present with no usable value, unless another line gives it one. False when there is
    // no room for the private copy the values are decoded from.
    bool readValues(QVariantMap& values) const;

    // Puts a number or a string into the text: in place of the line that gives the name
    // now, else next to the other values of its group, else in a new group ([General] at
    // the top, any other at the end).
    void setValue(const QString& name, const QVariant& value);

    QByteArray bytes() const;

private:
    enum class Kind
    {
        Other, // blank, a comment, or a note that names nothing
        Section,
        Value,
        Note, // a line without '=' that starts with a name
    };
    struct Line
    {
        QByteArray text; // without its line end
        QByteArray end;
        Kind kind = Kind::Other;
        QString group; // the group it belongs to ("" or "name/"), or a header's own
        QString name;  // the full name a value or note line gives
        qsizetype valueStart = 0;
        qsizetype valueEnd = 0;

        QByteArrayView value() const;
    };

    static Line classify(const QByteArray& text, const QString& group);
    // Where a new value of the group goes: after its last value, else after its header;
    // a group that has neither gets a header of its own first.
    qsizetype placeFor(const QString& group, const QByteArray& end);

    QByteArray m_bom;
    QList<Line> m_lines;
};

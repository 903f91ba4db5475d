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
// spells them in an INI file (Initext.h), so either can read what the other wrote.
//
// Where this reader and QSettings part (the user guide tells hand editors the same):
// - A line starting with '#' is a comment here. QSettings reads "#name=value" as a value
//   named "#name" and takes a '#' line without '=' as a format error.
// - A note, a line without '=' that starts with a name ("hostname das"), makes that name
//   present with no usable value here, so a damaged setting is not taken for an absent one.
//   QSettings skips the line and reports a format error.
// - A value line ends at its line end here. QSettings carries a value whose quote is left
//   open, or that ends in a backslash, on into the following lines.
// - A control character other than a tab in a header or a value makes the file unreadable
//   here; QSettings takes it into the name or value. In a comment or a note it is allowed.
class IniFile final
{
public:
    // False when the bytes are not text (a control character other than a tab anywhere but
    // in a comment or after a note's name): nothing in them can be read or safely written
    // around.
    bool parse(const QByteArray& bytes);

    // Every value by its full name ("group/name"; names in [General] have no group). Where
    // a name has several lines the last one counts, as for QSettings. A note makes its name
    // present with no usable value, unless another line gives it one.
    QVariantMap values() const;

    // Puts a number or a string into the text: in place of the line that gives the name
    // now, else next to the other values of its group, else in a new group ([General] at
    // the top, any other at the end). False, with the text unchanged, when the line that
    // gives the name now runs on into the next for QSettings: it can't be rewritten
    // without leaving the rest of it behind as a line of its own.
    bool setValue(const QString& name, const QVariant& value);

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
        qsizetype valueEnd = 0; // without the blanks after it, which a write keeps
        qsizetype readEnd = 0;  // where QSettings stops reading: the line's end or a ';'

        QByteArrayView value() const;
    };

    static Line classify(const QByteArray& text, const QString& group);
    static bool isText(const Line& line);
    // Where a new value of the group goes: after its last value, else after its header;
    // a group that has neither gets a header of its own first.
    qsizetype placeFor(const QString& group, const QByteArray& end);

    QByteArray m_bom;
    QList<Line> m_lines;
};

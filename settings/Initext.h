#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

// Names and values spelt as QSettings spells them in an INI file, both ways and in memory:
// what the program writes QSettings reads back the same, and the other way round. Values
// are never handed to QSettings to decode, since that would mean copying the file's values,
// the password among them, into a file of their own.
namespace IniText {

// A name or group as QSettings reads it: UTF-8, a backslash for the group separator,
// %XX and %UXXXX for one character.
QString name(QByteArrayView text);
QByteArray escapedName(const QString& name);

// The text right of a value line's '=', as QSettings reads it: quotes, escapes, an
// unquoted comma making a list, and the @Type(...) forms QtCore knows.
QVariant value(QByteArrayView text);
// A number or a string as QSettings writes it.
QByteArray escapedValue(const QVariant& value);

} // namespace IniText

#pragma once

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariantMap>

// Reads settings text as QSettings reads a file, into values. It parses a private copy under
// a name it has never seen: QSettings serves a name it has seen before from its per-process
// cache and reports a parse error only for the first object on a file. False when the copy
// can't be made or QSettings reports the text can't be parsed.
inline bool parseSettingsText(const QByteArray& text, QVariantMap& values)
{
    values.clear();
    QTemporaryFile copy;
    if (!copy.open() || copy.write(text) != text.size())
        return false;
    copy.close();
    QSettings parsed(copy.fileName(), QSettings::IniFormat);
    const QStringList names = parsed.allKeys();
    for (const QString& name : names)
        values.insert(name, parsed.value(name));
    return parsed.status() == QSettings::NoError;
}

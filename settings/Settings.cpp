#include "Settings.h"

#include "SettingsStore.h"

#include <QStringList>

#include <limits>

namespace {

// A name must stay one key (one file) directly under Pellwyn.
bool isUsableName(const QString& name)
{
    return !name.isEmpty() && name.size() <= SettingsNameMax && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && !name.contains(QChar::Null);
}

// Anything that is a whole number within 32 bits counts, whatever kind it was stored as:
// the file format keeps numbers as text, and the registry may hold a string someone typed.
// Everything else (words, fractions, numbers beyond 32 bits) is not a usable position or
// flag, so the caller's default applies rather than a clamped or wrapped value.
bool toInt32(const QVariant& value, qint32& result)
{
    bool ok = false;
    qlonglong wide = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        wide = value.toLongLong(&ok);
        break;
    case QMetaType::ULongLong:
        ok = value.toULongLong() <= qulonglong(std::numeric_limits<qint32>::max());
        wide = qlonglong(value.toULongLong());
        break;
    case QMetaType::QString:
        wide = value.toString().toLongLong(&ok, 10);
        break;
    default:
        return false;
    }
    if (!ok || wide < std::numeric_limits<qint32>::min() ||
        wide > std::numeric_limits<qint32>::max())
        return false;
    result = qint32(wide);
    return true;
}

// A string read gives the stored value's text whatever its kind; a value with no text
// form (an invalid or binary variant) reads as the default.
bool toText(const QVariant& value, QString& result)
{
    // An unquoted comma in a hand-edited file makes QSettings read a list; join it back.
    // QSettings writes a list item holding a NUL as @String(...) and reads such a list back
    // as a QVariantList of strings: the same text, so it joins the same way.
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList) {
        QStringList parts;
        const QVariantList items = value.toList();
        for (const QVariant& item : items) {
            if (item.typeId() != QMetaType::QString) {
                return false;
            }
            parts.append(item.toString());
        }
        result = parts.join(QLatin1Char(','));
        return true;
    }
    if (!value.isValid() || !value.canConvert<QString>())
        return false;
    result = value.toString();
    return true;
}

// The value the store has under this name, spelt as the store spells names: the registry
// takes "ViewerLeft" for "viewerleft", as the older program did when it read one.
QVariantMap::const_iterator find(const SettingsKey& key, const QString& valueName)
{
    const auto exact = key.values.constFind(valueName);
    if (exact != key.values.cend())
        return exact;
    for (auto it = key.values.cbegin(); it != key.values.cend(); ++it) {
        if (SettingsStore::sameName(it.key(), valueName))
            return it;
    }
    return key.values.cend();
}

// Whether a read of the written kind already gives the written value.
bool holds(const SettingsKey& key, const QString& valueName, const QVariant& written)
{
    const auto it = find(key, valueName);
    if (it == key.values.cend())
        return false;
    qint32 number = 0;
    QString text;
    if (written.typeId() == QMetaType::Int)
        return toInt32(*it, number) && number == written.toInt();
    return toText(*it, text) && text == written.toString();
}

// Records a write for CloseSettings and lets later reads of this open see it.
void remember(SettingsKey& key, const QString& valueName, const QVariant& value)
{
    if (!key.open || holds(key, valueName, value))
        return;
    // In place of the value it replaces, whatever its spelling: the store writes onto that.
    const auto it = find(key, valueName);
    const QString storedName = it != key.values.cend() ? it.key() : valueName;
    key.values.insert(storedName, value);
    key.changes.insert(valueName, value);
}

// The old program's buffers kept a terminator in the last place, so a string longer than
// size - 1 characters is cut there, never between the halves of a surrogate pair.
QString fitted(const QString& text, int size)
{
    if (size < 1)
        return QString();
    qsizetype length = qMin<qsizetype>(text.size(), size - 1);
    if (length < text.size() && length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

SettingsKey::~SettingsKey()
{
    CloseSettings(*this);
}

bool OpenSettings(SettingsKey& key, const QString& name)
{
    CloseSettings(key);
    key.name = name;
    if (!isUsableName(name))
        return false;
    switch (SettingsStore::create(name)) {
    case SettingsStore::Found::Nothing:
        return false;
    case SettingsStore::Found::Created:
        key.disposition = SettingsCreated;
        key.open = true;
        return true;
    case SettingsStore::Found::Existing:
        key.disposition = SettingsExisted;
        // A store that can't be read or is not text stays closed: its values read as defaults
        // and writes are dropped, so the file is left as it is for the user to repair.
        key.open = SettingsStore::load(name, key.values);
        key.unreadable = !key.open;
        return key.open;
    }
    return false;
}

void CloseSettings(SettingsKey& key)
{
    if (key.open && !key.changes.isEmpty())
        SettingsStore::save(key.name, key.changes);
    key.open = false;
    key.unreadable = false;
    key.disposition = SettingsUnavailable;
    key.values.clear();
    key.changes.clear();
}

qint32 ReadSettingInt(SettingsKey& key, const QString& valueName, qint32 defaultValue)
{
    if (key.disposition == SettingsCreated) {
        remember(key, valueName, QVariant(defaultValue));
        return defaultValue;
    }
    qint32 stored = 0;
    const auto it = find(key, valueName);
    return it != key.values.cend() && toInt32(*it, stored) ? stored : defaultValue;
}

void WriteSettingInt(SettingsKey& key, const QString& valueName, qint32 value)
{
    remember(key, valueName, QVariant(value));
}

void ReadSettingString(SettingsKey& key, const QString& valueName, const QString& defaultValue,
                       QString& buffer, int size)
{
    // A shared copy taken before buffer is assigned: the two may be one object.
    const QString fallback = defaultValue;
    if (key.disposition == SettingsCreated) {
        remember(key, valueName, QVariant(fallback));
        buffer = fitted(fallback, size);
        return;
    }
    QString stored;
    const auto it = find(key, valueName);
    buffer = fitted(it != key.values.cend() && toText(*it, stored) ? stored : fallback, size);
}

void WriteSettingString(SettingsKey& key, const QString& valueName, const QString& text)
{
    remember(key, valueName, QVariant(text));
}

bool IntSettingUnreadable(SettingsKey& key, const QString& valueName)
{
    qint32 ignored = 0;
    const auto it = find(key, valueName);
    return key.unreadable || (it != key.values.cend() && !toInt32(*it, ignored));
}

bool StringSettingUnreadable(SettingsKey& key, const QString& valueName)
{
    QString ignored;
    const auto it = find(key, valueName);
    return key.unreadable || (it != key.values.cend() && !toText(*it, ignored));
}

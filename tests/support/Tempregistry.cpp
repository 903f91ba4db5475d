#include "Tempsettings.h"

#include "SettingsStore.h"

#include <QDir>
#include <QList>
#include <QUuid>

#include <windows.h>

// On Windows the store is the registry: each TempSettings keeps its values under a key of its
// own, HKCU\Software\Brindora tests\<uuid>, which stands in for HKCU\Software through the
// variable the store follows, and removes it again. The user's own key is never opened.
namespace {

const QString testsKey = QStringLiteral("Software\\Brindora tests");

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

// A line of settings text as a registry value: a whole number as a REG_DWORD, other text as
// a REG_SZ holding it as written, and a line that names a value but gives none (a note) as
// binary data, the registry's kind of value that is there but can't be read as either.
void writeLine(HKEY key, QByteArrayView line)
{
    const QByteArray text = line.trimmed().toByteArray();
    if (text.isEmpty() || text.startsWith('[') || text.startsWith('#') || text.startsWith(';'))
        return;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0) {
        const qsizetype space = text.indexOf(' ');
        const std::wstring name = wide(QString::fromUtf8(text.left(space)));
        RegSetValueExW(key, name.c_str(), 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(text.constData()), DWORD(text.size()));
        return;
    }
    const std::wstring name = wide(QString::fromUtf8(text.left(equals).trimmed()));
    const QString value = QString::fromUtf8(text.mid(equals + 1).trimmed());
    bool isNumber = false;
    const DWORD number = DWORD(value.toInt(&isNumber));
    if (isNumber) {
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                       sizeof number);
        return;
    }
    const std::wstring string = wide(value);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(string.c_str()),
                   DWORD((string.size() + 1) * sizeof(wchar_t)));
}

} // namespace

TempSettings::TempSettings(const QString& name)
    : m_name(name), m_previousVariable(qgetenv("BRINDORA_REGISTRY_ROOT")),
      m_hadVariable(qEnvironmentVariableIsSet("BRINDORA_REGISTRY_ROOT"))
{
    if (!m_dir.isValid())
        return;
    QDir().mkpath(configHome());
    m_root = testsKey + QLatin1Char('\\') + QUuid::createUuid().toString(QUuid::WithoutBraces);
    qputenv("BRINDORA_REGISTRY_ROOT", m_root.toUtf8());
}

TempSettings::~TempSettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, wide(m_root).c_str());
    // The folder of all test keys goes too once the last one has (it fails while any is left).
    RegDeleteKeyW(HKEY_CURRENT_USER, wide(testsKey).c_str());
    if (m_hadVariable)
        qputenv("BRINDORA_REGISTRY_ROOT", m_previousVariable);
    else
        qunsetenv("BRINDORA_REGISTRY_ROOT");
}

QString TempSettings::configHome() const
{
    return m_dir.path() + QStringLiteral("/config");
}

QString TempSettings::storeFolder() const
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + m_root + QStringLiteral("\\Pellwyn");
}

QString TempSettings::storePath() const
{
    return storeFolder() + QLatin1Char('\\') + m_name;
}

bool TempSettings::storeExists() const
{
    HKEY key = nullptr;
    const std::wstring path = wide(m_root + QStringLiteral("\\Pellwyn\\") + m_name);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

QByteArray TempSettings::readRaw() const
{
    // The values in a fixed order with their kinds, so two reads compare equal exactly when
    // the key holds the same.
    QVariantMap values;
    if (!storeExists() || !SettingsStore::load(m_name, values))
        return QByteArray();
    QByteArray text;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().typeName() + ':' +
                it.value().toString().toUtf8() + '\n';
    return text;
}

bool TempSettings::writeRaw(const QByteArray& contents) const
{
    for (const char c : contents) {
        // Bytes that are not text have no registry counterpart.
        if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    const std::wstring path = wide(m_root + QStringLiteral("\\Pellwyn\\") + m_name);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const QList<QByteArray> lines = contents.split('\n');
    for (const QByteArray& line : lines)
        writeLine(key, line);
    RegCloseKey(key);
    return true;
}

bool TempSettings::readStore(QVariantMap& values) const
{
    values.clear();
    return storeExists() && SettingsStore::load(m_name, values);
}

QProcessEnvironment TempSettings::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BRINDORA_REGISTRY_ROOT"), m_root);
    return env;
}

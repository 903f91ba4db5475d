#include "SettingsStore.h"

#include <QByteArray>
#include <QVariant>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <windows.h>

// The Windows store: the key HKCU\Software\Pellwyn\<name> the older Windows program kept its
// values in, read and written with the registry's own calls so an account carries its values
// over both ways: numbers as 4-byte REG_DWORD, strings as REG_SZ with their terminator, and no
// encoding of QSettings' own (which would read a leading '@' as a type, and a REG_BINARY as
// UTF-16 text).
namespace SettingsStore {

namespace {

// BRINDORA_REGISTRY_ROOT stands in for "Software", as XDG_CONFIG_HOME does for the folder
// elsewhere: tests keep their values under a key of their own and never touch the user's.
std::wstring keyPath(const QString& name)
{
    QString root = qEnvironmentVariable("BRINDORA_REGISTRY_ROOT");
    if (root.isEmpty())
        root = QStringLiteral("Software");
    return (root + QStringLiteral("\\Pellwyn\\") + name).toStdWString();
}

// An open key, closed when it goes out of scope.
class OpenKey final
{
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY* receive() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A value as the reads understand it. A kind that is neither text nor a number (binary data,
// a list, a number of the wrong size) gives an invalid variant: there, but unreadable.
QVariant decoded(DWORD type, const QByteArray& data)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        // The registry keeps text as UTF-16 whichever call wrote it (the old program used the
        // ANSI ones). The text ends at its terminator; one that lacks it ends with the data.
        const auto* units = reinterpret_cast<const char16_t*>(data.constData());
        QString text = QString::fromUtf16(units, data.size() / 2);
        const qsizetype end = text.indexOf(QChar::Null);
        return end < 0 ? text : text.left(end);
    }
    case REG_DWORD:
        if (data.size() == sizeof(qint32)) {
            qint32 number = 0;
            std::memcpy(&number, data.constData(), sizeof number);
            return number;
        }
        break;
    case REG_QWORD:
        if (data.size() == sizeof(qint64)) {
            qint64 number = 0;
            std::memcpy(&number, data.constData(), sizeof number);
            return qlonglong(number);
        }
        break;
    default:
        break;
    }
    return QVariant();
}

} // namespace

Found create(const QString& name)
{
    // Opened for reading only: an administrator who keeps the user from changing a password
    // leaves no more than that. Only "not found" means there is no key; any other refusal
    // means one is there whose values can't be known.
    const std::wstring path = keyPath(name);
    OpenKey existing;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, existing.receive()) !=
        ERROR_FILE_NOT_FOUND)
        return Found::Existing;
    std::wstring keyClass = name.toStdWString();
    OpenKey made;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, keyClass.data(),
                        REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE, nullptr, made.receive(),
                        &disposition) == ERROR_SUCCESS)
        return disposition == REG_CREATED_NEW_KEY ? Found::Created : Found::Existing;
    // Another program may have made it meanwhile, closed to this user.
    OpenKey again;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, again.receive()) ==
                   ERROR_FILE_NOT_FOUND
               ? Found::Nothing
               : Found::Existing;
}

namespace {

enum class Reading
{
    Done,
    Failed,
    Changed, // another program changed the key while it was read
};

Reading readValues(const QString& name, QVariantMap& values)
{
    values.clear();
    OpenKey key;
    // Values are all it reads (KEY_READ would also ask to list subkeys and to be told of changes,
    // which a key the user may only query refuses).
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath(name).c_str(), 0, KEY_QUERY_VALUE,
                      key.receive()) != ERROR_SUCCESS)
        return Reading::Failed;
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD largestData = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &largestData, nullptr, nullptr) != ERROR_SUCCESS)
        return Reading::Failed;
    std::wstring valueName(longestName + 1, L'\0');
    QByteArray data(qsizetype(largestData), '\0');
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = DWORD(valueName.size());
        DWORD dataSize = DWORD(data.size());
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueW(key.get(), index, valueName.data(), &nameLength, nullptr,
                                          &type, reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (result == ERROR_MORE_DATA || result == ERROR_NO_MORE_ITEMS)
            return Reading::Changed;
        if (result != ERROR_SUCCESS)
            return Reading::Failed;
        values.insert(QString::fromWCharArray(valueName.c_str(), int(nameLength)),
                      decoded(type, data.first(dataSize)));
    }
    return Reading::Done;
}

// An administrator may keep the user from changing the key; the program runs on with what it
// read, and says once why what the user set up is not kept (every later save would say it
// again).
void reportRefusedSave(const std::wstring& path, LONG error)
{
    static std::atomic_bool reported{false};
    if (reported.exchange(true))
        return;
    const QString message = QStringLiteral("brindora: the settings in HKEY_CURRENT_USER\\%1 were "
                                           "not saved: %2\n")
                                .arg(QString::fromStdWString(path), qt_error_string(int(error)));
    std::fputs(message.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

bool load(const QString& name, QVariantMap& values)
{
    // A key that keeps changing under the reader counts as unreadable, like one that can't be
    // opened: its password settings then fail closed.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Reading reading = readValues(name, values);
        if (reading != Reading::Changed)
            return reading == Reading::Done;
    }
    values.clear();
    return false;
}

void save(const QString& name, const QVariantMap& changes)
{
    OpenKey key;
    const std::wstring path = keyPath(name);
    std::wstring keyClass = name.toStdWString();
    // Asks only to set values, and re-creates the key if it vanished since the open.
    LONG result =
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, keyClass.data(),
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.receive(), nullptr);
    // One value refused is no reason to drop the others.
    for (auto it = changes.cbegin(); it != changes.cend() && key.get(); ++it) {
        // The registry puts a value onto the one already there in any letter case.
        const std::wstring valueName = it.key().toStdWString();
        LONG written = ERROR_SUCCESS;
        if (it.value().typeId() == QMetaType::Int) {
            const DWORD number = DWORD(it.value().toInt());
            written = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else {
            const std::wstring text = it.value().toString().toStdWString();
            written = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     DWORD((text.size() + 1) * sizeof(wchar_t)));
        }
        if (written != ERROR_SUCCESS)
            result = written;
    }
    if (result != ERROR_SUCCESS)
        reportRefusedSave(path, result);
}

bool sameName(const QString& a, const QString& b)
{
    // The comparison the registry itself makes: letter case ignored by the system's own
    // table, non-Latin letters included, with no folding of one letter into two.
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.utf16()), int(a.size()),
                                reinterpret_cast<const wchar_t*>(b.utf16()), int(b.size()),
                                TRUE) == CSTR_EQUAL;
}

} // namespace SettingsStore

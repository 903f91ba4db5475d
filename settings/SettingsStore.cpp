#include "SettingsStore.h"

#include <QSettings>
#include <QStringList>

#ifdef _WIN32
#include <memory>
#include <qt_windows.h>
#include <string>
#else
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryFile>
#endif

namespace SettingsStore {

namespace {

const QString organization = QStringLiteral("Pellwyn");

} // namespace

#ifdef _WIN32

// The registry key the old program used, so an account keeps its values. QSettings
// stores a qint32 as REG_DWORD and a QString as REG_SZ there, as that program did.
namespace {

std::wstring keyPath(const QString& name)
{
    return (QStringLiteral("Software\\") + organization + QLatin1Char('\\') + name).toStdWString();
}

std::unique_ptr<QSettings> openRegistry(const QString& name)
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                organization, name);
    // Otherwise absent values would be looked up under HKLM and the organisation's
    // defaults key, and a machine-wide value would pass for the user's own.
    settings->setFallbacksEnabled(false);
    return settings;
}

} // namespace

Found create(const QString& name)
{
    const std::wstring path = keyPath(name);
    std::wstring keyClass = name.toStdWString();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, keyClass.data(),
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return Found::Nothing;
    RegCloseKey(key);
    return disposition == REG_CREATED_NEW_KEY ? Found::Created : Found::Existing;
}

bool load(const QString& name, QVariantMap& values)
{
    values.clear();
    const auto settings = openRegistry(name);
    const QStringList names = settings->childKeys();
    for (const QString& valueName : names)
        values.insert(valueName, settings->value(valueName));
    return settings->status() == QSettings::NoError;
}

void save(const QString& name, const QVariantMap& changes)
{
    const auto settings = openRegistry(name);
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        settings->setValue(it.key(), it.value());
    settings->sync();
}

#else

namespace {

// The same file QSettings(NativeFormat, UserScope, "Pellwyn", name) would use, opened by
// its path instead: that form reads no system-wide fallback files (/etc/xdg/Pellwyn/...),
// which would otherwise answer for values the user never stored, and it follows
// XDG_CONFIG_HOME as it is now rather than as it was at the first QSettings of the process.
QString filePath(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + organization + QLatin1Char('/') + name + QStringLiteral(".conf");
}

constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions ownerOnlyDir = ownerOnlyFile | QFile::ExeOwner;

bool isThere(const QFileInfo& info)
{
    // A dangling or looping link counts: something the user put there, not ours to replace.
    return info.exists() || info.isSymLink();
}

// Creates the missing folders owner-only; folders that exist keep their modes.
bool makeFolder(const QString& path)
{
    QStringList missing;
    for (QString dir = QDir::cleanPath(path); !QFileInfo::exists(dir);
         dir = QFileInfo(dir).path()) {
        missing.prepend(dir);
        if (QFileInfo(dir).path() == dir)
            return false;
    }
    for (const QString& dir : std::as_const(missing)) {
        if (!QDir().mkdir(dir, ownerOnlyDir) && !QFileInfo(dir).isDir())
            return false;
    }
    return QFileInfo(path).isDir();
}

// Hand-edited or damaged text that QSettings would half-read and then rewrite without the
// parts it skipped. Its own status can't be asked on the real file: it reports a parse
// error only for the first QSettings object on a file in the process and serves later ones
// from a cache. A private copy under a fresh name is parsed afresh every time.
bool parse(const QByteArray& data, QVariantMap& values)
{
    if (data.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    if (utf8.hasError())
        return false;

    QTemporaryFile copy; // owner-only, removed again when it goes out of scope
    if (!copy.open() || copy.write(data) != data.size())
        return false;
    copy.close();
    QSettings parsed(copy.fileName(), QSettings::IniFormat);
    const QStringList names = parsed.allKeys();
    if (parsed.status() != QSettings::NoError)
        return false;
    for (const QString& valueName : names)
        values.insert(valueName, parsed.value(valueName));
    return true;
}

} // namespace

Found create(const QString& name)
{
    const QString path = filePath(name);
    if (isThere(QFileInfo(path)))
        return Found::Existing;
    if (!makeFolder(QFileInfo(path).path()))
        return Found::Nothing;
    // NewOnly: if another copy of the program creates it first, we use theirs.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnlyFile))
        return Found::Created;
    return isThere(QFileInfo(path)) ? Found::Existing : Found::Nothing;
}

bool load(const QString& name, QVariantMap& values)
{
    values.clear();
    const QFileInfo info(filePath(name));
    // Only a regular file: a directory can't be read, and opening a FIFO would block the
    // program's start until someone writes into it.
    if (!info.isFile())
        return false;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFile::NoError)
        return false;
    // An empty file is a valid empty store: it is what create() leaves, and nothing in it
    // can be lost by writing.
    return data.isEmpty() || parse(data, values);
}

void save(const QString& name, const QVariantMap& changes)
{
    // Read again right before writing: QSettings would rewrite a file that turned
    // unreadable since the open with only what it managed to parse. Re-created owner-only
    // if it vanished, since QSettings would create it readable by everyone.
    QVariantMap stored;
    if (create(name) == Found::Nothing || !load(name, stored))
        return;

    // QSettings takes a lock file against other writers and replaces the file through
    // QSaveFile, so a crash leaves the old file whole. It is handed the whole store as just
    // read rather than only the changes: it would merge those with its per-process cache of
    // the file, which misses another writer's change that kept the size and the timestamp.
    // The changes go last: QSettings reads hand-written names such as "viewertop/" apart
    // from "viewertop" but writes them as one, and the program's own write must win.
    QSettings settings(filePath(name), QSettings::IniFormat);
    settings.clear();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (!changes.contains(it.key()))
            settings.setValue(it.key(), it.value());
    }
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

#endif

} // namespace SettingsStore

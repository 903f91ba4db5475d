#include "SettingsStore.h"

#include "Inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

// The store elsewhere than on Windows: an INI file the user may edit by hand.
namespace SettingsStore {

namespace {

const QString organization = QStringLiteral("Pellwyn");

// The same file QSettings(NativeFormat, UserScope, "Pellwyn", name) would use, opened by
// its path instead: that form reads no system-wide fallback files (/etc/xdg/Pellwyn/...),
// which would otherwise answer for values the user never stored, and it follows
// XDG_CONFIG_HOME as it is now rather than as it was at the first QSettings of the process.
QString filePath(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + organization + QLatin1Char('/') + name + QStringLiteral(".conf");
}

// Far longer than any save takes, short enough that the window never looks hung.
constexpr int lockWait = 2000; // ms

constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions ownerOnlyDir = ownerOnlyFile | QFile::ExeOwner;

// Only "no such entry" means nothing is there. A folder on the way the program may not
// search, a loop of links or a file where a folder should be hide whatever is behind them,
// which may be the password: such a store is there, just unreadable. A dangling or looping
// link in its place counts too: something the user put there, not ours to replace.
bool isThere(const QString& path)
{
    struct stat info = {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
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

// The store's text, or false when it can't be read: not a regular file (a folder can't be
// read, and opening a FIFO would block the program's start until someone writes into it),
// not readable, or not text at all.
bool readText(const QString& path, IniFile& text)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    return file.error() == QFile::NoError && text.parse(data);
}

} // namespace

Found create(const QString& name)
{
    const QString path = filePath(name);
    if (isThere(path))
        return Found::Existing;
    if (!makeFolder(QFileInfo(path).path()))
        return Found::Nothing;
    // NewOnly: if another copy of the program creates it first, we use theirs.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnlyFile))
        return Found::Created;
    return isThere(path) ? Found::Existing : Found::Nothing;
}

bool load(const QString& name, QVariantMap& values)
{
    values.clear();
    IniFile text;
    if (!readText(filePath(name), text))
        return false;
    values = text.values();
    return true;
}

void save(const QString& name, const QVariantMap& changes)
{
    // Re-created owner-only if it vanished since the open.
    if (create(name) == Found::Nothing)
        return;
    const QString path = filePath(name);
    // The lock file QSettings takes for the same file, so a save never overlaps another
    // program's; a lock left by a writer that died is taken over. Saves run on the window's
    // thread, so a writer that holds on to it costs this save, never the window.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWait))
        return;
    // Read again under the lock: another writer's change since the open is kept, and a
    // file that has turned unreadable since is left alone.
    IniFile text;
    if (!readText(path, text))
        return;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (!text.setValue(it.key(), it.value()))
            return;
    }
    // A new file renamed over the old one, so a crash leaves the old file whole. It is the
    // user's only, whoever made the old one: it may hold the password.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray data = text.bytes();
    if (file.write(data) == data.size() && file.setPermissions(ownerOnlyFile))
        file.commit();
}

bool sameName(const QString& a, const QString& b)
{
    return a == b;
}

} // namespace SettingsStore

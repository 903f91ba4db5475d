#include "Playerart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

constexpr QFile::Permissions OwnerFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
constexpr QFile::Permissions OwnerFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

// Only a folder, not a link to one, owned by whoever owns the folder it lies in: a place
// someone else prepared could hand the picture, or our writes, to them.
bool isOwnFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QFileInfo parent(info.absolutePath());
    return !info.isSymLink() && info.isDir() && info.ownerId() == parent.ownerId();
}

bool holds(const QString& path, const QByteArray& picture)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() != picture.size()) {
        return false;
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == picture;
}

} // namespace

QString playerArtFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(QStringLiteral("brindora"));
}

QString writePlayerArt(const QString& folder, const QByteArray& picture)
{
    if (folder.isEmpty() || picture.isEmpty()) {
        return {};
    }
    QDir().mkdir(folder, OwnerFolder);
    if (!isOwnFolder(folder) || !QFile::setPermissions(folder, OwnerFolder)) {
        return {};
    }
    const QString path = QDir(folder).filePath(QStringLiteral("brindora.png"));
    if (!holds(path, picture)) {
        // A save through a link writes where it points; a removed link points nowhere.
        if (QFileInfo(path).isSymLink()) {
            QFile::remove(path);
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size() ||
            !file.commit()) {
            return {};
        }
    }
    return QFile::setPermissions(path, OwnerFile) ? QUrl::fromLocalFile(path).toString()
                                                  : QString();
}

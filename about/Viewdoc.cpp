#include "Viewdoc.h"

#include "Formutil.h"
#include "Shellopen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool isExistingFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

void showDocumentNotFound()
{
    ShowMessage(nullptr, QStringLiteral("Unable to find documentation"), QStringLiteral("error"));
}

} // namespace

DocumentShell desktopDocumentShell()
{
    return {isExistingFile, shellOpenFile, showDocumentNotFound};
}

QString installedDocumentDirectory()
{
    const QString installed = QStringLiteral(BRINDORA_INSTALLED_DOCDIR);
    const QString path = QDir::isAbsolutePath(installed)
                             ? installed
                             : QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                               QLatin1Char('/') + installed);
    return QDir::toNativeSeparators(path);
}

bool ViewDocument(const QString& baseName, const QString& directory, bool quiet)
{
    DocumentSearch search;
    search.baseName = baseName;
    // Qt hands out "/" on every platform; the Windows rules look for "\" and ":".
    search.directory = QDir::toNativeSeparators(directory);
    // The full path, cut below at its last separator just as the file name is dropped.
    search.programFile = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    search.installedDocDir = installedDocumentDirectory();
    return viewDocumentWith(search, quiet, desktopDocumentShell());
}

bool OpenIfExists(const QString& path)
{
    return OpenIfExists(path, desktopDocumentShell());
}

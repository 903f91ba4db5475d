#include "Docsearch.h"

namespace {

const QStringList documentFormats = {QStringLiteral("%1.html"), QStringLiteral("%1.htm")};

QChar separatorOf(PathFlavour flavour)
{
    return flavour == PathFlavour::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

void addBothExtensions(QStringList& candidates, PathFlavour flavour, const QString& directory,
                       const QString& baseName)
{
    for (const QString& format : documentFormats) {
        candidates.append(joinPath(flavour, directory, format.arg(baseName)));
    }
}

} // namespace

PathFlavour nativePathFlavour()
{
#ifdef _WIN32
    return PathFlavour::Windows;
#else
    return PathFlavour::Posix;
#endif
}

QString joinPathWindows(const QString& directory, const QString& fileName)
{
    // "C:" stays drive-relative and "C:\" is already a root: neither gets another backslash.
    if (directory.endsWith(QLatin1Char('\\')) || directory.endsWith(QLatin1Char(':'))) {
        return directory + fileName;
    }
    return directory + QLatin1Char('\\') + fileName;
}

QString joinPathPosix(const QString& directory, const QString& fileName)
{
    if (directory.endsWith(QLatin1Char('/'))) {
        return directory + fileName;
    }
    return directory + QLatin1Char('/') + fileName;
}

QString joinPath(PathFlavour flavour, const QString& directory, const QString& fileName)
{
    return flavour == PathFlavour::Windows ? joinPathWindows(directory, fileName)
                                           : joinPathPosix(directory, fileName);
}

QString JoinPath(const QString& directory, const QString& fileName)
{
    return joinPath(nativePathFlavour(), directory, fileName);
}

bool programDirectoryOf(PathFlavour flavour, const QString& programFile, QString* directory)
{
    const qsizetype cut = programFile.lastIndexOf(separatorOf(flavour));
    if (cut < 0) {
        return false;
    }
    *directory = programFile.left(cut);
    return true;
}

QStringList documentCandidates(const DocumentSearch& search)
{
    QStringList candidates;
    addBothExtensions(candidates, search.flavour, search.directory, search.baseName);
    for (const QString& format : documentFormats) {
        candidates.append(format.arg(search.baseName));
    }
    QString programDirectory;
    if (programDirectoryOf(search.flavour, search.programFile, &programDirectory)) {
        addBothExtensions(candidates, search.flavour, programDirectory, search.baseName);
    }
    // Last, so a copy beside the program or in the start directory still wins.
    if (!search.installedDocDir.isEmpty()) {
        addBothExtensions(candidates, search.flavour, search.installedDocDir, search.baseName);
    }
    return candidates;
}

bool OpenIfExists(const QString& path, const DocumentShell& shell)
{
    if (!shell.fileExists(path)) {
        return false;
    }
    shell.open(path);
    return true;
}

bool viewDocumentWith(const DocumentSearch& search, bool quiet, const DocumentShell& shell)
{
    const QStringList candidates = documentCandidates(search);
    for (const QString& path : candidates) {
        if (OpenIfExists(path, shell)) {
            return true;
        }
    }
    if (!quiet) {
        shell.showNotFound();
    }
    return false;
}

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Where Help looks for its document and in which order. Nothing here needs a display: the
// existence test, the "open" action and the not-found message are handed in, so tests can
// record them.

enum class PathFlavour
{
    Windows, // "\" between parts; "C:" and "C:\" take the file name directly
    Posix,   // "/" between parts
};

// The flavour of the platform the program was built for.
PathFlavour nativePathFlavour();

// The directory, a backslash unless it already ends with a backslash or a colon, the name.
QString joinPathWindows(const QString& directory, const QString& fileName);
// The directory, a slash unless it already ends with one, the name.
QString joinPathPosix(const QString& directory, const QString& fileName);
QString joinPath(PathFlavour flavour, const QString& directory, const QString& fileName);
// The native flavour.
QString JoinPath(const QString& directory, const QString& fileName);

// The program file's path cut at its last separator, file name dropped; false when the path
// holds no separator. A program in a drive's root leaves the bare drive ("C:").
bool programDirectoryOf(PathFlavour flavour, const QString& programFile, QString* directory);

struct DocumentSearch
{
    QString baseName;        // without extension, e.g. "brindora"
    QString directory;       // the start directory
    QString programFile;     // the program's full path in native form; empty when unknown
    QString installedDocDir; // where an installed program keeps its document; empty for none
    PathFlavour flavour = nativePathFlavour();
};

// Every place looked at, in order: the start directory, the bare names (relative to the
// current directory), the program's directory, then the installed documentation directory;
// within each place ".html" before ".htm".
QStringList documentCandidates(const DocumentSearch& search);

struct DocumentShell
{
    std::function<bool(const QString& path)> fileExists;
    std::function<void(const QString& path)> open; // the desktop's "open" action
    std::function<void()> showNotFound;            // the one message of a fruitless search
};

// True when the path names an existing file, after handing it to the shell's "open"
// action; false, and nothing opened, otherwise. What the shell makes of it is not checked.
bool OpenIfExists(const QString& path, const DocumentShell& shell);

// Opens the first candidate that exists and returns true. Without one: the not-found
// message unless quiet, and false.
bool viewDocumentWith(const DocumentSearch& search, bool quiet, const DocumentShell& shell);

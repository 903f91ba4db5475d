#pragma once

#include "Docsearch.h"

class QString;

// Looks for the document "<baseName>.html" or ".htm" in the directory given, the current
// directory, the program's directory and the installed documentation directory, and hands
// the first one found to the desktop. Without one, and unless quiet, says so in a message box.
bool ViewDocument(const QString& baseName, const QString& directory, bool quiet);

// True when the path names an existing file, after handing it to the desktop.
bool OpenIfExists(const QString& path);

// The shell ViewDocument uses: the real file system, the desktop's "open" action and a
// modal message box.
DocumentShell desktopDocumentShell();

// Where an installed program's documentation lies, as configured at build time: beside
// the program's folder in the installed tree, wherever that tree was put.
QString installedDocumentDirectory();

#pragma once

#include <QStringList>

// True when any argument after the program's own name is "-autominimize", in any letter
// case. Other arguments are ignored.
bool ScanCommandLine(const QStringList& arguments);

// True when any argument after the program's own name is "-quit", in any letter case: the
// installer's way to ask a running copy to quit before it replaces the program's files.
bool ScanForQuit(const QStringList& arguments);

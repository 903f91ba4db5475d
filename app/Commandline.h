#pragma once

#include <QStringList>

// True when any argument after the program's own name is "-autominimize", in any letter
// case. Other arguments are ignored.
bool ScanCommandLine(const QStringList& arguments);

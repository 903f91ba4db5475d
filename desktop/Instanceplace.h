#pragma once

#include <QString>

// Where this user's one-copy socket goes so that no other user can make it first and so
// capture every start: the full name for QLocalServer, or an empty string where there is no
// such place (the program then runs without the guard rather than trust a place others share).
QString privateServerName(const QString& name);

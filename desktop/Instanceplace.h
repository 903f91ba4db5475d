#pragma once

#include <QString>

class QLocalSocket;

// Where this user's one-copy socket goes so that no other user can make it first and so
// capture every start: the full name for QLocalServer, or an empty string where there is no
// such place (the program then runs without the guard rather than trust a place others share).
QString privateServerName(const QString& name);

// Who answered at a name from privateServerName.
enum class PeerFound
{
    Nobody,   // no server: this start may listen there
    Ours,     // a server running as this user; socket is connected to it
    Stranger, // a server that can't be shown to be this user's: not to be told anything
};

// Connects socket to the server listening under name, waiting at most wait ms for a busy one.
// On Windows the server's process must run as this user, or as user (a security identifier
// in string form, for tests) when one is given; elsewhere the private folder already keeps
// every other user out, and user is not looked at.
PeerFound connectToPeer(QLocalSocket& socket, const QString& name, int wait,
                        const QString& user = QString());

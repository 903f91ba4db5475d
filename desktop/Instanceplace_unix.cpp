#include "Instanceplace.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

QString privateServerName(const QString& name)
{
    // The user's runtime folder; without XDG_RUNTIME_DIR Qt makes one in the temporary
    // folder, mode 0700, and gives up on one that another user owns.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

PeerFound connectToPeer(QLocalSocket& socket, const QString& name, int wait, const QString&)
{
    socket.connectToServer(name);
    return socket.waitForConnected(wait) ? PeerFound::Ours : PeerFound::Nobody;
}

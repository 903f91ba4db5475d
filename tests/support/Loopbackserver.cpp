#include "Loopbackserver.h"

#include <QHostAddress>

LoopbackServer::LoopbackServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::onNewConnection);
}

bool LoopbackServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

int LoopbackServer::openClientCount() const
{
    int open = 0;
    for (const auto& client : m_clients) {
        if (client && client->state() == QAbstractSocket::ConnectedState) {
            ++open;
        }
    }
    return open;
}

QTcpSocket* LoopbackServer::newestClient() const
{
    for (auto it = m_clients.crbegin(); it != m_clients.crend(); ++it) {
        if (*it && (*it)->state() == QAbstractSocket::ConnectedState) {
            return *it;
        }
    }
    return nullptr;
}

bool LoopbackServer::send(const QByteArray& bytes)
{
    QTcpSocket* client = newestClient();
    if (!client) {
        return false;
    }
    client->write(bytes);
    client->flush();
    return true;
}

quint16 LoopbackServer::newestClientPort() const
{
    QTcpSocket* client = newestClient();
    return client ? client->peerPort() : 0;
}

void LoopbackServer::dropClients()
{
    for (const auto& client : m_clients) {
        if (client) {
            client->disconnectFromHost();
            client->abort();
        }
    }
}

void LoopbackServer::onNewConnection()
{
    while (QTcpSocket* client = m_server.nextPendingConnection()) {
        ++m_connections;
        client->setParent(this);
        m_clients.append(client);
        connect(client, &QTcpSocket::readyRead, this,
                [this, client] { m_received += client->readAll(); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        Q_EMIT clientConnected();
    }
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

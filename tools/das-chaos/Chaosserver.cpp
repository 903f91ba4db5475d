#include "Chaosserver.h"

#include "Chaosclient.h"

#include <QHostAddress>
#include <QTcpSocket>

ChaosServer::ChaosServer(ChaosMode mode, quint32 seed, QObject* parent)
    : QObject(parent), m_mode(mode), m_seed(seed)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ChaosServer::onNewConnection);
}

ChaosServer::~ChaosServer()
{
    // The clients must not report back into a half-destroyed server or its stats.
    const QList<ChaosClient*> clients = m_clients;
    for (ChaosClient* client : clients) {
        client->disconnect(this);
        delete client;
    }
}

bool ChaosServer::listen(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        return false;
    }
    if (m_mode == ChaosMode::Backlog) {
        enterBacklog();
    }
    return true;
}

void ChaosServer::setMode(ChaosMode mode)
{
    const ChaosMode previous = m_mode;
    m_mode = mode;
    ++m_generation;
    if (previous == ChaosMode::Backlog && mode != ChaosMode::Backlog) {
        leaveBacklog();
    } else if (previous != ChaosMode::Backlog && mode == ChaosMode::Backlog &&
               m_server.isListening()) {
        enterBacklog();
    }
    // setMode() may end a client, which shrinks the list.
    const QList<ChaosClient*> clients = m_clients;
    for (ChaosClient* client : clients) {
        client->setMode(mode, m_generation);
    }
}

qint64 ChaosServer::unsentBytes() const
{
    qint64 total = 0;
    for (const ChaosClient* client : m_clients) {
        total += client->unsentBytes();
    }
    return total;
}

void ChaosServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // Spread the seed, so neighbouring connections don't make related choices.
        const quint32 seed = m_seed ^ quint32(m_stats.connections * 0x9E3779B9ull);
        ++m_stats.connections;
        auto* client = new ChaosClient(socket, seed, &m_stats, this);
        m_clients.append(client);
        connect(client, &ChaosClient::finished, this,
                [this, client] { m_clients.removeOne(client); });
        client->setMode(m_mode, m_generation);
    }
}

void ChaosServer::enterBacklog()
{
    // Queue first, then drop: a client that reconnects at once must find the queue full.
    m_server.pauseAccepting();
    m_filler.fill(m_server.serverPort());
}

void ChaosServer::leaveBacklog()
{
    // The fillers still queued are accepted next and end at once, as they are closed.
    m_filler.release();
    m_server.resumeAccepting();
}

#include "Demoserver.h"

#include "Democlient.h"

#include <QTcpSocket>

#include <utility>

DemoServer::DemoServer(Playlist playlist, QObject* parent)
    : QObject(parent), m_playlist(std::move(playlist))
{
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &DemoServer::onTick);
    connect(&m_server, &QTcpServer::newConnection, this, &DemoServer::onNewConnection);
    // Playing from the start means a newcomer sees the time running at once.
    m_tick.start();
}

DemoServer::~DemoServer()
{
    // The clients are children of this object; they must not report back into
    // a half-destroyed server.
    for (DemoClient* client : std::as_const(m_clients))
        client->disconnect(this);
}

bool DemoServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port);
}

void DemoServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* client = new DemoClient(socket, this);
        m_clients.append(client);
        connect(client, &DemoClient::commandReceived, this, &DemoServer::onCommand);
        connect(client, &DemoClient::finished, this,
                [this, client] { m_clients.removeOne(client); });
        client->send(titleLine() + modeLine() + timeLine());
    }
}

void DemoServer::onCommand(const QByteArray& command)
{
    if (command == "play") {
        play();
    } else if (command == "stop") {
        stop();
    } else if (command == "next") {
        m_playlist.next();
        changeTrack();
    } else if (command == "prev") {
        m_playlist.prev();
        changeTrack();
    } else if (command == "shuffle") {
        toggleShuffle();
    }
    // Anything else is ignored, as a real server would.
}

void DemoServer::onTick()
{
    ++m_elapsedSeconds;
    if (m_elapsedSeconds >= m_playlist.current().lengthSeconds) {
        m_playlist.next();
        changeTrack();
        return;
    }
    broadcast(timeLine());
}

void DemoServer::play()
{
    // Restarting a running timer would stretch the current second.
    if (!m_tick.isActive())
        m_tick.start();
}

void DemoServer::stop()
{
    m_tick.stop();
    m_elapsedSeconds = 0;
    broadcast(timeLine());
}

void DemoServer::changeTrack()
{
    m_elapsedSeconds = 0;
    // Keeps the first second of the new song a full second long.
    if (m_tick.isActive())
        m_tick.start();
    broadcast(titleLine() + timeLine());
}

void DemoServer::toggleShuffle()
{
    m_playlist.toggleShuffle();
    broadcast(modeLine());
}

QByteArray DemoServer::titleLine() const
{
    return "303 \"" + m_playlist.current().title.toUtf8() + "\"\n";
}

QByteArray DemoServer::timeLine() const
{
    const int hours = m_elapsedSeconds / 3600;
    const int minutes = m_elapsedSeconds / 60 % 60;
    const int seconds = m_elapsedSeconds % 60;
    return "304 " + QByteArray::number(hours) + ' ' + QByteArray::number(minutes) + ' ' +
           QByteArray::number(seconds) + '\n';
}

QByteArray DemoServer::modeLine() const
{
    return QByteArrayLiteral("305 0 0 ") + (m_playlist.isShuffle() ? '1' : '0') + '\n';
}

void DemoServer::broadcast(const QByteArray& lines)
{
    // send() may drop a client and shrink the list, so walk a copy.
    const QList<DemoClient*> clients = m_clients;
    for (DemoClient* client : clients)
        client->send(lines);
}

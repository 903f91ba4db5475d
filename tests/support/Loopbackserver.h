#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A scripted audio server on 127.0.0.1 for tests: accepts connections, records what each
// client sends and sends whatever the test tells it to. Runs on the test's own thread, so
// the test must let events run (QTRY_ macros, QSignalSpy::wait) while it waits.
class LoopbackServer final : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackServer(QObject* parent = nullptr);

    bool listen(quint16 port = 0);
    quint16 port() const { return m_server.serverPort(); }
    void stopListening() { m_server.close(); }

    int connectionCount() const { return m_connections; }
    int openClientCount() const;

    // Everything received from all clients, in arrival order.
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Sends to the newest client; false when there is none.
    bool send(const QByteArray& bytes);
    // The port the newest client connects from; 0 when there is none.
    quint16 newestClientPort() const;
    // Hangs up on every client.
    void dropClients();

Q_SIGNALS:
    void clientConnected();

private:
    void onNewConnection();
    QTcpSocket* newestClient() const;

    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_clients;
    QByteArray m_received;
    int m_connections = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once to find it, then released).
quint16 unusedLoopbackPort();

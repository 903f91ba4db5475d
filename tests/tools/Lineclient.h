#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

// A loopback test client that collects the server's status lines while the
// event loop runs, so a server in the same thread keeps working while a test
// waits for its answer.
class LineClient final
{
public:
    LineClient();

    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool connectTo(quint16 port);
    void send(const QByteArray& bytes);

    // The next complete line without its line feed, or a null array if none
    // arrives within a generous limit.
    QByteArray nextLine();
    // The next line that is not a running-time line.
    QByteArray nextLineSkippingTime();
    // The three greeting lines, title first.
    QList<QByteArray> greeting();

    // True once the server has closed or reset the connection.
    bool waitForDrop();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

private:
    void onReadyRead();

    QTcpSocket m_socket;
    QByteArray m_pending;
    QList<QByteArray> m_lines;
};

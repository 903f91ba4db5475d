#pragma once

#include <QByteArray>
#include <QObject>

class QTcpSocket;

// One connected client of the demo server: splits what it sends into command
// words and carries status lines back to it.
class DemoClient final : public QObject
{
    Q_OBJECT

public:
    // The longest command line accepted, without its line feed. A client that
    // sends more without ending the line is cut off rather than buffered.
    static constexpr int MaxLineBytes = 4096;

    // Takes ownership of the socket.
    DemoClient(QTcpSocket* socket, QObject* parent = nullptr);
    ~DemoClient() override;

    DemoClient(const DemoClient&) = delete;
    DemoClient& operator=(const DemoClient&) = delete;

    void send(const QByteArray& line);

Q_SIGNALS:
    void commandReceived(const QByteArray& command);
    // Emitted once when the connection ends, for whatever reason; the client
    // deletes itself afterwards.
    void finished();

private:
    void onReadyRead();
    void takeLines();
    void drop();

    QTcpSocket* m_socket = nullptr;
    QByteArray m_pending;
    bool m_finished = false;
};

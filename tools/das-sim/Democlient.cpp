#include "Democlient.h"

#include <QTcpSocket>

namespace {

// A client that stops reading must not make the server hoard its status lines.
constexpr qint64 MaxUnsentBytes = 64 * 1024;

} // namespace

DemoClient::DemoClient(QTcpSocket* socket, QObject* parent) : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    // Bounds what Qt buffers for us between two reads; we drain it in chunks.
    m_socket->setReadBufferSize(2 * MaxLineBytes);
    connect(m_socket, &QTcpSocket::readyRead, this, &DemoClient::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &DemoClient::drop);
}

DemoClient::~DemoClient()
{
    // The socket may still report its disconnection while it is torn down.
    m_socket->disconnect(this);
}

void DemoClient::send(const QByteArray& line)
{
    if (m_finished)
        return;
    if (m_socket->bytesToWrite() > MaxUnsentBytes) {
        drop();
        return;
    }
    m_socket->write(line);
}

void DemoClient::onReadyRead()
{
    while (!m_finished && m_socket->bytesAvailable() > 0) {
        m_pending.append(m_socket->read(MaxLineBytes));
        takeLines();
    }
}

void DemoClient::takeLines()
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n', start);
        if (end < 0)
            break;
        if (end - start > MaxLineBytes) {
            drop();
            return;
        }
        // trimmed() also removes the carriage return a telnet user sends.
        const QByteArray command = m_pending.mid(start, end - start).trimmed();
        start = end + 1;
        if (!command.isEmpty())
            Q_EMIT commandReceived(command);
        // A command handler may have ended this connection.
        if (m_finished)
            return;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > MaxLineBytes)
        drop();
}

void DemoClient::drop()
{
    if (m_finished)
        return;
    m_finished = true;
    m_pending.clear();
    m_socket->abort();
    Q_EMIT finished();
    deleteLater();
}

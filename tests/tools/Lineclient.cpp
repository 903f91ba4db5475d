#include "Lineclient.h"

#include <QHostAddress>
#include <QTest>

namespace {

// Long enough for a loaded machine; a passing test never waits this out.
constexpr int WaitLimitMs = 10000;

} // namespace

LineClient::LineClient()
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { onReadyRead(); });
}

bool LineClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    return QTest::qWaitFor([this] { return isConnected(); }, WaitLimitMs);
}

void LineClient::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

QByteArray LineClient::nextLine()
{
    if (!QTest::qWaitFor([this] { return !m_lines.isEmpty(); }, WaitLimitMs))
        return {};
    return m_lines.takeFirst();
}

QByteArray LineClient::nextLineSkippingTime()
{
    for (;;) {
        const QByteArray line = nextLine();
        if (!line.startsWith("304 "))
            return line;
    }
}

QList<QByteArray> LineClient::greeting()
{
    QList<QByteArray> lines;
    for (int i = 0; i < 3; ++i)
        lines.append(nextLine());
    return lines;
}

bool LineClient::waitForDrop()
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           WaitLimitMs);
}

void LineClient::onReadyRead()
{
    m_pending.append(m_socket.readAll());
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        m_lines.append(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

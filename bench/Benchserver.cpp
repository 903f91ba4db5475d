#include "Benchserver.h"

#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <random>

namespace {

// How long a paced sample waits to be seen before the next one goes anyway.
constexpr auto SeenLimit = std::chrono::milliseconds(200);
// Pause between samples: random, so no sample keeps step with a timer of the program.
constexpr int GapMinUs = 2000;
constexpr int GapMaxUs = 6000;
// Before the first sample: the link's own "Connecting..." display has long settled.
constexpr auto Settle = std::chrono::milliseconds(300);

// The flood tops the queue up to this; the rest waits for the client to read.
constexpr qint64 FloodQueue = 64 * 1024;
constexpr int FloodBatch = 16 * 1024;

QByteArray timeLine(quint64 seconds)
{
    return "304 " + QByteArray::number(seconds / 3600) + ' ' +
           QByteArray::number(seconds / 60 % 60) + ' ' + QByteArray::number(seconds % 60) + '\n';
}

QByteArray floodBatch(quint64* serial, quint64* lines)
{
    QByteArray batch;
    batch.reserve(FloodBatch + 64);
    while (batch.size() < FloodBatch) {
        const quint64 n = (*serial)++;
        switch (n % 3) {
        case 0:
            batch += "303 \"Flood " + QByteArray::number(n / 3) + "\"\n";
            break;
        case 1:
            batch += timeLine(n / 3);
            break;
        default:
            batch += n / 3 % 2 != 0 ? "305 0 0 1\n" : "305 0 0 0\n";
            break;
        }
        ++*lines;
    }
    return batch;
}

} // namespace

BenchServer::BenchServer(Mode mode, int samples)
    : m_mode(mode), m_samples(samples), m_sent(static_cast<std::size_t>(samples) + 1)
{
}

BenchServer::~BenchServer()
{
    stop();
}

qint64 BenchServer::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

quint16 BenchServer::start()
{
    m_thread = std::thread([this] {
        // Made on this thread: a QObject belongs to the thread that made it.
        QTcpServer listener;
        if (!listener.listen(QHostAddress::LocalHost, 0)) {
            m_port = 0;
            return;
        }
        m_port = listener.serverPort();
        serve(listener);
    });
    while (m_port.load() < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return static_cast<quint16>(m_port.load());
}

void BenchServer::stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

qint64 BenchServer::sentAt(int sample) const
{
    return sample > 0 && sample <= m_samples ? m_sent[static_cast<std::size_t>(sample)].load() : 0;
}

int BenchServer::sampleFromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3) {
        return -1;
    }
    return parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt();
}

void BenchServer::serve(QTcpServer& listener)
{
    while (!m_stop && !listener.waitForNewConnection(100)) {
    }
    QTcpSocket* socket = listener.nextPendingConnection();
    if (socket == nullptr) {
        return;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_mode == Mode::Paced) {
        servePaced(*socket);
    } else {
        serveFlood(*socket);
    }
    socket->abort();
}

void BenchServer::servePaced(QTcpSocket& socket)
{
    std::mt19937 random(1966);
    std::uniform_int_distribution<int> gap(GapMinUs, GapMaxUs);
    std::this_thread::sleep_for(Settle);
    for (int sample = 1; sample <= m_samples && !m_stop; ++sample) {
        const QByteArray line = timeLine(static_cast<quint64>(sample));
        m_sent[static_cast<std::size_t>(sample)] = nowNs();
        socket.write(line);
        socket.flush();
        ++m_lines;
        const auto giveUp = std::chrono::steady_clock::now() + SeenLimit;
        while (m_seen.load() < sample && !m_stop && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(gap(random)));
    }
    m_done = true;
    while (!m_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void BenchServer::serveFlood(QTcpSocket& socket)
{
    quint64 serial = 0;
    quint64 lines = 0;
    while (!m_stop && !m_flooding) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    while (!m_stop && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.bytesToWrite() < FloodQueue) {
            socket.write(floodBatch(&serial, &lines));
            m_lines = lines;
        }
        socket.waitForBytesWritten(50);
    }
}

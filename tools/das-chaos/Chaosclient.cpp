#include "Chaosclient.h"

#include "Chaoslines.h"

#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

// The steady feed: one running-time line a tick, a new title every few ticks.
constexpr int SteadyTickMs = 100;
constexpr quint64 TitleEveryTicks = 5;

// A flood tops the socket's queue up only once it has drained below the low mark, so a
// client that reads slowly (or not at all) costs at most the mark plus one batch here.
constexpr qint64 FloodLowMark = 64 * 1024;
constexpr int FloodBatchBytes = 16 * 1024;
constexpr qint64 HugeLowMark = 256 * 1024;

// Small pieces far enough apart that most arrive in receives of their own.
constexpr int CutTickMs = 3;
constexpr int BinaryTickMs = 20;
constexpr int ResetDelayLimitMs = 300;
constexpr int DropTicksLimit = 10;

// An orderly close waits for the client to take what is queued; one that never reads is
// reset instead of held forever.
constexpr int CloseLimitMs = 2000;

void resetOnClose(qintptr descriptor)
{
#ifdef Q_OS_UNIX
    // A zero linger makes the close send RST instead of FIN.
    const linger abortive{1, 0};
    ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
#else
    Q_UNUSED(descriptor)
#endif
}

} // namespace

ChaosClient::ChaosClient(QTcpSocket* socket, quint32 seed, ChaosStats* stats, QObject* parent)
    : QObject(parent), m_socket(socket), m_stats(stats), m_random(seed)
{
    m_socket->setParent(this);
    // Every write goes out as it is, so cut lines really arrive in pieces.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(64 * 1024);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { m_socket->readAll(); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ChaosClient::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &ChaosClient::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            finish();
        }
    });
    connect(&m_timer, &QTimer::timeout, this, &ChaosClient::onTick);
    m_closeLimit.setSingleShot(true);
    m_closeLimit.setInterval(CloseLimitMs);
    connect(&m_closeLimit, &QTimer::timeout, this, [this] {
        resetOnClose(m_socket->socketDescriptor());
        m_socket->abort();
        finish();
    });
}

ChaosClient::~ChaosClient()
{
    // The socket may still report its end while it is torn down.
    m_socket->disconnect(this);
}

qint64 ChaosClient::unsentBytes() const
{
    return m_socket->bytesToWrite();
}

void ChaosClient::setMode(ChaosMode mode, int generation)
{
    if (m_finished) {
        return;
    }
    m_mode = mode;
    m_generation = generation;
    m_timer.stop();
    m_timer.setSingleShot(false);
    m_timer.setTimerType(Qt::CoarseTimer);
    m_pieces.clear();

    switch (mode) {
    case ChaosMode::Normal:
    case ChaosMode::Drop:
        m_ticksLeft = 1 + int(m_random.bounded(DropTicksLimit));
        sendSteady();
        m_timer.start(SteadyTickMs);
        break;
    case ChaosMode::Flood:
    case ChaosMode::Huge:
        refill();
        break;
    case ChaosMode::Cut:
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.start(CutTickMs);
        break;
    case ChaosMode::Binary:
        m_timer.start(BinaryTickMs);
        break;
    case ChaosMode::Reset: {
        const int whole = int(m_random.bounded(4));
        for (int i = 0; i < whole; ++i) {
            queue(ChaosLines::timeLine(++m_seconds), 1);
        }
        const QByteArray title = "Reset " + QByteArray::number(m_generation);
        queue(ChaosLines::partialLine(title, m_random), 0);
        m_socket->flush();
        m_timer.setSingleShot(true);
        m_timer.start(int(m_random.bounded(ResetDelayLimitMs + 1)));
        break;
    }
    case ChaosMode::Silent:
        break;
    case ChaosMode::Backlog:
        // A full accept queue says nothing to a connection that is already through it.
        drop(true);
        break;
    }
}

void ChaosClient::onTick()
{
    switch (m_mode) {
    case ChaosMode::Normal:
        sendSteady();
        break;
    case ChaosMode::Drop:
        sendSteady();
        if (--m_ticksLeft <= 0) {
            if (m_random.bounded(2) == 0) {
                queue(ChaosLines::partialLine("Dropped", m_random), 0);
                m_socket->flush();
            }
            drop(m_random.bounded(2) == 0);
        }
        break;
    case ChaosMode::Cut:
        sendCutPiece();
        break;
    case ChaosMode::Binary: {
        const int count = 1 + int(m_random.bounded(4));
        for (int i = 0; i < count; ++i) {
            queue(ChaosLines::binaryLine(m_random), 1);
        }
        break;
    }
    case ChaosMode::Reset:
        drop(m_random.bounded(2) == 0);
        break;
    default:
        break;
    }
}

void ChaosClient::onBytesWritten(qint64 bytes)
{
    m_stats->bytes += quint64(bytes);
    if (m_mode == ChaosMode::Flood || m_mode == ChaosMode::Huge) {
        refill();
    }
}

void ChaosClient::refill()
{
    while (!m_finished && m_socket->state() == QAbstractSocket::ConnectedState) {
        if (m_mode == ChaosMode::Flood && m_socket->bytesToWrite() < FloodLowMark) {
            int lines = 0;
            const QByteArray batch = ChaosLines::floodBatch(&m_serial, FloodBatchBytes, &lines);
            queue(batch, lines);
        } else if (m_mode == ChaosMode::Huge && m_socket->bytesToWrite() < HugeLowMark) {
            const bool ended = m_random.bounded(3) != 0;
            queue(ChaosLines::hugeLine(m_random, ended), 1);
            if (!ended && m_random.bounded(4) == 0) {
                // The line stays open at the client: nothing more comes on this connection.
                drop(false);
            }
        } else {
            return;
        }
    }
}

void ChaosClient::sendSteady()
{
    if (m_seconds % TitleEveryTicks == 0) {
        const QByteArray title =
            "Steady " + QByteArray::number(m_generation) + '.' + QByteArray::number(m_serial++);
        queue(ChaosLines::titleLine(title) + ChaosLines::modeLine(m_serial % 2 != 0), 2);
    }
    queue(ChaosLines::timeLine(m_seconds++), 1);
}

void ChaosClient::sendCutPiece()
{
    if (m_pieces.isEmpty()) {
        QByteArray lines = ChaosLines::timeLine(m_seconds);
        int count = 1;
        if (m_seconds % 3 == 0) {
            const QByteArray title =
                "Cut " + QByteArray::number(m_generation) + '.' + QByteArray::number(m_serial++);
            lines.prepend(ChaosLines::titleLine(title));
            ++count;
        }
        ++m_seconds;
        m_pieces = ChaosLines::cutPieces(lines, m_random);
        m_stats->lines += quint64(count);
    }
    m_socket->write(m_pieces.takeFirst());
    m_socket->flush();
}

void ChaosClient::queue(const QByteArray& bytes, int lines)
{
    m_stats->lines += quint64(lines);
    m_socket->write(bytes);
}

void ChaosClient::drop(bool reset)
{
    if (m_finished) {
        return;
    }
    ++m_stats->drops;
    m_timer.stop();
    if (reset) {
        resetOnClose(m_socket->socketDescriptor());
        m_socket->abort();
        finish();
        return;
    }
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_closeLimit.start();
    }
}

void ChaosClient::finish()
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_timer.stop();
    m_closeLimit.stop();
    Q_EMIT finished();
    deleteLater();
}

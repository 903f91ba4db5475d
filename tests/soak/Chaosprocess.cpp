#include "Chaosprocess.h"

#include <QDeadlineTimer>

namespace {

constexpr int AnswerLimitMs = 10000;
constexpr int LifetimeSeconds = 300;

quint64 field(const QByteArray& line, const char* name)
{
    const QByteArray key = QByteArray(name) + '=';
    const qsizetype at = line.indexOf(key);
    if (at < 0) {
        return 0;
    }
    const qsizetype start = at + key.size();
    qsizetype end = line.indexOf(' ', start);
    if (end < 0) {
        end = line.size();
    }
    return line.mid(start, end - start).trimmed().toULongLong();
}

} // namespace

ChaosProcess::ChaosProcess(const QString& mode, quint32 seed) : m_mode(mode), m_seed(seed)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ChaosProcess::~ChaosProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(AnswerLimitMs);
    }
}

bool ChaosProcess::start()
{
    m_process.start(QStringLiteral(DAS_CHAOS_EXECUTABLE),
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--mode"),
                     m_mode, QStringLiteral("--seed"), QString::number(m_seed),
                     QStringLiteral("--max-seconds"), QString::number(LifetimeSeconds)});
    if (!m_process.waitForStarted(AnswerLimitMs)) {
        return false;
    }
    const QByteArray line = nextLine("listening on 127.0.0.1:");
    m_port = quint16(line.mid(line.lastIndexOf(':') + 1).trimmed().toUInt());
    return m_port != 0;
}

bool ChaosProcess::setMode(const QString& mode)
{
    return !ask("mode " + mode.toLatin1(), "mode ").isEmpty();
}

ChaosStats ChaosProcess::stats()
{
    const QByteArray line = ask("stats", "stats ");
    ChaosStats stats;
    stats.connections = field(line, "connections");
    stats.drops = field(line, "drops");
    stats.lines = field(line, "lines");
    stats.bytes = field(line, "bytes");
    return stats;
}

QByteArray ChaosProcess::ask(const QByteArray& command, const QByteArray& prefix)
{
    m_process.write(command + '\n');
    m_process.waitForBytesWritten(AnswerLimitMs);
    return nextLine(prefix);
}

QByteArray ChaosProcess::nextLine(const QByteArray& prefix)
{
    const QDeadlineTimer deadline(AnswerLimitMs);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith(prefix)) {
                return line;
            }
            if (line.startsWith("error:")) {
                return {};
            }
        }
        if (!m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
    }
    return {};
}

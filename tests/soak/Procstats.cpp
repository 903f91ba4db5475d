#include "Procstats.h"

#include <QDir>
#include <QFile>

namespace ProcStats {

int threads(const QString& pid)
{
    return int(QDir(QStringLiteral("/proc/%1/task").arg(pid))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

int descriptors(const QString& pid)
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::Files).size());
}

qint64 residentKiB(const QString& pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // Read whole: files in /proc claim a size of 0, so atEnd() can't be trusted. The file
    // is a few dozen short lines.
    const QList<QByteArray> lines = status.read(64 * 1024).split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
        }
    }
    return -1;
}

} // namespace ProcStats

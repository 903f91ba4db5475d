#pragma once

#include <QString>
#include <QtGlobal>

// What a process holds, read from /proc: "self" or a process id.
namespace ProcStats {

int threads(const QString& pid = QStringLiteral("self"));
int descriptors(const QString& pid = QStringLiteral("self"));
// VmRSS in KiB; -1 when the process is gone.
qint64 residentKiB(const QString& pid = QStringLiteral("self"));

} // namespace ProcStats

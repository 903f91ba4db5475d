#pragma once

#include <QString>
#include <QtGlobal>

// What a process holds, read from /proc: "self" or a process id.
namespace ProcStats {

int threads(const QString& pid = QStringLiteral("self"));
int descriptors(const QString& pid = QStringLiteral("self"));
// VmRSS in KiB; -1 when the process is gone.
qint64 residentKiB(const QString& pid = QStringLiteral("self"));

// Whether resident memory says anything about leaks here. AddressSanitizer holds freed
// memory back in its quarantine, so under it RSS grows by design; its leak checker watches
// for leaks there instead.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool residentMemoryIsMeaningful = false;
#else
inline constexpr bool residentMemoryIsMeaningful = true;
#endif

} // namespace ProcStats

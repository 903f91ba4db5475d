#include "Procstats.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

// The same figures on Windows: threads from a snapshot of the system's threads, handles in
// place of descriptors, the working set in place of VmRSS.
namespace ProcStats {

namespace {

DWORD processId(const QString& pid)
{
    return pid == QStringLiteral("self") ? GetCurrentProcessId() : DWORD(pid.toULong());
}

// An open process handle, closed when it goes out of scope; null when the process is gone.
struct Process final
{
    explicit Process(const QString& pid)
        : handle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId(pid)))
    {
    }
    ~Process()
    {
        if (handle)
            CloseHandle(handle);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    HANDLE handle;
};

} // namespace

int threads(const QString& pid)
{
    const DWORD id = processId(pid);
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == id ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

int descriptors(const QString& pid)
{
    const Process process(pid);
    DWORD count = 0;
    return process.handle && GetProcessHandleCount(process.handle, &count) ? int(count) : 0;
}

qint64 residentKiB(const QString& pid)
{
    const Process process(pid);
    PROCESS_MEMORY_COUNTERS counters{};
    if (!process.handle || !GetProcessMemoryInfo(process.handle, &counters, sizeof counters))
        return -1;
    return qint64(counters.WorkingSetSize / 1024);
}

} // namespace ProcStats

#include "Backlogfiller.h"

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Far above any accept queue Qt asks for; only a limit on a system that never stalls.
constexpr int FillerLimit = 1024;
// A handshake on loopback completes at once when there is room; one still pending after
// this look has been dropped.
constexpr int StallLookMs = 100;

} // namespace

BacklogFiller::~BacklogFiller()
{
    release();
}

bool BacklogFiller::fill(quint16 port)
{
#ifdef Q_OS_UNIX
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    while (!m_full && int(m_fillers.size()) < FillerLimit) {
        const int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (filler < 0) {
            return false;
        }
        m_fillers.push_back(filler);
        if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            continue;
        }
        pollfd pending{filler, POLLOUT, 0};
        m_full = poll(&pending, 1, StallLookMs) == 0;
    }
    return m_full;
#else
    Q_UNUSED(port)
    return false;
#endif
}

void BacklogFiller::release()
{
#ifdef Q_OS_UNIX
    for (int filler : m_fillers) {
        ::close(filler);
    }
#endif
    m_fillers.clear();
    m_full = false;
}

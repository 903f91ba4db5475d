#include "Stalledlistener.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {

#ifdef _WIN32
using Length = int;

NativeSocket nonBlockingSocket()
{
    const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    if (handle != INVALID_SOCKET)
        ioctlsocket(handle, FIONBIO, &on);
    return NativeSocket(handle);
}

bool stillPending(NativeSocket handle)
{
    WSAPOLLFD pending{SOCKET(handle), POLLWRNORM, 0};
    return WSAPoll(&pending, 1, 200) == 0;
}
#else
using Length = socklen_t;

NativeSocket nonBlockingSocket()
{
    return socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
}

bool stillPending(NativeSocket handle)
{
    pollfd pending{int(handle), POLLOUT, 0};
    return poll(&pending, 1, 200) == 0;
}
#endif

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// True when a fresh non-blocking connect is still pending after a short look.
bool connectStalls(std::uint16_t port, NativeSocket* filler)
{
    *filler = nonBlockingSocket();
    sockaddr_in address = loopback(port);
    connect(*filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return stillPending(*filler);
}

} // namespace

// Each listener holds a start-up of the sockets library of its own for its lifetime.
StalledListener::StalledListener() : m_networkStarted(startSockets())
{
    m_listener = NativeSocket(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = loopback(0);
    Length length = sizeof address;
    if (m_listener == InvalidSocket ||
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 0) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    // Fill the queue until a connect hangs; the kernel then drops further handshakes.
    for (NativeSocket& filler : m_fillers) {
        if (connectStalls(m_port, &filler)) {
            m_ready = true;
            return;
        }
    }
}

StalledListener::~StalledListener()
{
    for (const NativeSocket filler : m_fillers) {
        if (filler != InvalidSocket)
            closeSocket(filler);
    }
    if (m_listener != InvalidSocket)
        closeSocket(m_listener);
    if (m_networkStarted)
        stopSockets();
}

#include "Stalledlistener.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using Handle = SOCKET;
using Length = int;
constexpr Handle noSocket = INVALID_SOCKET;

// Winsock counts its start-ups; each listener takes one of its own for its lifetime.
bool startNetwork()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void stopNetwork()
{
    WSACleanup();
}
Handle nonBlockingSocket()
{
    Handle handle = socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    if (handle != noSocket)
        ioctlsocket(handle, FIONBIO, &on);
    return handle;
}
bool stillPending(Handle handle)
{
    WSAPOLLFD pending{handle, POLLWRNORM, 0};
    return WSAPoll(&pending, 1, 200) == 0;
}
void closeHandle(Handle handle)
{
    closesocket(handle);
}
#else
using Handle = int;
using Length = socklen_t;
constexpr Handle noSocket = -1;

bool startNetwork()
{
    return true;
}
void stopNetwork() {}
Handle nonBlockingSocket()
{
    return socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
}
bool stillPending(Handle handle)
{
    pollfd pending{handle, POLLOUT, 0};
    return poll(&pending, 1, 200) == 0;
}
void closeHandle(Handle handle)
{
    close(handle);
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
bool connectStalls(std::uint16_t port, std::intptr_t* filler)
{
    const Handle handle = nonBlockingSocket();
    *filler = std::intptr_t(handle);
    sockaddr_in address = loopback(port);
    connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return stillPending(handle);
}

} // namespace

StalledListener::StalledListener() : m_networkStarted(startNetwork())
{
    const Handle listener = socket(AF_INET, SOCK_STREAM, 0);
    m_listener = std::intptr_t(listener);
    sockaddr_in address = loopback(0);
    Length length = sizeof address;
    if (listener == noSocket ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 0) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    // Fill the queue until a connect hangs; the kernel then drops further handshakes.
    for (std::intptr_t& filler : m_fillers) {
        if (connectStalls(m_port, &filler)) {
            m_ready = true;
            return;
        }
    }
}

StalledListener::~StalledListener()
{
    for (const std::intptr_t filler : m_fillers) {
        if (Handle(filler) != noSocket)
            closeHandle(Handle(filler));
    }
    if (Handle(m_listener) != noSocket)
        closeHandle(Handle(m_listener));
    if (m_networkStarted)
        stopNetwork();
}

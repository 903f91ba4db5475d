#include "Netutil.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using PollFd = WSAPOLLFD;
#else
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using PollFd = pollfd;
#endif

#include <cstring>

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;

// How often a pending connect looks at its stop request. A shutdown wakes the wait at
// once; the slice only covers a stop that lands just before the connect begins.
constexpr int ConnectSliceMs = 250;

bool setBlocking(NativeSocket socket, bool blocking)
{
#ifdef _WIN32
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking) == 0;
#else
    const int fd = static_cast<int>(socket);
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    return fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
#endif
}

bool connectInProgress()
{
#ifdef _WIN32
    return WSAGetLastError() == WSAEWOULDBLOCK;
#else
    return errno == EINPROGRESS || errno == EINTR;
#endif
}

int pollOnce(PollFd* fd, int timeoutMs)
{
#ifdef _WIN32
    return WSAPoll(fd, 1, timeoutMs);
#else
    int result;
    do {
        result = poll(fd, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result;
#endif
}

int pendingError(NativeSocket socket)
{
    int error = 0;
#ifdef _WIN32
    int length = sizeof error;
    if (getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_ERROR,
                   reinterpret_cast<char*>(&error), &length) != 0) {
        return -1;
    }
#else
    socklen_t length = sizeof error;
    if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return -1;
    }
#endif
    return error;
}

} // namespace

void startSockets()
{
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
#else
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void stopSockets()
{
#ifdef _WIN32
    WSACleanup();
#endif
}

bool parseDottedAddress(const char* name, std::uint32_t* address)
{
    // inet_addr rather than inet_pton: it also takes the short and octal forms ("127.1")
    // that users of the old program may have stored.
    *address = inet_addr(name);
    return *address != AllOnes && *address != 0;
}

bool ResolveHost(const char* name, std::uint32_t* address)
{
    std::uint32_t result = 0;
    if (!parseDottedAddress(name, &result)) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(name, nullptr, &hints, &found) == 0 && found != nullptr) {
            sockaddr_in first{};
            std::memcpy(&first, found->ai_addr, sizeof first);
            result = first.sin_addr.s_addr;
            freeaddrinfo(found);
        }
    }
    *address = result;
    return result != AllOnes && result != 0;
}

NativeSocket openStreamSocket()
{
#ifdef _WIN32
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? InvalidSocket : static_cast<NativeSocket>(s);
#else
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? InvalidSocket : fd;
#endif
}

ConnectResult connectSocket(NativeSocket socket, std::uint32_t address, std::uint16_t port,
                            const std::function<bool()>& stopRequested)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;

    if (!setBlocking(socket, false)) {
        return ConnectResult::Failed;
    }
    const auto* raw = reinterpret_cast<const sockaddr*>(&target);
#ifdef _WIN32
    const int started = connect(static_cast<SOCKET>(socket), raw, sizeof target);
#else
    const int started = connect(static_cast<int>(socket), raw, sizeof target);
#endif
    if (started != 0) {
        if (!connectInProgress()) {
            return ConnectResult::Failed;
        }
        PollFd pending{};
#ifdef _WIN32
        pending.fd = static_cast<SOCKET>(socket);
#else
        pending.fd = static_cast<int>(socket);
#endif
        pending.events = POLLOUT;
        for (;;) {
            if (stopRequested()) {
                return ConnectResult::Stopped;
            }
            pending.revents = 0;
            const int ready = pollOnce(&pending, ConnectSliceMs);
            if (ready < 0) {
                return ConnectResult::Failed;
            }
            if (ready > 0) {
                break;
            }
        }
        if (pendingError(socket) != 0) {
            return stopRequested() ? ConnectResult::Stopped : ConnectResult::Failed;
        }
    }
    if (!setBlocking(socket, true)) {
        return ConnectResult::Failed;
    }
    return ConnectResult::Connected;
}

std::int64_t receiveBytes(NativeSocket socket, char* buffer, int size)
{
#ifdef _WIN32
    return recv(static_cast<SOCKET>(socket), buffer, size, 0);
#else
    ssize_t received;
    do {
        received = recv(static_cast<int>(socket), buffer, static_cast<size_t>(size), 0);
    } while (received < 0 && errno == EINTR);
    return received;
#endif
}

std::int64_t sendBytes(NativeSocket socket, const char* data, int size)
{
#ifdef _WIN32
    // Commands are a few bytes: a full send buffer would take thousands of unread commands.
    return send(static_cast<SOCKET>(socket), data, size, 0);
#else
    return send(static_cast<int>(socket), data, static_cast<size_t>(size),
                MSG_NOSIGNAL | MSG_DONTWAIT);
#endif
}

int shutdownSocket(NativeSocket socket)
{
#ifdef _WIN32
    return shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
    return shutdown(static_cast<int>(socket), SHUT_RDWR);
#endif
}

int closeSocket(NativeSocket socket)
{
#ifdef _WIN32
    return closesocket(static_cast<SOCKET>(socket));
#else
    return close(static_cast<int>(socket));
#endif
}

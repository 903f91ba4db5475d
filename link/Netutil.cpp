#include "Netutil.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// Needs the two above first.
#include <mstcpip.h>
#ifndef TCP_KEEPCNT
#define TCP_KEEPCNT 16
#endif
#else
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;

// How often a wait looks at its stop request. A shutdown wakes a POSIX wait at once; the
// slice covers a stop that lands just before the wait begins, and every stop on Windows.
constexpr int WaitSliceMs = 250;

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

bool watchConnection(NativeSocket socket, const KeepAlive& keepAlive)
{
#ifdef _WIN32
    const auto s = static_cast<SOCKET>(socket);
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = static_cast<ULONG>(keepAlive.idleSeconds) * 1000;
    values.keepaliveinterval = static_cast<ULONG>(keepAlive.intervalSeconds) * 1000;
    DWORD returned = 0;
    if (WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr) != 0) {
        return false;
    }
    // Only Windows 10 version 1703 and later take a count; older ones keep their ten probes,
    // which LinkKeepAlive allows for.
    const DWORD probes = static_cast<DWORD>(keepAlive.probes);
    setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, reinterpret_cast<const char*>(&probes), sizeof probes);
    return true;
#else
    const int fd = static_cast<int>(socket);
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &keepAlive.idleSeconds,
                      sizeof keepAlive.idleSeconds) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &keepAlive.intervalSeconds,
                      sizeof keepAlive.intervalSeconds) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &keepAlive.probes, sizeof keepAlive.probes) ==
               0;
#endif
}

bool wouldBlock()
{
#ifdef _WIN32
    return WSAGetLastError() == WSAEWOULDBLOCK;
#else
    return errno == EINPROGRESS || errno == EINTR;
#endif
}

enum class Readiness
{
    Ready,
    NotYet,
    Failed
};

// Waits up to one slice for the socket to become readable or writable.
Readiness waitFor(NativeSocket socket, bool writing)
{
#ifdef _WIN32
    // select(), not WSAPoll(): before Windows 10 version 2004, WSAPoll never reports an
    // outbound connect that failed. A failed connect shows in the exception set.
    const auto s = static_cast<SOCKET>(socket);
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(s, &wanted);
    FD_SET(s, &failed);
    timeval slice{0, WaitSliceMs * 1000};
    const int ready = writing ? select(0, nullptr, &wanted, &failed, &slice)
                              : select(0, &wanted, nullptr, &failed, &slice);
#else
    pollfd pending{static_cast<int>(socket), static_cast<short>(writing ? POLLOUT : POLLIN), 0};
    int ready;
    do {
        ready = poll(&pending, 1, WaitSliceMs);
    } while (ready < 0 && errno == EINTR);
#endif
    if (ready < 0) {
        return Readiness::Failed;
    }
    return ready > 0 ? Readiness::Ready : Readiness::NotYet;
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

// Without a user time-out, data of ours that goes unanswered holds the probes off, and the
// connection lives through a quarter of an hour of retransmissions. Set only once connected,
// from the keep-alive the socket was opened with: it would also cut a connect short.
bool limitUnansweredData(NativeSocket socket)
{
#ifdef _WIN32
    // Windows gives up on unacknowledged data after its own five retransmissions, well
    // inside the keep-alive's bound.
    (void)socket;
    return true;
#else
    const int fd = static_cast<int>(socket);
    int idle = 0;
    int interval = 0;
    int probes = 0;
    socklen_t length = sizeof idle;
    if (getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length) != 0 ||
        getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &length) != 0 ||
        getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, &length) != 0) {
        return false;
    }
    const unsigned timeoutMs = static_cast<unsigned>(idle + interval * probes) * 1000;
    return setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeoutMs, sizeof timeoutMs) == 0;
#endif
}

} // namespace

bool startSockets()
{
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    // A library that only offers an older version says so here, not by failing.
    if (data.wVersion != MAKEWORD(2, 2)) {
        WSACleanup();
        return false;
    }
    return true;
#else
    std::signal(SIGPIPE, SIG_IGN);
    return true;
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

NativeSocket openStreamSocket(const KeepAlive& keepAlive)
{
#ifdef _WIN32
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        return InvalidSocket;
    }
    const auto result = static_cast<NativeSocket>(s);
    // Non-blocking for good: Winsock has no per-call flag, and switching the mode under a
    // receive in the link thread could make that receive fail.
    const bool ready = setBlocking(result, false);
#else
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return InvalidSocket;
    }
    const NativeSocket result = fd;
    const bool ready = true;
#endif
    if (!ready || !watchConnection(result, keepAlive)) {
        closeSocket(result);
        return InvalidSocket;
    }
    return result;
}

ConnectResult connectSocket(NativeSocket socket, std::uint32_t address, std::uint16_t port,
                            const std::function<bool()>& stopRequested)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;

#ifndef _WIN32
    if (!setBlocking(socket, false)) {
        return ConnectResult::Failed;
    }
#endif
    const auto* raw = reinterpret_cast<const sockaddr*>(&target);
#ifdef _WIN32
    const int started = connect(static_cast<SOCKET>(socket), raw, sizeof target);
#else
    const int started = connect(static_cast<int>(socket), raw, sizeof target);
#endif
    if (started != 0) {
        if (!wouldBlock()) {
            return ConnectResult::Failed;
        }
        for (;;) {
            if (stopRequested()) {
                return ConnectResult::Stopped;
            }
            const Readiness readiness = waitFor(socket, true);
            if (readiness == Readiness::Failed) {
                return ConnectResult::Failed;
            }
            if (readiness == Readiness::Ready) {
                break;
            }
        }
        if (pendingError(socket) != 0) {
            return stopRequested() ? ConnectResult::Stopped : ConnectResult::Failed;
        }
    }
    // A stop whose shutdown reached the socket before the connection was made has not woken
    // anything and never will: it counts only if it is looked at here.
    if (stopRequested()) {
        return ConnectResult::Stopped;
    }
#ifndef _WIN32
    if (!setBlocking(socket, true)) {
        return ConnectResult::Failed;
    }
#endif
    return limitUnansweredData(socket) ? ConnectResult::Connected : ConnectResult::Failed;
}

std::int64_t receiveBytes(NativeSocket socket, char* buffer, int size,
                          const std::function<bool()>& stopRequested)
{
    if (stopRequested()) {
        return 0;
    }
#ifdef _WIN32
    const auto s = static_cast<SOCKET>(socket);
    for (;;) {
        const Readiness readiness = waitFor(socket, false);
        if (readiness == Readiness::Failed) {
            return -1;
        }
        if (readiness == Readiness::Ready) {
            const int received = recv(s, buffer, size, 0);
            if (received >= 0 || !wouldBlock()) {
                return received;
            }
        }
        if (stopRequested()) {
            return 0;
        }
    }
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
    // The socket is non-blocking (see openStreamSocket()).
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

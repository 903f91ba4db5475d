// The sockets seam, built as a Linux test and as a Windows program (run under wine by
// tools/cross-windows.sh). Plain C++, as the cross compiler has no Qt. One line per check; the
// exit code counts failures. A wait that never ends is a failure too: whoever runs this
// bounds it.
#include "Netutil.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include "Stalledlistener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

namespace {

int failures = 0;

void check(bool passed, const char* what)
{
    std::printf("%s: %s\n", passed ? "PASS" : "FAIL", what);
    std::fflush(stdout);
    failures += passed ? 0 : 1;
}

const auto never = [] { return false; };
const std::uint32_t loopback = htonl(INADDR_LOOPBACK);

using RawSocket = decltype(::socket(AF_INET, SOCK_STREAM, 0));

// A listener on 127.0.0.1, on a port of the system's choosing.
struct Listener
{
    RawSocket socket = ::socket(AF_INET, SOCK_STREAM, 0);
    std::uint16_t port = 0;

    Listener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = loopback;
        socklen_t length = sizeof address;
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket, SOMAXCONN);
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Listener() { closeSocket(static_cast<NativeSocket>(socket)); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // A connection to the listener, and the listener's end of it (InvalidSocket on failure).
    std::pair<NativeSocket, NativeSocket> connection() const
    {
        const NativeSocket client = openStreamSocket(LinkKeepAlive);
        const bool connected =
            connectSocket(client, loopback, port, never) == ConnectResult::Connected;
        return {client, connected ? static_cast<NativeSocket>(accept(socket, nullptr, nullptr))
                                  : InvalidSocket};
    }
};

void resolveHost()
{
    const struct
    {
        const char* name;
        bool usable;
        std::uint32_t address;
    } cases[] = {
        {"127.0.0.1", true, loopback},
        {"127.1", true, loopback},
        {"localhost", true, loopback},
        // Fails inside the resolver library without asking any name server.
        {"a..b", false, 0xFFFFFFFF},
        // Looked up rather than taken as they are, and still unusable.
        {"255.255.255.255", false, 0xFFFFFFFF},
        {"0.0.0.0", false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t address = 12345;
        const std::string what = std::string("\"") + c.name + "\" " +
                                 (c.usable ? "resolves to 127.0.0.1" : "is unusable");
        check(ResolveHost(c.name, &address) == c.usable && address == c.address, what.c_str());
    }
}

void stopsEndWaits(const Listener& listener)
{
    const auto [receiving, silentPeer] = listener.connection();
    check(silentPeer != InvalidSocket, "a connect to a loopback listener succeeds");
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> received{-2};
    std::thread receiver([&, socket = receiving] {
        char buffer[16];
        received = receiveBytes(socket, buffer, sizeof buffer, [&] { return stop.load(); });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool wasBlocked = received == -2;
    stop = true;
    const int shutdownResult = shutdownSocket(receiving);
    receiver.join();
    check(wasBlocked && shutdownResult == 0 && received == 0 && closeSocket(receiving) == 0,
          "a stop from another thread wakes a blocked receive, and the socket then closes");
    closeSocket(silentPeer);

    // A stop that came before the connection was made, or before the receive began, is seen
    // without a shutdown to wake anything.
    {
        // Its own listener: the connection made before the stop stays queued there.
        const Listener own;
        const NativeSocket connecting = openStreamSocket(LinkKeepAlive);
        int looks = 0;
        check(connectSocket(connecting, loopback, own.port, [&] { return ++looks > 1; }) ==
                  ConnectResult::Stopped,
              "a stop asked for while the connect was under way ends it");
        closeSocket(connecting);
    }
    const auto [connected, peer] = listener.connection();
    char buffer[16];
    check(receiveBytes(connected, buffer, sizeof buffer, [] { return true; }) == 0,
          "a receive with a stop already asked for returns at once");
    closeSocket(connected);
    closeSocket(peer);
}

#ifndef _WIN32
void stopEndsAPendingConnect()
{
    StalledListener stalled;
    const NativeSocket pending = openStreamSocket(LinkKeepAlive);
    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    std::thread connector([&] {
        result = static_cast<int>(
            connectSocket(pending, loopback, stalled.port(), [&] { return stop.load(); }));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool wasPending = result == -1;
    stop = true;
    shutdownSocket(pending);
    connector.join();
    check(stalled.isReady() && wasPending && result == static_cast<int>(ConnectResult::Stopped),
          "a connect to a server that has hung ends when stopped");
    closeSocket(pending);
}
#endif

// Sends until one fails (true) or the attempts run out.
bool sendsFail(NativeSocket socket, const std::string& chunk, int attempts)
{
    std::int64_t result = 0;
    for (int attempt = 0; attempt < attempts && result >= 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = sendBytes(socket, chunk.data(), static_cast<int>(chunk.size()));
    }
    return result < 0;
}

void sendWithoutBlocking(const Listener& listener)
{
    const auto [filling, idlePeer] = listener.connection();
    check(sendsFail(filling, std::string(64 * 1024, 'x'), 10000),
          "sends to a peer that does not read fail once buffers are full");
    // On POSIX the sockets library was never started: the send itself must not raise SIGPIPE.
    const auto [sending, peer] = listener.connection();
    closeSocket(peer);
    check(sendsFail(sending, "play\n", 100),
          "a send to a peer that has gone fails without blocking or a signal");
    for (NativeSocket socket : {filling, idlePeer, sending}) {
        closeSocket(socket);
    }
}

} // namespace

int main()
{
#ifdef _WIN32
    check(openStreamSocket(LinkKeepAlive) == InvalidSocket,
          "before the sockets library starts, no socket is made");
    check(startSockets(), "the sockets library starts at version 2.2");
#endif
    resolveHost();
    {
        const std::uint16_t closed = Listener().port;
        const NativeSocket refused = openStreamSocket(LinkKeepAlive);
        check(connectSocket(refused, loopback, closed, never) == ConnectResult::Failed,
              "a connect to a closed loopback port fails");
        closeSocket(refused);
    }
    const Listener listener;
    stopsEndWaits(listener);
#ifndef _WIN32
    stopEndsAPendingConnect();
#endif
    sendWithoutBlocking(listener);
#ifdef _WIN32
    stopSockets();
#endif
    std::printf("%d failed\n", failures);
    return failures;
}

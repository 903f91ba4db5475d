// The Winsock side of the sockets seam, run as a Windows program (under wine on Linux). Plain
// C++, as the cross compiler has no Qt. One line per check; the exit code counts failures. A
// wait that never ends is a failure too: whoever runs this bounds it.
#include "Netutil.h"

#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace {

int failures = 0;

void check(bool passed, const char* what)
{
    std::printf("%s: %s\n", passed ? "PASS" : "FAIL", what);
    std::fflush(stdout);
    failures += passed ? 0 : 1;
}

const auto never = [] { return false; };

// A listener on 127.0.0.1, on a port of the system's choosing.
struct Listener
{
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {}, {}};

    Listener()
    {
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket, 4);
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    }
    ~Listener() { closesocket(socket); }

    ConnectResult connect(NativeSocket client) const
    {
        return connectSocket(client, address.sin_addr.s_addr, ntohs(address.sin_port), never);
    }

    // A connection to the listener, and the listener's end of it.
    std::pair<NativeSocket, SOCKET> connection() const
    {
        const NativeSocket client = openStreamSocket(LinkKeepAlive);
        const bool connected = connect(client) == ConnectResult::Connected;
        return {client, connected ? accept(socket, nullptr, nullptr) : INVALID_SOCKET};
    }
};

} // namespace

int main()
{
    check(openStreamSocket(LinkKeepAlive) == InvalidSocket,
          "before the sockets library starts, no socket is made");
    check(startSockets(), "the sockets library starts at version 2.2");

    const sockaddr_in closed = Listener().address;
    const NativeSocket refused = openStreamSocket(LinkKeepAlive);
    check(connectSocket(refused, closed.sin_addr.s_addr, ntohs(closed.sin_port), never) ==
              ConnectResult::Failed,
          "a connect to a closed loopback port fails");

    const Listener listener;
    const auto [receiving, silentPeer] = listener.connection();
    check(silentPeer != INVALID_SOCKET, "a connect to a loopback listener succeeds");
    std::atomic<bool> stop{false};
    std::atomic<long long> received{-2};
    std::thread receiver([&, socket = receiving] {
        char buffer[16];
        received = receiveBytes(socket, buffer, sizeof buffer, [&] { return stop.load(); });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const bool wasBlocked = received == -2;
    stop = true;
    shutdownSocket(receiving);
    receiver.join();
    check(wasBlocked && received == 0, "a stop from another thread wakes a blocked receive");

    const auto [filling, idlePeer] = listener.connection();
    const std::string chunk(64 * 1024, 'x');
    long long result = 0;
    for (int attempt = 0; attempt < 10000 && result >= 0; ++attempt) {
        result = sendBytes(filling, chunk.data(), static_cast<int>(chunk.size()));
    }
    check(result < 0, "sends to a peer that does not read fail once buffers are full");

    const auto [sending, peer] = listener.connection();
    closesocket(peer);
    result = 0;
    for (int attempt = 0; attempt < 100 && result >= 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = sendBytes(sending, "play\n", 5);
    }
    check(result < 0, "a send to a peer that has gone fails without blocking");
    for (SOCKET socket : {silentPeer, idlePeer}) {
        closesocket(socket);
    }
    for (NativeSocket socket : {refused, receiving, filling, sending}) {
        closeSocket(socket);
    }

    std::uint32_t address = 1;
    check(!ResolveHost("a..b", &address), "\"a..b\" is reported as unresolvable");
    stopSockets();
    std::printf("%d failed\n", failures);
    return failures;
}

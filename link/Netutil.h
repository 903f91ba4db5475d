#pragma once

#include <cstdint>
#include <functional>

// The one seam between the link and the operating system's sockets (BSD sockets, or Winsock
// on Windows). Everything platform-specific about the network stays behind these calls.

using NativeSocket = std::intptr_t;
inline constexpr NativeSocket InvalidSocket = -1;

// Process-wide start-up and clean-up of the sockets library. On POSIX, start-up also makes
// SIGPIPE harmless, so a send to a server that has gone away can never end the program.
void startSockets();
void stopSockets();

// Turns a dotted IPv4 address or a host name into an IPv4 address in network byte order.
// A dotted address is taken as it is; anything else (including the literal all-ones and
// all-zero addresses) is looked up. True when the result is neither all ones nor zero.
// Thread-safe.
bool ResolveHost(const char* name, std::uint32_t* address);

// The first step of ResolveHost alone: true for a usable dotted address, which needs no
// look-up.
bool parseDottedAddress(const char* name, std::uint32_t* address);

NativeSocket openStreamSocket();

enum class ConnectResult
{
    Connected,
    Failed,
    Stopped
};

// Connects to address:port, giving up early once stopRequested() says so. There is no
// time-out of our own: the attempt lasts as long as the system lets it.
ConnectResult connectSocket(NativeSocket socket, std::uint32_t address, std::uint16_t port,
                            const std::function<bool()>& stopRequested);

// One blocking receive; 0 when the peer closed or the socket was shut down, < 0 on error.
std::int64_t receiveBytes(NativeSocket socket, char* buffer, int size);

// One send that never blocks the caller and never raises a signal; the result is the
// system's, a short write is not completed.
std::int64_t sendBytes(NativeSocket socket, const char* data, int size);

// Wakes a receive or connect blocked on the socket in another thread, without closing it.
int shutdownSocket(NativeSocket socket);

int closeSocket(NativeSocket socket);

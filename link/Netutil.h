#pragma once

#include <cstdint>
#include <functional>

// The one seam between the link and the operating system's sockets (BSD sockets, or Winsock
// on Windows). Everything platform-specific about the network stays behind these calls.

using NativeSocket = std::intptr_t;
inline constexpr NativeSocket InvalidSocket = -1;

// Process-wide start-up and clean-up of the sockets library. On POSIX, start-up also makes
// SIGPIPE harmless, so a send to a server that has gone away can never end the program.
// False when the library can't start; no socket can be made then, and every attempt shows
// as one that could not be created. Call stopSockets() only after a start that succeeded.
bool startSockets();
void stopSockets();

// Turns a dotted IPv4 address or a host name into an IPv4 address in network byte order.
// A dotted address is taken as it is; anything else (including the literal all-ones and
// all-zero addresses) is looked up. True when the result is neither all ones nor zero.
// Thread-safe.
bool ResolveHost(const char* name, std::uint32_t* address);

// The first step of ResolveHost alone: true for a usable dotted address, which needs no
// look-up.
bool parseDottedAddress(const char* name, std::uint32_t* address);

// How the system watches a connection whose peer may vanish without a word (power lost, cable
// pulled): after idleSeconds without a byte from the peer it sends an empty probe every
// intervalSeconds, and once that many probes go unanswered the connection ends with an error.
// The probes carry no data, so the server's protocol sees nothing of them. Data of ours that
// goes unacknowledged ends the connection after the same total.
struct KeepAlive
{
    int idleSeconds;
    int intervalSeconds;
    int probes;
};

// A vanished server is noticed about 35 s after its last byte; on Windows before 10 version
// 1703, which takes no probe count and always sends ten, about 55 s.
inline constexpr KeepAlive LinkKeepAlive{15, 4, 5};

// An IPv4 stream socket that watches its connection as keepAlive says, ready for
// connectSocket(). InvalidSocket when the system can't make or set up one.
NativeSocket openStreamSocket(const KeepAlive& keepAlive);

enum class ConnectResult
{
    Connected,
    Failed,
    Stopped
};

// Connects to address:port, giving up early once stopRequested() says so, also when the stop
// came just as the connection was made. There is no time-out of our own: the attempt lasts
// as long as the system lets it.
ConnectResult connectSocket(NativeSocket socket, std::uint32_t address, std::uint16_t port,
                            const std::function<bool()>& stopRequested);

// One blocking receive; 0 when the peer closed, the socket was shut down or stopRequested()
// says so, < 0 on error (among them a connection the keep-alive found dead). A stop must be
// requested before the shutdown that is to wake the receive.
std::int64_t receiveBytes(NativeSocket socket, char* buffer, int size,
                          const std::function<bool()>& stopRequested);

// One send that never blocks the caller and never raises a signal; the result is the
// system's, a short write is not completed.
std::int64_t sendBytes(NativeSocket socket, const char* data, int size);

// Wakes a receive or connect blocked on the socket in another thread, without closing it. On
// Windows the stop request does the waking, within a quarter of a second: Winsock's shutdown
// is not known to wake a waiting thread.
int shutdownSocket(NativeSocket socket);

int closeSocket(NativeSocket socket);

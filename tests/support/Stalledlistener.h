#pragma once

#include "Netutil.h"

#include <cstdint>

// A listening socket on 127.0.0.1 whose accept queue is full and never drained: a further
// connect to it neither succeeds nor fails for a long time, as with a server that has hung.
class StalledListener final
{
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    bool isReady() const { return m_ready; }
    std::uint16_t port() const { return m_port; }

private:
    NativeSocket m_listener = InvalidSocket;
    NativeSocket m_fillers[4] = {InvalidSocket, InvalidSocket, InvalidSocket, InvalidSocket};
    bool m_networkStarted = false;
    std::uint16_t m_port = 0;
    bool m_ready = false;
};

#include "Stalledlistener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// True when a fresh non-blocking connect is still pending after a short look.
bool connectStalls(std::uint16_t port, int* filler)
{
    *filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address = loopback(port);
    connect(*filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    pollfd pending{*filler, POLLOUT, 0};
    return poll(&pending, 1, 200) == 0;
}

} // namespace

StalledListener::StalledListener()
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 0) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    // Fill the queue until a connect hangs; the kernel then drops further handshakes.
    for (int& filler : m_fillers) {
        if (connectStalls(m_port, &filler)) {
            m_ready = true;
            return;
        }
    }
}

StalledListener::~StalledListener()
{
    for (int filler : m_fillers) {
        if (filler >= 0) {
            close(filler);
        }
    }
    if (m_listener >= 0) {
        close(m_listener);
    }
}

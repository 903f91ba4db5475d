#include "Quitsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#if defined(Q_OS_UNIX)
namespace {

// The handler may only do async-signal-safe work, so it writes one byte into a
// pipe and the event loop does the rest (the usual self-pipe trick).
int quitPipe[2] = {-1, -1};

extern "C" void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(quitPipe[1], &byte, 1);
}

bool installHandlers()
{
    if (::pipe(quitPipe) != 0)
        return false;
    for (int fd : quitPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    // A burst of signals must never block the handler on a full pipe.
    ::fcntl(quitPipe[1], F_SETFL, O_NONBLOCK);

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace
#endif

QuitSignal::QuitSignal(QObject* parent) : QObject(parent)
{
#if defined(Q_OS_UNIX)
    if (!installHandlers())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(quitPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &QuitSignal::onSignalled);
#endif
}

QuitSignal::~QuitSignal()
{
#if defined(Q_OS_UNIX)
    if (m_notifier) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
#endif
}

void QuitSignal::onSignalled()
{
#if defined(Q_OS_UNIX)
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(quitPipe[0], &byte, 1);
#endif
    QCoreApplication::quit();
}

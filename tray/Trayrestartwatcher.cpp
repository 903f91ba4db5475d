#include "Trayrestartwatcher.h"

#include "Trayhosts.h"

#include <QCoreApplication>
#include <QTimer>

#ifdef _WIN32
#include <windows.h>
#endif

TrayRestartWatcher::TrayRestartWatcher(std::function<void()> onRestart)
    : m_onRestart(std::move(onRestart))
{
#ifdef _WIN32
    m_restartMessage = RegisterWindowMessageW(L"TaskbarCreated");
#endif
    if (m_restartMessage != 0) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    connect(&TrayHosts::instance(), &TrayHosts::appeared, this,
            &TrayRestartWatcher::onHostAppeared);
}

TrayRestartWatcher::~TrayRestartWatcher()
{
    if (m_restartMessage != 0 && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

void TrayRestartWatcher::onHostAppeared()
{
    // Later, from the event loop, and only while this watcher (and so its owner) still lives.
    QTimer::singleShot(0, this, [this] { m_onRestart(); });
}

bool TrayRestartWatcher::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* result)
{
    bool restarted = false;
#ifdef _WIN32
    if (eventType == "windows_generic_MSG") {
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message == m_restartMessage) {
            *result = 1;
            restarted = true;
        }
    }
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
#endif
    if (restarted) {
        // After Qt has seen the new area itself; the event goes on to it unchanged.
        onHostAppeared();
    }
    return false;
}

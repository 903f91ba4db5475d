#include "Trayrestartwatcher.h"

#include "Trayhosts.h"

#include <QCoreApplication>
#include <QTimer>

#ifdef _WIN32
#include <windows.h>
#elif defined(BRINDORA_HAVE_XCB)
#include <xcb/xcb.h>
#endif
#ifdef BRINDORA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#endif

TrayRestartWatcher::TrayRestartWatcher(std::function<void()> onRestart)
    : m_onRestart(std::move(onRestart))
{
#ifdef _WIN32
    m_restartMessage = RegisterWindowMessageW(L"TaskbarCreated");
#else
    m_restartMessage = x11Atom("MANAGER");
    m_trayAtom = x11Atom("_NET_SYSTEM_TRAY_S0");
#endif
    if (m_restartMessage != 0) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
#ifdef BRINDORA_HAVE_DBUS
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* appearing =
            new QDBusServiceWatcher(watcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(appearing, &QDBusServiceWatcher::serviceRegistered, this,
                &TrayRestartWatcher::onHostAppeared);
        bus.connect(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(onHostAppeared()));
    }
#endif
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
#elif defined(BRINDORA_HAVE_XCB)
    Q_UNUSED(result)
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* client = static_cast<const xcb_client_message_event_t*>(message);
            restarted = client->type == m_restartMessage && client->format == 32 &&
                        client->data.data32[1] == m_trayAtom;
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

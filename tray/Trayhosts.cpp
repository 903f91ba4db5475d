#include "Trayhosts.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

#ifdef BRINDORA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#endif
#if !defined(_WIN32) && defined(BRINDORA_HAVE_XCB)
#include <xcb/xcb.h>
#endif

#include <cstdlib>

namespace {

#if !defined(_WIN32) && defined(BRINDORA_HAVE_XCB)
xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
#endif

} // namespace

quint32 x11Atom(const char* name)
{
#if !defined(_WIN32) && defined(BRINDORA_HAVE_XCB)
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return 0;
    }
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const quint32 atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
#else
    Q_UNUSED(name)
    return 0;
#endif
}

bool isStatusNotifierHostRegistered()
{
#ifdef BRINDORA_HAVE_DBUS
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusInterface host(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return host.isValid() && host.property("IsStatusNotifierHostRegistered").toBool();
#else
    return false;
#endif
}

bool isStatusNotifierWatcherRegistered()
{
#ifdef BRINDORA_HAVE_DBUS
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
#else
    return false;
#endif
}

bool hasDesktopTray()
{
#ifdef _WIN32
    // Windows always answers the same, and asking settles nothing there.
    return QSystemTrayIcon::isSystemTrayAvailable();
#elif defined(BRINDORA_HAVE_XCB)
    // A tray manager owns the tray selection of the first screen.
    xcb_connection_t* connection = x11Connection();
    const quint32 selection = x11Atom("_NET_SYSTEM_TRAY_S0");
    if (connection == nullptr || selection == 0) {
        return false;
    }
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply != nullptr && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
#else
    return false;
#endif
}

bool hasNotificationArea()
{
    return isStatusNotifierHostRegistered() || hasDesktopTray();
}

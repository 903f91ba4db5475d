#include "Trayhosts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSystemTrayIcon>

#ifdef BRINDORA_HAVE_DBUS
#include "Statusnotifierwatch.h"
#endif
#ifdef BRINDORA_HAVE_XCB
#include "X11traywatch.h"
#endif

TrayHosts& TrayHosts::instance()
{
    static QPointer<TrayHosts> hosts;
    if (!hosts) {
        hosts = new TrayHosts(QCoreApplication::instance());
    }
    return *hosts;
}

TrayHosts::TrayHosts(QObject* parent) : QObject(parent)
{
#ifdef BRINDORA_HAVE_DBUS
    m_statusNotifier = new StatusNotifierWatch(this);
    connect(m_statusNotifier, &StatusNotifierWatch::changed, this, &TrayHosts::onChanged);
#endif
#ifdef BRINDORA_HAVE_XCB
    m_x11 = new X11TrayWatch(this);
    connect(m_x11, &X11TrayWatch::changed, this, &TrayHosts::onChanged);
#endif
}

void TrayHosts::onChanged()
{
    if (isSettled() && hasNotificationArea()) {
        // After Qt has seen the change itself.
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT appeared(); }, Qt::QueuedConnection);
    } else if (isSettled()) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT gone(); }, Qt::QueuedConnection);
    }
}

bool TrayHosts::isSettled() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->hasAnswered();
#else
    return true;
#endif
}

bool TrayHosts::hasStatusNotifierWatcher() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->isWatcherPresent();
#else
    return false;
#endif
}

bool TrayHosts::hasStatusNotifierHost() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->isHostRegistered();
#else
    return false;
#endif
}

bool TrayHosts::hasDesktopTray() const
{
#ifdef _WIN32
    // Windows always answers the same, and asking settles nothing there.
    return QSystemTrayIcon::isSystemTrayAvailable();
#elif defined(BRINDORA_HAVE_XCB)
    return m_x11->hasTray();
#else
    return false;
#endif
}

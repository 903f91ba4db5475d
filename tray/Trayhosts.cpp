#include "Trayhosts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSystemTrayIcon>

#ifdef BRINDORA_HAVE_DBUS
#include "Statusnotifierwatch.h"
#include "Traychoice.h"
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
    m_choice = new TrayChoice(this);
    connect(m_choice, &TrayChoice::made, this, &TrayHosts::onChoiceMade);
#endif
#ifdef BRINDORA_HAVE_XCB
    m_x11 = new X11TrayWatch(this);
    connect(m_x11, &X11TrayWatch::changed, this, &TrayHosts::onChanged);
#endif
}

void TrayHosts::onChanged()
{
#ifdef BRINDORA_HAVE_DBUS
    // Only once there is somewhere to put the icon, and only where Qt would choose that place:
    // a watcher that says it has a host, but late, would make Qt choose a host it may not
    // be left to ask. Until then a host that comes later may still be chosen.
    if (m_statusNotifier->isKnown() && (m_statusNotifier->isHostRegistered() ||
                                        (hasDesktopTray() && !m_statusNotifier->saysHost()))) {
        m_choice->make();
    }
#endif
    if (isSettled() && canHoldIcon()) {
        // After Qt has seen the change itself.
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT appeared(); }, Qt::QueuedConnection);
    } else if (isSettled()) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT gone(); }, Qt::QueuedConnection);
    }
}

void TrayHosts::onChoiceMade()
{
#ifdef BRINDORA_HAVE_DBUS
    // Qt asked the same watcher as we did, just after us.
    m_choosesStatusNotifier = m_statusNotifier->saysHost();
#endif
    onChanged();
}

bool TrayHosts::isSettled() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->isKnown() && !m_choice->isMaking();
#else
    return true;
#endif
}

bool TrayHosts::isChoiceMade() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_choice->isMade();
#else
    // Without the session bus Qt has only the platform's own tray to choose.
    return true;
#endif
}

bool TrayHosts::choosesStatusNotifier() const
{
    return m_choosesStatusNotifier;
}

bool TrayHosts::canHoldIcon() const
{
    if (!isChoiceMade()) {
        return false;
    }
    return m_choosesStatusNotifier ? hasStatusNotifierHost() : hasDesktopTray();
}

bool TrayHosts::hasStatusNotifierHost() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->isHostRegistered();
#else
    return false;
#endif
}

int TrayHosts::statusNotifierTakeovers() const
{
#ifdef BRINDORA_HAVE_DBUS
    return m_statusNotifier->takeovers();
#else
    return 0;
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

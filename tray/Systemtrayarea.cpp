#include "Systemtrayarea.h"

#include "Trayhosts.h"

#include <QMenu>

SystemTrayArea::SystemTrayArea(QObject* parent) : QObject(parent) {}

SystemTrayArea::~SystemTrayArea() = default;

bool SystemTrayArea::isAvailable() const
{
    const TrayHosts& hosts = TrayHosts::instance();
    if (!m_icon) {
        return hosts.isSettled() && hosts.hasNotificationArea();
    }
    // The icon stays with the kind of host Qt chose for it.
    return m_statusNotifier ? hosts.hasStatusNotifierWatcher() : hosts.hasDesktopTray();
}

bool SystemTrayArea::isSettled() const
{
    return m_icon || TrayHosts::instance().isSettled();
}

bool SystemTrayArea::makeIcon()
{
    if (m_icon) {
        return true;
    }
    // The first icon makes Qt choose, for the rest of the run, between the StatusNotifierItem
    // host and the platform's own tray; it chooses the host exactly when this says there is one.
    // It asks the watcher and waits for the answer, so not before the watcher has answered us:
    // a watcher that never answers leaves the program without an icon rather than frozen.
    const TrayHosts& hosts = TrayHosts::instance();
    if (!hosts.isSettled()) {
        return false;
    }
    m_statusNotifier = hosts.hasStatusNotifierHost();
    if (!m_statusNotifier && !hosts.hasDesktopTray()) {
        return false;
    }
    m_icon = std::make_unique<QSystemTrayIcon>();
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &SystemTrayArea::onActivated);
    if (m_statusNotifier) {
        m_icon->setContextMenu(m_menu);
    }
    return true;
}

void SystemTrayArea::update(const QIcon& icon, const QString& toolTip)
{
    // Every set is announced to a StatusNotifierItem host, changed or not, and the host then
    // reads the whole item again.
    if (icon.cacheKey() != m_icon->icon().cacheKey()) {
        m_icon->setIcon(icon);
    }
    if (toolTip != m_icon->toolTip()) {
        m_icon->setToolTip(toolTip);
    }
}

bool SystemTrayArea::add(const QIcon& icon, const QString& toolTip)
{
    if (!makeIcon()) {
        return false;
    }
    update(icon, toolTip);
    // An icon that is already there stays put rather than being taken out and put back,
    // which would make it jump in the tray at every hide. After a restart of the area Qt
    // embeds or registers a shown icon anew by itself.
    m_icon->show();
    return m_icon->isVisible();
}

bool SystemTrayArea::modify(const QIcon& icon, const QString& toolTip)
{
    if (!makeIcon()) {
        return false;
    }
    update(icon, toolTip);
    if (!m_icon->isVisible()) {
        m_icon->show();
    }
    return true;
}

bool SystemTrayArea::remove()
{
    if (m_icon) {
        m_icon->hide();
    }
    return true;
}

void SystemTrayArea::setMenu(QMenu* menu)
{
    m_menu = menu;
    if (m_icon && m_statusNotifier) {
        m_icon->setContextMenu(menu);
    }
}

void SystemTrayArea::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    int mouseEvent = 0;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        mouseEvent = LeftButtonDown;
        break;
    case QSystemTrayIcon::Context:
        mouseEvent = RightButtonDown;
        break;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        return;
    }
    // Handed on once the platform's call has returned: a host that clicked over D-Bus waits
    // for that call's answer, and a password dialog opened by the click must not hold it.
    QMetaObject::invokeMethod(
        this, [this, mouseEvent] { deliver(mouseEvent); }, Qt::QueuedConnection);
}

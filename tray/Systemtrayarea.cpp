#include "Systemtrayarea.h"

#include "Trayhosts.h"

#include <QMenu>

SystemTrayArea::SystemTrayArea(QObject* parent) : QObject(parent) {}

SystemTrayArea::~SystemTrayArea() = default;

bool SystemTrayArea::isAvailable() const
{
    const TrayHosts& hosts = TrayHosts::instance();
    if (!m_icon) {
        return hosts.isSettled() && hosts.canHoldIcon();
    }
    // The icon stays with the kind of host Qt chose for it.
    return m_statusNotifier ? hosts.hasStatusNotifierHost() : hosts.hasDesktopTray();
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
    // host and the platform's own tray, waiting for the watcher's answers: TrayHosts has it
    // chosen elsewhere first, and says whether the place chosen is there.
    const TrayHosts& hosts = TrayHosts::instance();
    if (!hosts.canHoldIcon()) {
        return false;
    }
    m_statusNotifier = hosts.choosesStatusNotifier();
    m_takeovers = hosts.statusNotifierTakeovers();
    m_icon = std::make_unique<QSystemTrayIcon>();
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &SystemTrayArea::onActivated);
    if (m_statusNotifier) {
        m_icon->setContextMenu(m_menu);
    }
    return true;
}

bool SystemTrayArea::place()
{
    const TrayHosts& hosts = TrayHosts::instance();
    if (m_statusNotifier) {
        // Qt asks the watcher again, and waits for it, when the item starts.
        if (!hosts.hasStatusNotifierHost()) {
            return false;
        }
        // Qt registers the item anew only with a watcher that found the name free; one that
        // took it straight over has never heard of it, and showing a shown icon does nothing.
        if (isStale()) {
            m_takeovers = hosts.statusNotifierTakeovers();
            m_icon->hide();
        }
    }
    m_icon->show();
    return m_icon->isVisible();
}

bool SystemTrayArea::isStale() const
{
    return m_statusNotifier && m_takeovers != TrayHosts::instance().statusNotifierTakeovers();
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
    return place();
}

bool SystemTrayArea::modify(const QIcon& icon, const QString& toolTip)
{
    if (!makeIcon()) {
        return false;
    }
    update(icon, toolTip);
    if (!m_icon->isVisible() || isStale()) {
        place();
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

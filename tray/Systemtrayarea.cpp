#include "Systemtrayarea.h"

SystemTrayArea::SystemTrayArea(QObject* parent) : QObject(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayArea::onActivated);
}

bool SystemTrayArea::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTrayArea::add(const QIcon& icon, const QString& toolTip)
{
    if (!isAvailable()) {
        return false;
    }
    m_icon.setIcon(icon);
    m_icon.setToolTip(toolTip);
    // An icon that is already there stays put rather than being taken out and put back,
    // which would make it jump in the tray at every hide. After a restart of the area Qt
    // embeds a shown icon anew by itself.
    m_icon.show();
    return m_icon.isVisible();
}

bool SystemTrayArea::modify(const QIcon& icon, const QString& toolTip)
{
    if (!isAvailable()) {
        return false;
    }
    m_icon.setIcon(icon);
    m_icon.setToolTip(toolTip);
    if (!m_icon.isVisible()) {
        // The area appeared after the icon was asked for: put it there now.
        m_icon.show();
    }
    return true;
}

bool SystemTrayArea::remove()
{
    m_icon.hide();
    return true;
}

void SystemTrayArea::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        deliver(LeftButtonDown);
        break;
    case QSystemTrayIcon::Context:
        deliver(RightButtonDown);
        break;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

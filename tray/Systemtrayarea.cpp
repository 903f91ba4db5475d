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
    // Showing again after a hide makes Qt embed the icon anew, as an add request should.
    m_icon.hide();
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

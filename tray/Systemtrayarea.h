#pragma once

#include "Notificationarea.h"

#include <QObject>
#include <QSystemTrayIcon>

// The notification area through Qt: the Windows notification area, an XEmbed tray on X11, or
// a StatusNotifierItem host. The menu is never handed to Qt, so a right click opens our menu
// once, at the mouse, on every kind of desktop.
class SystemTrayArea final : public QObject, public NotificationArea
{
    Q_OBJECT

public:
    explicit SystemTrayArea(QObject* parent = nullptr);

    bool isAvailable() const override;
    bool add(const QIcon& icon, const QString& toolTip) override;
    bool modify(const QIcon& icon, const QString& toolTip) override;
    bool remove() override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
};

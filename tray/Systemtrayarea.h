#pragma once

#include "Notificationarea.h"

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class QMenu;

// The notification area through Qt: the Windows notification area, an XEmbed tray on X11, or
// a StatusNotifierItem host over D-Bus. A StatusNotifierItem host gets the menu itself and
// draws it at the icon; elsewhere a right click comes back to the program, which opens the
// menu at the mouse.
class SystemTrayArea final : public QObject, public NotificationArea
{
    Q_OBJECT

public:
    explicit SystemTrayArea(QObject* parent = nullptr);
    ~SystemTrayArea() override;

    bool isAvailable() const override;
    bool isSettled() const override;
    bool add(const QIcon& icon, const QString& toolTip) override;
    bool modify(const QIcon& icon, const QString& toolTip) override;
    bool remove() override;
    void setMenu(QMenu* menu) override;

private:
    bool makeIcon();
    // Shows the icon where it is not shown yet, with the watcher there now.
    bool place();
    // The item was registered with a watcher that has since lost the name to another one.
    bool isStale() const;
    void update(const QIcon& icon, const QString& toolTip);
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    // Made only once the desktop has a notification area (see Trayhosts.h).
    std::unique_ptr<QSystemTrayIcon> m_icon;
    bool m_statusNotifier = false; // the icon is a StatusNotifierItem
    int m_takeovers = 0;           // of the watcher's name, when the item was registered
    QPointer<QMenu> m_menu;
};

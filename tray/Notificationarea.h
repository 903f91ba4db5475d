#pragma once

#include <QIcon>
#include <QString>

#include <functional>

class QMenu;

// The desktop's notification area as the tray controller sees it: requests that the area
// may refuse, and clicks coming back. The real one sits on QSystemTrayIcon; tests use a fake
// that refuses on demand.
class NotificationArea
{
public:
    // The mouse events an icon reports, numbered as the system has always numbered them.
    enum MouseEvent
    {
        LeftButtonDown = 513,
        RightButtonDown = 516
    };

    virtual ~NotificationArea() = default;

    // Whether the desktop has a notification area at all right now.
    virtual bool isAvailable() const = 0;
    // Whether the desktop has said yet whether it has one; until then isAvailable() is false
    // only for want of an answer, which normally comes within a moment.
    virtual bool isSettled() const { return true; }

    // Each returns false when the area refused the request.
    virtual bool add(const QIcon& icon, const QString& toolTip) = 0;
    virtual bool modify(const QIcon& icon, const QString& toolTip) = 0;
    virtual bool remove() = 0;

    // The icon's menu, for areas that draw it themselves; the others leave it to the program.
    virtual void setMenu(QMenu* menu) = 0;

    // Called with a MouseEvent value (or any other number for clicks nobody handles).
    void setMessageHandler(std::function<void(int)> handler) { m_handler = std::move(handler); }

protected:
    void deliver(int mouseEvent)
    {
        if (m_handler) {
            m_handler(mouseEvent);
        }
    }

private:
    std::function<void(int)> m_handler;
};

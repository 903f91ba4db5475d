#pragma once

#include "Notificationarea.h"

#include <QString>
#include <QStringList>

// A notification area that records every request and refuses adds on demand.
class FakeNotificationArea final : public NotificationArea
{
public:
    bool available = true;
    int addsToRefuse = 0;
    QStringList requests; // "add", "modify", "remove" in order
    QString toolTip;
    QMenu* menu = nullptr;

    bool isAvailable() const override { return available; }

    bool add(const QIcon&, const QString& tip) override
    {
        requests.append(QStringLiteral("add"));
        toolTip = tip;
        if (addsToRefuse > 0) {
            --addsToRefuse;
            return false;
        }
        return true;
    }

    bool modify(const QIcon&, const QString&) override
    {
        requests.append(QStringLiteral("modify"));
        return true;
    }

    bool remove() override
    {
        requests.append(QStringLiteral("remove"));
        return true;
    }

    void setMenu(QMenu* handed) override { menu = handed; }

    // What the desktop does when the user clicks the icon.
    void click(int mouseEvent) { deliver(mouseEvent); }
};

#pragma once

#include <QObject>

class StatusNotifierWatch;
class X11TrayWatch;

// What the desktop offers to hold the program's icon, known from the desktop's own notices
// (the X server's, the session bus's) so that nothing is asked again on a timer, and asked
// without Qt's help: Qt settles at the first icon whether icons go to a StatusNotifierItem
// host or to an XEmbed tray and keeps to that answer for the whole run, so asking it before a
// host is there would leave the program without an icon for good. Qt's question waits for the
// watcher's answer on the window's thread, so it must not be put before the watcher has
// answered ours.
class TrayHosts final : public QObject
{
    Q_OBJECT

public:
    // The one of this application: the desktop, and Qt's choice, are the same for every part
    // of the program. Lives as long as the application object.
    static TrayHosts& instance();

    // Whether Qt may make an icon now without waiting on anybody: there is no
    // StatusNotifierItem watcher, or the one there has answered.
    bool isSettled() const;
    bool hasStatusNotifierWatcher() const;
    bool hasStatusNotifierHost() const;
    // Whether the platform's own tray is there: the Windows notification area, or an XEmbed
    // tray holding the X11 tray selection.
    bool hasDesktopTray() const;
    bool hasNotificationArea() const { return hasStatusNotifierHost() || hasDesktopTray(); }

Q_SIGNALS:
    // A notification area has appeared or restarted, or the watcher has answered, and an icon
    // may be put (back) there. Sent from the event loop.
    void appeared();
    // Every notification area has gone (a panel that ended, or one restarting). Sent from
    // the event loop.
    void gone();

private:
    explicit TrayHosts(QObject* parent);
    void onChanged();

    StatusNotifierWatch* m_statusNotifier = nullptr;
    X11TrayWatch* m_x11 = nullptr;
};

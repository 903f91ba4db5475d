#pragma once

#include <QObject>

class StatusNotifierWatch;
class TrayChoice;
class X11TrayWatch;

// What the desktop offers to hold the program's icon, known from the desktop's own notices
// (the X server's, the session bus's) so that nothing is asked again on a timer, and asked
// without Qt's help: Qt settles at the first icon whether icons go to a StatusNotifierItem
// host or to an XEmbed tray and keeps to that answer for the whole run, so asking it before a
// host is there would leave the program without an icon for good. Qt's question, and a
// StatusNotifierItem icon's own start, wait for the watcher's answers on the window's thread:
// Qt's choice is made on a thread of its own, and only once an icon is wanted, and a
// StatusNotifierItem is left to Qt only while the watcher answers promptly.
class TrayHosts final : public QObject
{
    Q_OBJECT

public:
    // The one of this application: the desktop, and Qt's choice, are the same for every part
    // of the program. Lives as long as the application object.
    static TrayHosts& instance();

    // Whether the desktop has said what it offers: there is no StatusNotifierItem watcher,
    // or the one there has answered or been found slow, and Qt is not making its choice.
    bool isSettled() const;
    // Whether Qt has chosen, and what: the icon is a StatusNotifierItem, or the platform's.
    bool isChoiceMade() const;
    bool choosesStatusNotifier() const;
    // Whether an icon of Qt's choice may be made and shown now without waiting on anybody.
    bool canHoldIcon() const;
    // A host that has registered with a watcher that answers promptly.
    bool hasStatusNotifierHost() const;
    // How many times a watcher has taken the name straight over from another one.
    int statusNotifierTakeovers() const;
    // Whether the platform's own tray is there: the Windows notification area, or an XEmbed
    // tray holding the X11 tray selection.
    bool hasDesktopTray() const;

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
    void onChoiceMade();

    StatusNotifierWatch* m_statusNotifier = nullptr;
    TrayChoice* m_choice = nullptr;
    bool m_choosesStatusNotifier = false;
    X11TrayWatch* m_x11 = nullptr;
};

#pragma once

#include "Frestore.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class NotificationArea;
class QMenu;
class QWidget;

// The restore password as the settings give it at this moment.
struct RestorePassword
{
    bool inForce = false; // a restore asks for it
    QString text;
    bool unreadable = false; // there but unreadable: it matches nothing
};
RestorePassword ReadRestorePassword(const QString& settingsName);

// Keeps the program's icon in the notification area, hides every visible window of the
// program into it and brings them back on a left click, behind a password when the settings
// ask for one. Without a notification area the windows are minimised instead, and stay
// guarded just the same. Knows nothing of what the windows do.
class THideOnTaskbar final : public QObject
{
    Q_OBJECT

public:
    // How long a notification area may be gone before hidden windows come back minimised:
    // long enough for a panel that restarts.
    static constexpr int TrayGoneGrace = 3000;

    // The area is borrowed and must outlive the controller.
    explicit THideOnTaskbar(NotificationArea& area);
    ~THideOnTaskbar() override;
    THideOnTaskbar(const THideOnTaskbar&) = delete;
    THideOnTaskbar& operator=(const THideOnTaskbar&) = delete;

    void setOwner(QWidget* owner);
    void setToolTip(const QString& toolTip) { m_toolTip = toolTip; }
    void setIcon(const QIcon& icon) { m_icon = icon; }
    void setSettingsName(const QString& name) { m_settingsName = name; }
    void setPopupMenu(QMenu* menu);
    // How a refused add waits before it asks again; the GUI thread sleeps by default.
    void setPause(std::function<void(int milliseconds)> pause) { m_pause = std::move(pause); }

    void SetKeepIcon(bool keep);
    void AddTrayIcon();
    void RefreshTrayIcon();
    void RemoveTrayIcon();
    void ReAddTrayIcon();
    void HideToTray();
    void RestoreFromTray();
    void OnTrayMessage(int mouseEvent);
    void OnTrayLeftClick();
    void ShowTrayMenu();
    // A request from the program's own side (a second start, the desktop's media controls):
    // a showing window is only brought forward, one away comes back as on a left click.
    void ShowOnRequest();
    // The notification area may have gone; hidden windows come back minimised after the
    // grace unless it is back by then.
    void OnTrayGone();

    bool isHidden() const { return m_hidden; }
    // Hidden into the icon, or minimised because there was no notification area: either way
    // only the guarded restore brings it back.
    bool isAway() const { return m_away != Away::No; }
    // Away while the password read at the hide is in force: nothing may act for the user.
    bool isGuarded() const { return isAway() && m_usePassword; }
    bool isIconShown() const { return m_iconShown; }
    bool usesPassword() const { return m_usePassword; }
    TFormRestore* restoreDialog() const { return m_restoreDialog; }

Q_SIGNALS:
    // isGuarded() may have changed: at a hide, a restore, a minimise for want of a tray.
    void guardChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Away
    {
        No,
        Hidden,
        Minimised
    };

    void LoadHideSettings();
    QList<QWidget*> visibleForms() const;
    void putAway(const QList<QWidget*>& forms, Away how);
    void minimiseAway();
    void setAway(Away away);
    void askAndRestore();
    void bringBackForm(QWidget* form);
    void onOwnerShownByDesktop();
    void checkTray();
    void onTrayGoneGraceOver();
    QWidget* dialogParent() const;

    NotificationArea& m_area;
    QPointer<QMenu> m_popupMenu;
    QPointer<QWidget> m_owner;
    QString m_toolTip = QStringLiteral("Restore");
    QIcon m_icon;
    bool m_hidden = false;            // never cleared once set
    bool m_ownerMayMapIconic = false; // see bringBack()
    bool m_outOfFocusSinceAway = false;
    Away m_away = Away::No;
    bool m_busy = false;
    bool m_usePassword = false;
    bool m_iconShown = false;
    bool m_keepIcon = false;
    QString m_password;
    bool m_passwordUnreadable = false;
    QString m_settingsName = QStringLiteral("qxhidetask");
    QPointer<TFormRestore> m_restoreDialog;
    QList<QPointer<QWidget>> m_hiddenWindows;
    std::function<void(int)> m_pause;
    QTimer m_trayGone;
};

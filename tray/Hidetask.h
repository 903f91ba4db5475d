#pragma once

#include "Frestore.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>

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
// ask for one. Knows nothing of what the windows do.
class THideOnTaskbar final
{
public:
    // The area is borrowed and must outlive the controller.
    explicit THideOnTaskbar(NotificationArea& area);
    ~THideOnTaskbar();
    THideOnTaskbar(const THideOnTaskbar&) = delete;
    THideOnTaskbar& operator=(const THideOnTaskbar&) = delete;

    void setOwner(QWidget* owner) { m_owner = owner; }
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
    // a showing window is only brought forward, a hidden one comes back as on a left click.
    void ShowOnRequest();
    // Read afresh; the tray itself only looks again at the next hide.
    bool passwordInForce() const { return ReadRestorePassword(m_settingsName).inForce; }

    bool isHidden() const { return m_hidden; }
    bool isIconShown() const { return m_iconShown; }
    bool usesPassword() const { return m_usePassword; }
    TFormRestore* restoreDialog() const { return m_restoreDialog; }

private:
    void LoadHideSettings();
    QList<QWidget*> visibleForms() const;
    void minimiseInstead();
    void bringOwnerForward();

    NotificationArea& m_area;
    QPointer<QMenu> m_popupMenu;
    QPointer<QWidget> m_owner;
    QString m_toolTip = QStringLiteral("Restore");
    QIcon m_icon;
    bool m_hidden = false; // never cleared once set
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
};

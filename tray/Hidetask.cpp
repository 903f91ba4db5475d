#include "Hidetask.h"

#include "Formutil.h"
#include "Frestore.h"
#include "Notificationarea.h"
#include "Settings.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QThread>
#include <QWindow>

#include <algorithm>

namespace {

// Pauses before the second and third add request.
constexpr int FirstRetryPause = 100;
constexpr int SecondRetryPause = 250;

constexpr int PasswordSize = 1024;

} // namespace

THideOnTaskbar::THideOnTaskbar(NotificationArea& area)
    : m_area(area), m_pause([](int milliseconds) { QThread::msleep(milliseconds); })
{
    m_area.setMessageHandler([this](int mouseEvent) { OnTrayMessage(mouseEvent); });
}

THideOnTaskbar::~THideOnTaskbar()
{
    m_area.setMessageHandler(nullptr);
}

void THideOnTaskbar::setPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
    m_area.setMenu(menu);
}

void THideOnTaskbar::SetKeepIcon(bool keep)
{
    m_keepIcon = keep;
    AddTrayIcon();
}

void THideOnTaskbar::AddTrayIcon()
{
    // With no notification area at all there is nothing to retry against, and the pauses
    // would only freeze the window; the keep-alive refresh adds the icon once one appears.
    if (m_area.isAvailable() && !m_area.add(m_icon, m_toolTip)) {
        m_pause(FirstRetryPause);
        if (!m_area.add(m_icon, m_toolTip)) {
            m_pause(SecondRetryPause);
            m_area.add(m_icon, m_toolTip);
        }
    }
    // Taken as done whatever the outcome: the keep-alive refresh puts it right later.
    m_iconShown = true;
}

void THideOnTaskbar::RefreshTrayIcon()
{
    if (m_iconShown) {
        m_area.modify(m_icon, m_toolTip);
    }
}

void THideOnTaskbar::RemoveTrayIcon()
{
    if (m_iconShown) {
        m_area.remove();
        m_iconShown = false;
    }
}

void THideOnTaskbar::ReAddTrayIcon()
{
    if (m_iconShown) {
        m_iconShown = false;
        AddTrayIcon();
    }
}

RestorePassword ReadRestorePassword(const QString& settingsName)
{
    SettingsKey key;
    OpenSettings(key, settingsName);
    const QString passwordName = QStringLiteral("hidetask_password");
    const QString flagName = QStringLiteral("hidetask_usepassword");
    RestorePassword password;
    ReadSettingString(key, passwordName, QString(), password.text, PasswordSize);
    // No password is what an absent flag means. A flag or a password that is there but
    // can't be read was still meant to protect the window, so the guess is the safe one: the
    // password is asked, and a password that can't be read matches nothing.
    password.inForce = IntSettingUnreadable(key, flagName) || ReadSettingInt(key, flagName, 0) != 0;
    password.unreadable = StringSettingUnreadable(key, passwordName);
    CloseSettings(key);
    return password;
}

void THideOnTaskbar::LoadHideSettings()
{
    RestorePassword password = ReadRestorePassword(m_settingsName);
    m_usePassword = password.inForce;
    m_password = std::move(password.text);
    m_passwordUnreadable = password.unreadable;
}

QList<QWidget*> THideOnTaskbar::visibleForms() const
{
    // Only the program's own forms: the tray icon has a window of its own on some desktops,
    // and hiding it would leave no way back.
    QList<QWidget*> forms;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const bool isForm = widget == m_owner || qobject_cast<QDialog*>(widget) != nullptr;
        if (isForm && widget->isVisible()) {
            forms.append(widget);
        }
    }
    // In the order the windows were made, so they come back stacked as they were.
    const QWindowList order = QGuiApplication::topLevelWindows();
    std::stable_sort(forms.begin(), forms.end(), [&order](QWidget* a, QWidget* b) {
        return order.indexOf(a->windowHandle()) < order.indexOf(b->windowHandle());
    });
    return forms;
}

void THideOnTaskbar::minimiseInstead()
{
    // With no notification area there would be no way back from hiding: the task bar is.
    if (m_owner) {
        m_owner->showMinimized();
    }
}

void THideOnTaskbar::HideToTray()
{
    LoadHideSettings();
    if (m_icon.isNull()) {
        ShowMessage(m_owner, QStringLiteral("Internal Error: Taskbar icon is NULL"),
                    QStringLiteral("Error"));
        return;
    }
    if (!m_area.isAvailable()) {
        minimiseInstead();
        return;
    }
    AddTrayIcon();

    const QList<QWidget*> forms = visibleForms();
    m_hiddenWindows.clear();
    for (QWidget* form : forms) {
        m_hiddenWindows.append(form);
    }
    for (QWidget* form : forms) {
        form->setEnabled(false);
        form->hide();
    }
    m_hidden = true;
}

void THideOnTaskbar::RestoreFromTray()
{
    if (!m_keepIcon) {
        m_area.remove();
        m_iconShown = false;
    }
    for (const QPointer<QWidget>& form : m_hiddenWindows) {
        if (form) {
            form->setEnabled(true);
            form->show();
        }
    }
}

void THideOnTaskbar::OnTrayMessage(int mouseEvent)
{
    switch (mouseEvent) {
    case NotificationArea::LeftButtonDown:
        OnTrayLeftClick();
        break;
    case NotificationArea::RightButtonDown:
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

void THideOnTaskbar::OnTrayLeftClick()
{
    if (m_busy) {
        // A click while the password dialog waits only brings that dialog forward.
        if (m_restoreDialog) {
            m_restoreDialog->show();
            m_restoreDialog->raise();
            m_restoreDialog->activateWindow();
        }
        return;
    }
    m_busy = true;
    if (!m_hidden && m_owner && m_owner->isVisible()) {
        bringOwnerForward();
    } else if (m_usePassword) {
        TFormRestore dialog(m_owner);
        m_restoreDialog = &dialog;
        PlaceDialog(m_owner, &dialog);
        const int result = dialog.exec();
        const QString typed = dialog.EditPassword->text();
        m_restoreDialog = nullptr;
        if (result == mrOk) {
            if (m_passwordUnreadable || typed.compare(m_password, Qt::CaseInsensitive) != 0) {
                ShowMessage(m_owner, QStringLiteral("Invalid Password"),
                            QStringLiteral("Invalid Password"));
            } else {
                RestoreFromTray();
            }
        }
    } else {
        RestoreFromTray();
    }
    m_busy = false;
}

void THideOnTaskbar::ShowOnRequest()
{
    // The hidden flag is the icon's own rule and stays as it is; a request from our side
    // looks at the window instead, so a window in plain view is never guarded by a question.
    if (!m_busy && m_owner && m_owner->isVisible()) {
        bringOwnerForward();
        return;
    }
    OnTrayLeftClick();
}

void THideOnTaskbar::bringOwnerForward()
{
    if (m_owner->isMinimized()) {
        m_owner->showNormal();
    }
    m_owner->raise();
    m_owner->activateWindow();
}

void THideOnTaskbar::ShowTrayMenu()
{
    // Where the mouse's place is unknown and a menu without a parent window would come up as
    // a window of its own, the host draws the menu the area was handed instead.
    const QPoint at = QCursor::pos();
    if (m_popupMenu && platformPlacesWindows()) {
        m_popupMenu->popup(at);
    }
}

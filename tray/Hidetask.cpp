#include "Hidetask.h"

#include "Bringback.h"
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
#include <utility>

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
    m_trayGone.setSingleShot(true);
    m_trayGone.setInterval(TrayGoneGrace);
    connect(&m_trayGone, &QTimer::timeout, this, &THideOnTaskbar::onTrayGoneGraceOver);
}

THideOnTaskbar::~THideOnTaskbar()
{
    m_area.setMessageHandler(nullptr);
}

void THideOnTaskbar::setOwner(QWidget* owner)
{
    if (m_owner) {
        m_owner->removeEventFilter(this);
    }
    m_owner = owner;
    m_ownerMayMapIconic = false;
    if (m_owner) {
        m_owner->installEventFilter(this);
    }
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
    // A notice of the area coming or going may never have come: each refresh looks again.
    checkTray();
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
    checkTray();
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
    return forms;
}

void THideOnTaskbar::putAway(const QList<QWidget*>& forms, Away how)
{
    // Windows already away (hidden while the window itself came back minimised) stay on
    // the list: they come back with it.
    if (m_away == Away::No) {
        m_hiddenWindows.clear();
    }
    for (QWidget* form : forms) {
        if (!m_hiddenWindows.contains(form)) {
            m_hiddenWindows.append(form);
        }
    }
    m_hiddenWindows.removeAll(nullptr);
    // In the order the windows were made, so they come back stacked as they were.
    const QWindowList order = QGuiApplication::topLevelWindows();
    std::stable_sort(m_hiddenWindows.begin(), m_hiddenWindows.end(),
                     [&order](const QPointer<QWidget>& a, const QPointer<QWidget>& b) {
                         return order.indexOf(a->windowHandle()) < order.indexOf(b->windowHandle());
                     });
    setAway(how);
}

void THideOnTaskbar::minimiseAway()
{
    // With no notification area there would be no way back from hiding: the task bar is.
    // The window is guarded there as a hidden one is, and of no use until it comes back.
    if (!m_owner) {
        return;
    }
    putAway({m_owner}, Away::Minimised);
    m_outOfFocusSinceAway = false;
    m_owner->setEnabled(!m_usePassword);
    minimise(m_owner);
}

void THideOnTaskbar::setAway(Away away)
{
    m_away = away;
    if (away == Away::No) {
        m_trayGone.stop();
    }
    // Also when only the password read at this moment differs from the last one.
    Q_EMIT guardChanged();
}

void THideOnTaskbar::HideToTray()
{
    LoadHideSettings();
    if (m_icon.isNull()) {
        ShowMessage(dialogParent(), QStringLiteral("Internal Error: Taskbar icon is NULL"),
                    QStringLiteral("Error"));
        return;
    }
    if (!m_area.isAvailable()) {
        minimiseAway();
        return;
    }
    AddTrayIcon();

    const QList<QWidget*> forms = visibleForms();
    putAway(forms, Away::Hidden);
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
    QList<QPointer<QWidget>> forms = std::exchange(m_hiddenWindows, {});
    // A restore asked for while the window shows still brings it forward.
    if (m_owner && !forms.contains(m_owner)) {
        forms.prepend(m_owner);
    }
    // Before the windows show, so that their state changes are not taken for the desktop's.
    setAway(Away::No);
    for (const QPointer<QWidget>& form : forms) {
        if (form) {
            form->setEnabled(true);
            bringBackForm(form);
        }
    }
}

void THideOnTaskbar::bringBackForm(QWidget* form)
{
    const bool owner = form == m_owner;
    // Showing a hidden or a minimised window writes its hints afresh.
    const bool rewritesHints = !form->isVisible() || form->isMinimized();
    bringBack(form, owner && m_ownerMayMapIconic);
    if (owner && rewritesHints) {
        m_ownerMayMapIconic = false;
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
    if (!m_busy && !m_hidden && !isAway() && m_owner && m_owner->isVisible()) {
        bringBackForm(m_owner);
        return;
    }
    askAndRestore();
}

void THideOnTaskbar::askAndRestore()
{
    if (m_busy) {
        // A request while the password dialog waits only brings that dialog forward.
        if (m_restoreDialog) {
            m_restoreDialog->show();
            m_restoreDialog->raise();
            m_restoreDialog->activateWindow();
        }
        return;
    }
    if (!m_usePassword) {
        RestoreFromTray();
        return;
    }
    m_busy = true;
    TFormRestore dialog(dialogParent());
    m_restoreDialog = &dialog;
    PlaceDialog(m_owner, &dialog);
    const int result = dialog.exec();
    const QString typed = dialog.EditPassword->text();
    m_restoreDialog = nullptr;
    if (result == mrOk) {
        if (m_passwordUnreadable || typed.compare(m_password, Qt::CaseInsensitive) != 0) {
            ShowMessage(dialogParent(), QStringLiteral("Invalid Password"),
                        QStringLiteral("Invalid Password"));
        } else {
            RestoreFromTray();
        }
    }
    m_busy = false;
    // Still away: a window taken out of sight while the password was asked goes back down.
    if (m_away == Away::Minimised && m_owner && !m_owner->isVisible()) {
        minimise(m_owner);
    }
}

QWidget* THideOnTaskbar::dialogParent() const
{
    // A window manager keeps a dialog with its parent: one for a withdrawn or minimised
    // window would be refused, or go down with it.
    const bool showing = m_owner && m_owner->isVisible() && !m_owner->isMinimized() && !isAway();
    return showing ? m_owner.data() : nullptr;
}

void THideOnTaskbar::ShowOnRequest()
{
    // The hidden flag is the icon's own rule and stays as it is; a request from our side
    // looks at the window instead, so a window in plain view is never guarded by a question.
    if (!m_busy && !isAway() && m_owner && m_owner->isVisible()) {
        bringBackForm(m_owner);
        return;
    }
    askAndRestore();
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

#include "Hidetask.h"

#include "Bringback.h"
#include "Notificationarea.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

// What the desktop does behind the program's back: a notification area that comes or goes,
// a window manager or compositor that brings a window back from the task bar.

void THideOnTaskbar::checkTray()
{
    if (m_busy) {
        return;
    }
    if (m_away == Away::Minimised && m_area.isAvailable()) {
        // Minimised only for want of a tray: from now on the icon is the way back.
        HideToTray();
    } else if (m_away == Away::Hidden && !m_area.isAvailable()) {
        OnTrayGone();
    }
}

bool THideOnTaskbar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner && event->type() == QEvent::WindowStateChange) {
        if (m_owner->isMinimized()) {
            m_ownerMayMapIconic = true;
        }
        if (platformReportsMinimised()) {
            QTimer::singleShot(0, this, &THideOnTaskbar::onOwnerShownByDesktop);
        }
    } else if (watched == m_owner && event->type() == QEvent::ActivationChange) {
        // Where nothing tells of minimising, a window put in front again, after the minimise
        // took it out of focus, is a window restored. The focus it had or was given as it
        // went down (a compositor's late answer to the first show) says nothing.
        if (!m_owner->isActiveWindow()) {
            m_outOfFocusSinceAway = true;
        } else if (m_outOfFocusSinceAway) {
            QTimer::singleShot(0, this, &THideOnTaskbar::onOwnerShownByDesktop);
        }
    }
    return false;
}

void THideOnTaskbar::onOwnerShownByDesktop()
{
    if (m_away != Away::Minimised || !m_owner || !m_owner->isVisible() || m_owner->isMinimized()) {
        return;
    }
    if (!m_usePassword) {
        // Nothing guards it: the task bar is an ordinary way back.
        RestoreFromTray();
        return;
    }
    // The task bar must not be a way around the password: out of sight while it is asked
    // (a window manager may ignore a request to minimise a window it is bringing back).
    m_owner->hide();
    askAndRestore();
}

void THideOnTaskbar::OnTrayGone()
{
    if (m_away == Away::Hidden && !m_trayGone.isActive()) {
        m_trayGone.start();
    }
}

void THideOnTaskbar::onTrayGoneGraceOver()
{
    // No icon and no window would leave no way back for as long as the panel stays away.
    if (m_away == Away::Hidden && !m_area.isAvailable() && !m_busy) {
        minimiseAway();
    }
}

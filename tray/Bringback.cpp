#include "Bringback.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

bool platformReportsMinimised()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void bringBack(QWidget* window, bool mayMapIconic)
{
    // GNOME under Wayland never brings a minimised window back on request, and Qt cannot
    // tell there whether it is minimised: a window not in front gets a new toplevel, which
    // starts without the minimised state.
    if (window->isVisible() && !platformReportsMinimised() &&
        (window->isMinimized() || !window->isActiveWindow())) {
        window->hide();
    }
    // Qt on X11 writes "start iconic" into the window's hints when it minimises and clears
    // it only when it takes the minimised state away itself; once the window manager has
    // restored the window, Qt's state is normal but the hint stays, and the next show maps
    // the window iconic, which a desktop without a task bar never gives back. A hidden window
    // gets a new native window instead, with fresh hints.
    if (!window->isVisible() && !window->isMinimized() && mayMapIconic &&
        QGuiApplication::platformName() == QLatin1String("xcb") &&
        window->windowHandle() != nullptr) {
        window->windowHandle()->destroy();
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    // Back to the window's own buttons.
    if (window->windowHandle() != nullptr) {
        window->windowHandle()->setFlags(window->windowFlags());
    }
    window->raise();
    window->activateWindow();
}

void minimise(QWidget* window)
{
    // Window managers that keep to what a window offers (icewm, xfwm4) refuse to minimise
    // one without a minimise button, however the request comes; while it is away it has one.
    if (window->windowHandle() != nullptr) {
        window->windowHandle()->setFlags(window->windowFlags() | Qt::WindowMinimizeButtonHint);
    }
    window->showMinimized();
}

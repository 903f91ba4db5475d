#pragma once

#include <functional>

class QObject;
class QWidget;

// Runs work once the window's first frame is out (its first paint has been handed to the
// platform), so that nothing the first frame does not need holds it back: a tray remote is
// started at every login, and its window should come up as soon as a bare one. A window that
// is never painted (a desktop that never shows it) gets the work a second after the call.
// Dropped when the window or context goes first.
void afterFirstFrame(QWidget* window, QObject* context, std::function<void()> work);

#pragma once

#include <functional>

class QWidget;

// Runs handle on the next modal window (dialog or message box) as soon as it is up. Call
// it before the action that opens the window: that action does not return until it closes.
void whenModal(std::function<void(QWidget*)> handle);

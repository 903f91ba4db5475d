#pragma once

class QWidget;

// Shows a window that is hidden or minimised as a normal, active one, whatever the desktop
// made of its minimised state. mayMapIconic: the window was minimised since its native window
// was made, so X11 may still hold "start iconic" for it (see Bringback.cpp).
void bringBack(QWidget* window, bool mayMapIconic);

// Minimises a window, also one that offers no minimise button of its own.
void minimise(QWidget* window);

// Whether the platform says when the desktop minimises or restores a window. Wayland never
// does: Qt's minimised state there is only what the program last asked for, and the next
// change of focus clears it.
bool platformReportsMinimised();

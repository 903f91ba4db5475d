#pragma once

#include <QtGlobal>

// What the desktop offers to hold the program's icon right now. Asked without Qt's help: Qt
// settles at the first question whether icons go to a StatusNotifierItem host or to an XEmbed
// tray and keeps to that answer for the whole run, so asking it before a host is there would
// leave the program without an icon for good.

// Whether a StatusNotifierItem host has registered with the session bus's watcher, asked the
// way Qt asks (so a watcher whose introspection data lacks the property counts as none). This
// waits for the watcher's own answer, so it is asked only while the program has no item: the
// watcher may be calling an item and waiting for it in turn.
bool isStatusNotifierHostRegistered();

// Whether a StatusNotifierItem watcher is on the session bus, asked of the bus alone.
bool isStatusNotifierWatcherRegistered();

// Whether the platform's own tray is there: the Windows notification area, or an XEmbed tray
// holding the X11 tray selection.
bool hasDesktopTray();

// Whether the desktop has a notification area of either kind.
bool hasNotificationArea();

// The X11 atom of that name, or 0 where the program does not run on X11.
quint32 x11Atom(const char* name);

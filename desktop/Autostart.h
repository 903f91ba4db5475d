#pragma once

#include <QString>

// Whether the program starts with the user's session, put away in the notification area: an
// XDG autostart entry ($XDG_CONFIG_HOME/autostart/brindora.desktop) on Linux, the value
// "Brindora Control" under HKCU\Software\Microsoft\Windows\CurrentVersion\Run on Windows
// (BRINDORA_REGISTRY_ROOT stands in for Software, as it does for the settings).
namespace Autostart {

// True when an entry there makes the session start the program: one disabled by hand (or in
// the desktop's or Windows' own start-up settings), or unreadable, counts as none.
bool isEnabled();

// Adds an entry that starts program with -autominimize, or takes ours away. Returns an empty
// string on success, else a sentence for the user saying what could not be done and why.
QString setEnabled(bool on, const QString& program);

} // namespace Autostart

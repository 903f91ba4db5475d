#pragma once

#include "Playercommands.h"

#include <QString>

#include <functional>
#include <memory>

// The program in Windows' media controls. Where the system's media transport controls work
// (Windows 10 and later) the program has an entry in the media flyout, and the flyout's
// buttons and the keyboard's media keys come from there. Elsewhere (older systems, wine) the
// four media keys are taken as global hot keys, each one unless another program holds it
// already. A media command sent to a focused window of the program (WM_APPCOMMAND) counts on
// either path. Buttons arrive in the GUI thread, and nothing here waits for the system.
class WindowsMediaKeys final
{
public:
    enum class Path
    {
        SystemControls,
        HotKeys
    };

    explicit WindowsMediaKeys(std::function<void(MediaButton)> press);
    ~WindowsMediaKeys();
    WindowsMediaKeys(const WindowsMediaKeys&) = delete;
    WindowsMediaKeys& operator=(const WindowsMediaKeys&) = delete;

    Path path() const;
    // What the flyout shows; nothing on the hot keys' path, which shows nothing.
    void show(const QString& title, bool playing, bool buttonsEnabled);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

#pragma once

#include <memory>

class TFormBrindora;

// The window as a media player on the session bus: the state follows what the link shows
// in the window, and the desktop's controls act through the window's own buttons and tray
// icon. Without a session bus (or on a platform without one) it stays silent and the window
// runs as it always did.
class DesktopPlayer final
{
public:
    // The window must outlive the player.
    explicit DesktopPlayer(TFormBrindora& form);
    ~DesktopPlayer();
    DesktopPlayer(const DesktopPlayer&) = delete;
    DesktopPlayer& operator=(const DesktopPlayer&) = delete;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

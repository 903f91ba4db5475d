#pragma once

#include "Lineprotocol.h"

#include <functional>

class PlayerState;

// What the media controls may ask of the program: the same steps as its buttons and its
// tray icon.
struct PlayerActions
{
    std::function<void(Command)> send;
    std::function<void()> raise;
    std::function<void()> quit;
    // True while the window is away behind the restore password; none means never.
    std::function<bool()> guarded;
};

// The transport buttons the desktop's media controls have (a panel, a flyout, a keyboard).
enum class MediaButton
{
    PlayPause,
    Play,
    Pause,
    Stop,
    Next,
    Previous
};

// The one place where a media button becomes a command for the server, and where the restore
// password and the connection decide whether it may: every kind of media control on every
// system goes through here.
class PlayerCommands final
{
public:
    // The state must outlive the commands.
    PlayerCommands(const PlayerState& state, PlayerActions actions);

    // The transport commands are offered: the server connected, and the window not away
    // behind the restore password (a window in view can be used by whoever sits at it).
    bool canAct() const;
    // A command for the server; ignored when not offered, as the controls say.
    void send(Command command) const;
    // The server can neither pause nor report whether it plays: play/pause stops what the
    // time shows running and plays otherwise, and a pause is a stop.
    void press(MediaButton button) const;
    const PlayerActions& actions() const { return m_actions; }

private:
    const PlayerState& m_state;
    const PlayerActions m_actions;
};

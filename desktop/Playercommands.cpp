#include "Playercommands.h"

#include "Playerstate.h"

PlayerCommands::PlayerCommands(const PlayerState& state, PlayerActions actions)
    : m_state(state), m_actions(std::move(actions))
{
}

bool PlayerCommands::canAct() const
{
    return m_state.isConnected() && !(m_actions.guarded && m_actions.guarded());
}

void PlayerCommands::send(Command command) const
{
    if (canAct() && m_actions.send) {
        m_actions.send(command);
    }
}

void PlayerCommands::press(MediaButton button) const
{
    switch (button) {
    case MediaButton::PlayPause:
        send(m_state.isPlaying() ? Command::Stop : Command::Play);
        return;
    case MediaButton::Play:
        send(Command::Play);
        return;
    case MediaButton::Pause:
    case MediaButton::Stop:
        send(Command::Stop);
        return;
    case MediaButton::Next:
        send(Command::Next);
        return;
    case MediaButton::Previous:
        send(Command::Prev);
        return;
    }
}

#include "Desktopplayer.h"

#include "Fbrindora.h"
#include "Formactions.h"
#include "Hidetask.h"
#include "Mediakeys_win.h"
#include "Playerstate.h"

// On Windows the window is a player for the system's media flyout and media keys, with the
// same commands and the same guard as the media player on a Linux session bus.
struct DesktopPlayer::Parts
{
    explicit Parts(TFormBrindora& form)
        : form(form), commands(state, formPlayerActions(form)),
          keys([this](MediaButton button) { commands.press(button); })
    {
        const auto show = [this] {
            keys.show(state.hasTitle() ? state.title() : QString(), state.isPlaying(),
                      commands.canAct());
        };
        QObject::connect(&state, &PlayerState::trackChanged, &state, show);
        QObject::connect(&state, &PlayerState::playingChanged, &state, show);
        QObject::connect(&state, &PlayerState::connectedChanged, &state, show);
        QObject::connect(form.hideTask(), &THideOnTaskbar::guardChanged, &state, show);
        show();
    }

    TFormBrindora& form;
    PlayerState state;
    PlayerCommands commands;
    WindowsMediaKeys keys;
};

DesktopPlayer::DesktopPlayer(TFormBrindora& form) : m_parts(std::make_unique<Parts>(form))
{
    form.setLinkWatcher(&m_parts->state);
}

DesktopPlayer::~DesktopPlayer()
{
    m_parts->form.setLinkWatcher(nullptr);
}

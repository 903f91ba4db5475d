#include "Desktopplayer.h"

// Where there is no session bus to be a media player on, the window is only itself.
struct DesktopPlayer::Parts
{
};

DesktopPlayer::DesktopPlayer(TFormBrindora& /*form*/) {}

DesktopPlayer::~DesktopPlayer() = default;

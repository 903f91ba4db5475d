#pragma once

#include <QIcon>

// The transport buttons' pictures, drawn rather than loaded so they stay sharp at any scale.
enum class Glyph
{
    Previous,
    Play,
    Stop,
    Next
};

inline constexpr int GlyphSize = 18;

QIcon transportIcon(Glyph glyph);

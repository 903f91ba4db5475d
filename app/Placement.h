#pragma once

#include <vector>

// Where windows go. Plain arithmetic on outer window rectangles in screen pixels, so it can
// be checked without a display.

struct PlacementRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PlacementPoint
{
    int left = 0;
    int top = 0;
};

// Centres the dialog over the parent, keeps it off the screen's top and left edges, shifts it
// when it would exactly cover the parent, and keeps its bottom 50 pixels above the screen's
// bottom and its right edge on the screen. The later rules win for a dialog larger than the
// screen. Halving rounds toward zero.
PlacementPoint placeDialogRect(const PlacementRect& parent, int dialogWidth, int dialogHeight,
                               const PlacementRect& screen);

// True when at least part of the window lies on one of the screens. A window stored while a
// monitor that has since been unplugged was there may lie on none.
bool isOnAnyScreen(const PlacementRect& window, const std::vector<PlacementRect>& screens);

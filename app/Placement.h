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

// True when the window's title bar, along the top of its outer rectangle, can be grabbed with
// the mouse on one of the screens: its top edge lies within that screen's work area (below any
// top panel) and a piece of it wide enough to grab lies across the work area. A window stored
// while a monitor that has since been unplugged was there, or by a desktop that reported a
// made-up place for it, may have none.
bool isTitleBarReachable(const PlacementRect& window, const std::vector<PlacementRect>& workAreas);

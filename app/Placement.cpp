#include "Placement.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Within this many pixels of the parent's size the dialog would hide the parent exactly.
constexpr int NearlySameSize = 10;
constexpr int CoverShift = 15;
constexpr int BottomMargin = 50;
// How much of a title bar, across and down, a mouse needs to take hold of it.
constexpr int TitleBarGrip = 32;

} // namespace

PlacementPoint placeDialogRect(const PlacementRect& parent, int dialogWidth, int dialogHeight,
                               const PlacementRect& screen)
{
    PlacementPoint at;
    at.top = parent.top + (parent.height - dialogHeight) / 2;
    at.left = parent.left + (parent.width - dialogWidth) / 2;

    if (at.top < screen.top) {
        at.top = screen.top;
    }
    if (at.left < screen.left) {
        at.left = screen.left;
    }

    if (std::abs(parent.width - dialogWidth) < NearlySameSize) {
        at.left += CoverShift;
    }
    if (std::abs(parent.height - dialogHeight) < NearlySameSize) {
        at.top += CoverShift;
    }

    const int screenBottom = screen.top + screen.height;
    if (at.top + dialogHeight >= screenBottom - BottomMargin) {
        at.top = screenBottom - dialogHeight - BottomMargin;
    }
    const int screenRight = screen.left + screen.width;
    if (at.left + dialogWidth >= screenRight) {
        at.left = screenRight - dialogWidth;
    }
    return at;
}

bool isTitleBarReachable(const PlacementRect& window, const std::vector<PlacementRect>& workAreas)
{
    for (const PlacementRect& area : workAreas) {
        const bool topInside =
            window.top >= area.top && window.top + TitleBarGrip <= area.top + area.height;
        const int across = std::min(window.left + window.width, area.left + area.width) -
                           std::max(window.left, area.left);
        if (topInside && across >= TitleBarGrip) {
            return true;
        }
    }
    return false;
}

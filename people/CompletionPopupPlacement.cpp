#include "people/CompletionPopupPlacement.h"

namespace regdesk {

ScreenRect placeCompletionPopup(const ScreenRect& edit, const ScreenRect& owner, int clientLeft, int clientTop,
                                int extent, int screenWidth)
{
    constexpr int kHeight = 120;
    // Positions relative to the owner's window corner, later read as client coordinates.
    ScreenRect popup;
    popup.top = edit.bottom - owner.top - 40;
    popup.bottom = popup.top + kHeight;
    const int ownerWidth = owner.right - owner.left;
    if (edit.left - owner.left - 4 > ownerWidth / 2) {
        popup.right = edit.right - owner.left - 3;
        popup.left = popup.right - extent;
        if (popup.left < 20)
            popup.left = 20;
    } else {
        popup.left = edit.left - owner.left - 4;
        popup.right = popup.left + extent;
        if (popup.right >= screenWidth - 100)
            popup.right = screenWidth - 100;
    }
    return ScreenRect{popup.left + clientLeft, popup.top + clientTop, popup.right + clientLeft,
                      popup.bottom + clientTop};
}

} // namespace regdesk

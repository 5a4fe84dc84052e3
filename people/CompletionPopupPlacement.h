#pragma once

namespace regdesk {

// A rectangle in screen pixels; right and bottom are the first pixels outside.
struct ScreenRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Where the completion drop-down goes. `edit` and `owner` are the window
// rectangles of the edit and of the owner window (frame included),
// `clientLeft`/`clientTop` the screen position of the owner's client area.
// The drop-down is 120 pixels high and `extent` wide; it opens below the edit,
// growing to the right, or to the left when the edit sits in the owner's right
// half. The offsets of 40 and 4 pixels make up for a Windows caption and
// border; under a thinner frame the drop-down overlaps the edit's lower edge
// by the difference.
ScreenRect placeCompletionPopup(const ScreenRect& edit, const ScreenRect& owner, int clientLeft, int clientTop,
                                int extent, int screenWidth);

} // namespace regdesk

#pragma once

#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

namespace regdesk {

// The desk's forms are laid out for screens of the usual size. On a smaller
// one (1366 × 768 at 125 % scaling leaves about 1090 × 570 for a window) a
// form is made no larger than the screen, and where its layout cannot be made
// that small it scrolls, so that every control can still be reached.
struct ScreenFit
{
    QSize size;           // of the form, frame not included
    bool scrolls = false; // its contents go into a scroll area
};

// What a window's frame (title bar, borders) takes of the available area.
inline constexpr QSize kWindowFrameRoom{16, 48};

// The fit of a form of size `designed`, which its layout cannot make smaller
// than `minimum`, on a screen whose available geometry is `available`.
ScreenFit fitToScreen(QSize designed, QSize minimum, QRect available);

// Fits `form`, a window with a layout and its designed size already set, to
// `available` (the available geometry of the form's screen when not given).
// Where it fits, nothing changes.
void fitFormToScreen(QWidget& form, std::optional<QRect> available = std::nullopt);

} // namespace regdesk

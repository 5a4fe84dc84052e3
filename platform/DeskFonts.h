#pragma once

namespace regdesk {

// The forms were drawn for 宋体 (SimSun). Map that family onto an installed
// Song-style CJK font where there is one, else a CJK sans, and make it the
// application font. Call after the QApplication exists, before any widget.
void installDeskFonts();

} // namespace regdesk

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace regdesk::EmfPicture {

// An enhanced metafile that stretches a BMP file's picture over the rectangle
// (0, 0)-(width, height) in device pixels of a 96 dpi reference screen: the
// header, one EMR_STRETCHDIBITS (SRCCOPY) carrying the bitmap unchanged, and
// the end record. nullopt when `bmpFile` is not an uncompressed bitmap, or
// when width or height exceeds 845,466 pixels (the frame would overflow).
std::optional<std::string> stretchedBitmap(std::string_view bmpFile, int width, int height);

} // namespace regdesk::EmfPicture

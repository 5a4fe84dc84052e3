#pragma once

#include "platform/Gbk.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace regdesk::MetafileReader {

// A picture as grey levels, top row first, 0 black and 255 white.
struct GreyImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    std::uint8_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// What was read, or why nothing could be (a GBK reason for the clerk).
struct Picture
{
    std::optional<GreyImage> image;
    GbkString failure;
};

// Readers of exactly what the desk and its encoder write, from the file's own
// bytes. An enhanced metafile is its header, one EMR_STRETCHDIBITS (SRCCOPY,
// the whole bitmap) and EMR_EOF; a Windows metafile its header, one
// META_STRETCHDIB and META_EOF. Any other record, a second bitmap, a size
// that does not add up or bytes missing make the picture unreadable: a
// picture we cannot read whole is not one we vouch for. The bitmap comes back
// at one pixel per bitmap pixel, mirrored as the destination's signs say.
Picture readEnhancedMetafile(std::string_view file);
Picture readWindowsMetafile(std::string_view file);

// An uncompressed BMP file of 1, 4, 8, 24 or 32 bits per pixel.
Picture readBitmapFile(std::string_view file);

// Which of the three the bytes are by their first bytes; nullopt for none.
enum class Format
{
    EnhancedMetafile,
    WindowsMetafile,
    Bitmap,
};
std::optional<Format> formatOf(std::string_view file);

} // namespace regdesk::MetafileReader

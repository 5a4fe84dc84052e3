#pragma once

#include "Bytes.h"

#include <cstdint>
#include <optional>

namespace lattix {

// The display whose size in pixels and millimetres scales the metafile frame. Without a window of the
// scan reader there is no display to ask, so a common one stands in.
struct ReferenceDevice
{
    int widthPixels = 1920;
    int heightPixels = 1080;
    int widthMillimetres = 508;
    int heightMillimetres = 286;
};

// Width and height of a BMP file from its headers; nullopt when it is no 1-bit bitmap we wrote.
struct BitmapSize
{
    int width = 0;
    int height = 0;
};
std::optional<BitmapSize> readBitmapSize(ByteView bmp);

// An enhanced metafile (header with the description "EMF_1" + EMR_STRETCHDIBITS + EMR_EOF) that draws
// the bitmap at (0, 0) with its own size; the frame is the bitmap's size in hundredths of a millimetre
// on the reference device.
Bytes encodeEnhancedMetafile(ByteView bmp, const ReferenceDevice& device = {});

// A Windows metafile (header + META_STRETCHDIB + META_EOF) that draws the bitmap at (0, 0) with its
// own size.
Bytes encodeWindowsMetafile(ByteView bmp);

} // namespace lattix

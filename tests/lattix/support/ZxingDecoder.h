#pragma once

#include "Bytes.h"

#include <optional>

namespace lattix::test {

// Decodes a TempPdf.bmp image with libzxing, after scaling each module to 2 x 4 pixels and adding a
// quiet zone: the decoder does not find symbols drawn at one pixel per module. The bytes of the
// symbol, or nullopt when nothing was decoded.
std::optional<Bytes> decodeBitmap(ByteView bmp);

// Same for a grey image with dark bars (0) on white (255), as rendered from a metafile.
std::optional<Bytes> decodeGreyImage(const std::vector<std::uint8_t>& pixels, int width, int height);

} // namespace lattix::test

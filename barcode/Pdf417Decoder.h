#pragma once

#include "barcode/MetafileReader.h"

#include <optional>
#include <string>
#include <vector>

namespace regdesk::Pdf417Decoder {

enum class Modules
{
    // A symbol drawn one pixel per module and per row, as the encoder draws it.
    OnePixel,
    // Any picture: a scan, a photo, a rendering at some size.
    AnySize,
};

// The bytes of the PDF417 symbol in the picture exactly as they were encoded
// (no character set applied); nullopt when no PDF417 symbol can be read.
// The encoder draws no quiet zone and symbols of a few rows at one pixel per
// module are too small for the reader, so the picture is put on a white
// margin, and a one-pixel symbol is first scaled to 2 x 4 pixels a module.
std::optional<std::string> decode(const MetafileReader::GreyImage& image, Modules modules);

// The bytes of every PDF417 symbol found in a picture of any size (a rendered
// page, a scan, a photo; turned by a right angle or slightly skewed), in the
// order the reader finds them; empty when there is none.
std::vector<std::string> decodeAll(const MetafileReader::GreyImage& image);

} // namespace regdesk::Pdf417Decoder

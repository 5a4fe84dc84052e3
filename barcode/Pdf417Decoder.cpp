#include "barcode/Pdf417Decoder.h"

#include <ZXing/ReadBarcode.h>
#include <algorithm>

namespace regdesk::Pdf417Decoder {
namespace {

using MetafileReader::GreyImage;

// 2 x 3 pixels a module read for most symbols; symbols of three rows need 2 x 4.
constexpr int kModuleWidth = 2;
constexpr int kModuleHeight = 4;
// Beyond the two modules the standard asks for.
constexpr int kQuietModules = 4;
// Larger pictures are not scaled up further: they are not one pixel a module.
constexpr std::size_t kMaxScaledPixels = std::size_t{1} << 24;

// The image scaled by whole factors on a white margin.
GreyImage framed(const GreyImage& image, int scaleX, int scaleY, int marginX, int marginY)
{
    GreyImage out;
    out.width = image.width * scaleX + 2 * marginX;
    out.height = image.height * scaleY + 2 * marginY;
    out.pixels.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 255);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = out.pixels.data() + static_cast<std::size_t>(marginY + y * scaleY) * out.width + marginX;
        for (int x = 0; x < image.width; ++x)
            std::fill_n(row + x * scaleX, scaleX, image.at(x, y));
        for (int copy = 1; copy < scaleY; ++copy)
            std::copy_n(row, image.width * scaleX, row + static_cast<std::size_t>(copy) * out.width);
    }
    return out;
}

std::optional<std::string> read(const GreyImage& image, ZXing::Binarizer binarizer)
{
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    hints.setBinarizer(binarizer);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid() || result.format() != ZXing::BarcodeFormat::PDF417)
        return std::nullopt;
    const ZXing::ByteArray& bytes = result.bytes();
    return std::string(bytes.begin(), bytes.end());
}

bool fitsScaled(const GreyImage& image)
{
    return static_cast<std::size_t>(image.width) * kModuleWidth * static_cast<std::size_t>(image.height) *
               kModuleHeight <=
           kMaxScaledPixels;
}

} // namespace

std::vector<std::string> decodeAll(const GreyImage& image)
{
    std::vector<std::string> found;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return found;
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryRotate(true);
    hints.setTryDownscale(true);
    hints.setBinarizer(ZXing::Binarizer::LocalAverage);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height, ZXing::ImageFormat::Lum);
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
        if (!result.isValid() || result.format() != ZXing::BarcodeFormat::PDF417)
            continue;
        const ZXing::ByteArray& bytes = result.bytes();
        found.emplace_back(bytes.begin(), bytes.end());
    }
    return found;
}

std::optional<std::string> decode(const GreyImage& image, Modules modules)
{
    if (image.width <= 0 || image.height <= 0)
        return std::nullopt;
    if (modules == Modules::OnePixel) {
        if (!fitsScaled(image))
            return std::nullopt;
        // Black on white and nothing else: a fixed threshold reads it exactly.
        return read(
            framed(image, kModuleWidth, kModuleHeight, kQuietModules * kModuleWidth, kQuietModules * kModuleHeight),
            ZXing::Binarizer::FixedThreshold);
    }
    const int margin = std::max(8, std::min(image.width, image.height) / 10);
    if (std::optional<std::string> bytes = read(framed(image, 1, 1, margin, margin), ZXing::Binarizer::LocalAverage))
        return bytes;
    // Perhaps a picture at one pixel a module after all, like the encoder's bitmap.
    if (fitsScaled(image))
        return decode(image, Modules::OnePixel);
    return std::nullopt;
}

} // namespace regdesk::Pdf417Decoder

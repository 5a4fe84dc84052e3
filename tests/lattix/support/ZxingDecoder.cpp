#include "ZxingDecoder.h"

#include "MetafileWriter.h"

#include <ZXing/ReadBarcode.h>

namespace lattix::test {
namespace {

constexpr int kScaleX = 2;
constexpr int kScaleY = 4;
constexpr int kQuietModules = 4;

std::optional<Bytes> decode(const std::vector<std::uint8_t>& pixels, int width, int height)
{
    const ZXing::ImageView view(pixels.data(), width, height, ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryRotate(false);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return std::nullopt;
    const auto& bytes = result.bytes();
    return Bytes(bytes.begin(), bytes.end());
}

} // namespace

std::optional<Bytes> decodeBitmap(ByteView bmp)
{
    const std::optional<BitmapSize> size = readBitmapSize(bmp);
    if (!size)
        return std::nullopt;
    const std::size_t stride = ((static_cast<std::size_t>(size->width) + 7) / 8 + 3) / 4 * 4;
    const int width = (size->width + 2 * kQuietModules) * kScaleX;
    const int height = (size->height + 2 * kQuietModules) * kScaleY;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 255);
    for (int y = 0; y < size->height; ++y) {
        // BMP rows run bottom-up.
        const std::size_t rowStart = 62 + static_cast<std::size_t>(size->height - 1 - y) * stride;
        for (int x = 0; x < size->width; ++x) {
            const bool white = (bmp[rowStart + static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
            if (white)
                continue;
            for (int dy = 0; dy < kScaleY; ++dy) {
                for (int dx = 0; dx < kScaleX; ++dx) {
                    const int px = (x + kQuietModules) * kScaleX + dx;
                    const int py = (y + kQuietModules) * kScaleY + dy;
                    pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(px)] = 0;
                }
            }
        }
    }
    return decode(pixels, width, height);
}

std::optional<Bytes> decodeGreyImage(const std::vector<std::uint8_t>& pixels, int width, int height)
{
    return decode(pixels, width, height);
}

} // namespace lattix::test

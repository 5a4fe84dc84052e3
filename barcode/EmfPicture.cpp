#include "barcode/EmfPicture.h"

#include "barcode/LittleEndian.h"

#include <cstdint>

namespace regdesk::EmfPicture {
namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrStretchDIBits = 81;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t kHeaderSize = 108;          // with both header extensions
constexpr std::uint32_t kStretchHeaderSize = 80;

// The reference screen: 1920 x 1080 pixels at 96 dpi.
constexpr std::int32_t kDeviceWidth = 1920;
constexpr std::int32_t kDeviceHeight = 1080;
constexpr std::int32_t kDeviceWidthMicrometres = kDeviceWidth * 25400 / 96;
constexpr std::int32_t kDeviceHeightMicrometres = kDeviceHeight * 25400 / 96;
constexpr int kMaxTargetSize = INT32_MAX / 2540;

using LittleEndian::u16;
using LittleEndian::u32;

class Writer
{
public:
    void u32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void u16(std::uint16_t value)
    {
        m_bytes += static_cast<char>(value & 0xFF);
        m_bytes += static_cast<char>(value >> 8);
    }
    void rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
    {
        i32(left);
        i32(top);
        i32(right);
        i32(bottom);
    }
    void raw(std::string_view bytes) { m_bytes += bytes; }
    void padTo4()
    {
        while (m_bytes.size() % 4 != 0)
            m_bytes += '\0';
    }
    std::string& bytes() { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace

std::optional<std::string> stretchedBitmap(std::string_view bmpFile, int width, int height)
{
    // BITMAPFILEHEADER (14 bytes) then BITMAPINFOHEADER or a later version.
    if (bmpFile.size() < 54 || bmpFile.substr(0, 2) != "BM")
        return std::nullopt;
    // Sizes are compared in 64 bits: an info size near 2^32 must not wrap past the check.
    const std::uint64_t pixelOffset = u32(bmpFile, 10);
    const std::uint64_t infoSize = u32(bmpFile, 14);
    if (infoSize < 40 || 14 + infoSize > pixelOffset || pixelOffset > bmpFile.size())
        return std::nullopt;
    const auto bitmapWidth = static_cast<std::int32_t>(u32(bmpFile, 18));
    const auto bitmapHeight = static_cast<std::int32_t>(u32(bmpFile, 22));
    const std::uint16_t bitsPerPixel = u16(bmpFile, 28);
    const std::uint32_t compression = u32(bmpFile, 30);
    // INT_MIN rows cannot be turned top-down; a target beyond kMaxTargetSize
    // would overflow its frame in hundredths of a millimetre.
    if (bitmapWidth <= 0 || bitmapHeight == 0 || bitmapHeight == INT32_MIN || compression != 0 || bitsPerPixel == 0 ||
        bitsPerPixel > 32 || width > kMaxTargetSize || height > kMaxTargetSize)
        return std::nullopt;
    const std::int32_t rows = bitmapHeight < 0 ? -bitmapHeight : bitmapHeight;
    const std::uint64_t stride = (static_cast<std::uint64_t>(bitmapWidth) * bitsPerPixel + 31) / 32 * 4;
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(rows);
    if (pixelBytes > bmpFile.size() - pixelOffset)
        return std::nullopt;

    // Header and colours.
    const std::string_view bitmapInfo = bmpFile.substr(14, static_cast<std::size_t>(pixelOffset - 14));
    const std::string_view pixels =
        bmpFile.substr(static_cast<std::size_t>(pixelOffset), static_cast<std::size_t>(pixelBytes));
    const std::int32_t right = width > 0 ? width - 1 : -1;
    const std::int32_t bottom = height > 0 ? height - 1 : -1;

    Writer stretch;
    const auto bitmapInfoSize = static_cast<std::uint32_t>(bitmapInfo.size());
    const std::uint32_t paddedInfoSize = (bitmapInfoSize + 3) / 4 * 4;
    const auto paddedPixelSize = static_cast<std::uint32_t>((pixelBytes + 3) / 4 * 4);
    stretch.u32(kEmrStretchDIBits);
    stretch.u32(kStretchHeaderSize + paddedInfoSize + paddedPixelSize);
    stretch.rect(0, 0, right, bottom);
    stretch.i32(0); // destination x, y
    stretch.i32(0);
    stretch.i32(0); // source x, y, width, height
    stretch.i32(0);
    stretch.i32(bitmapWidth);
    stretch.i32(rows);
    stretch.u32(kStretchHeaderSize);
    stretch.u32(bitmapInfoSize);
    stretch.u32(kStretchHeaderSize + paddedInfoSize);
    stretch.u32(static_cast<std::uint32_t>(pixelBytes));
    stretch.u32(0); // DIB_RGB_COLORS
    stretch.u32(kSrcCopy);
    stretch.i32(width);
    stretch.i32(height);
    stretch.raw(bitmapInfo);
    stretch.padTo4();
    stretch.raw(pixels);
    stretch.padTo4();

    constexpr std::uint32_t kEofSize = 20;
    const auto totalSize = static_cast<std::uint32_t>(kHeaderSize + stretch.bytes().size() + kEofSize);

    Writer emf;
    emf.u32(kEmrHeader);
    emf.u32(kHeaderSize);
    emf.rect(0, 0, right, bottom);
    // The frame in hundredths of a millimetre, from the same pixels at 96 dpi.
    emf.rect(0, 0, width > 0 ? width * 2540 / 96 : -1, height > 0 ? height * 2540 / 96 : -1);
    emf.u32(kEmfSignature);
    emf.u32(0x00010000); // version
    emf.u32(totalSize);
    emf.u32(3); // records
    emf.u16(1); // handles: the metafile itself
    emf.u16(0); // reserved
    emf.u32(0); // description length
    emf.u32(0); // description offset
    emf.u32(0); // palette entries
    emf.i32(kDeviceWidth);
    emf.i32(kDeviceHeight);
    emf.i32(kDeviceWidthMicrometres / 1000);
    emf.i32(kDeviceHeightMicrometres / 1000);
    emf.u32(0); // pixel format size, offset, OpenGL
    emf.u32(0);
    emf.u32(0);
    emf.i32(kDeviceWidthMicrometres);
    emf.i32(kDeviceHeightMicrometres);
    emf.raw(stretch.bytes());
    emf.u32(kEmrEof);
    emf.u32(kEofSize);
    emf.u32(0);  // palette entries
    emf.u32(16); // palette offset
    emf.u32(kEofSize);
    return std::move(emf.bytes());
}

} // namespace regdesk::EmfPicture

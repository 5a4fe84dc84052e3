#include "MetafileWriter.h"

#include "BitmapWriter.h"
#include "LittleEndian.h"

#include <algorithm>
#include <stdexcept>

namespace lattix {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kDibRgbColors = 0;

std::uint32_t readU32(ByteView bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The packed DIB of a BMP file: info header, palette and pixels, without the file header.
ByteView packedDib(ByteView bmp)
{
    return bmp.subspan(kFileHeaderBytes);
}

// Bytes of the info header and palette within the packed DIB.
constexpr std::uint32_t kDibInfoBytes = kBitmapHeaderBytes - kFileHeaderBytes;

void putRect(Bytes& out, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    putI32(out, left);
    putI32(out, top);
    putI32(out, right);
    putI32(out, bottom);
}

void putUtf16(Bytes& out, const char16_t* text, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        putU16(out, text[i]);
}

void alignTo4(Bytes& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void patchU32(Bytes& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

BitmapSize requireBitmapSize(ByteView bmp)
{
    const std::optional<BitmapSize> size = readBitmapSize(bmp);
    if (!size)
        throw std::invalid_argument("not a 1-bit bitmap");
    return *size;
}

} // namespace

std::optional<BitmapSize> readBitmapSize(ByteView bmp)
{
    if (bmp.size() < kBitmapHeaderBytes || bmp[0] != 'B' || bmp[1] != 'M')
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(readU32(bmp, 18));
    const auto height = static_cast<std::int32_t>(readU32(bmp, 22));
    if (width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF)
        return std::nullopt;
    if (bmp.size() < kBitmapHeaderBytes + static_cast<std::size_t>(bitmapStride(width)) * height)
        return std::nullopt;
    return BitmapSize{width, height};
}

Bytes encodeEnhancedMetafile(ByteView bmp, const ReferenceDevice& device)
{
    const BitmapSize size = requireBitmapSize(bmp);
    const ByteView dib = packedDib(bmp);
    const std::uint32_t pixelBytes = bitmapStride(size.width) * static_cast<std::uint32_t>(size.height);

    // Application name "EMF_1", empty picture name, as CreateEnhMetaFile stores them.
    constexpr char16_t kDescription[] = u"EMF_1\0";
    constexpr std::size_t kDescriptionChars = 7;
    constexpr std::uint32_t kHeaderFixedBytes = 108;

    Bytes out;
    // EMR_HEADER
    putU32(out, 1);
    putU32(out, 0); // record size, patched below
    // GDI would store inclusive bounds (W - 1, H - 1); converters that take the right and bottom
    // edges as the picture's size (emf2svg) then cut off the last pixel column and row, which holds a
    // truncated symbol's closing bar. LibreOffice renders either form the same.
    putRect(out, 0, 0, size.width, size.height);
    putRect(out, 0, 0, size.width * device.widthMillimetres * 100 / device.widthPixels,
            size.height * device.heightMillimetres * 100 / device.heightPixels);
    putU32(out, 0x464D4520); // " EMF"
    putU32(out, 0x00010000);
    putU32(out, 0); // file size, patched below
    putU32(out, 3); // records
    putU16(out, 1); // handles: the reserved entry only
    putU16(out, 0);
    putU32(out, kDescriptionChars);
    putU32(out, kHeaderFixedBytes);
    putU32(out, 0); // palette entries
    putI32(out, device.widthPixels);
    putI32(out, device.heightPixels);
    putI32(out, device.widthMillimetres);
    putI32(out, device.heightMillimetres);
    putU32(out, 0); // no pixel format
    putU32(out, 0);
    putU32(out, 0); // no OpenGL
    putI32(out, device.widthMillimetres * 1000);
    putI32(out, device.heightMillimetres * 1000);
    putUtf16(out, kDescription, kDescriptionChars);
    alignTo4(out);
    patchU32(out, 4, static_cast<std::uint32_t>(out.size()));

    // EMR_STRETCHDIBITS
    constexpr std::uint32_t kStretchFixedBytes = 80;
    putU32(out, 81);
    putU32(out, kStretchFixedBytes + kDibInfoBytes + pixelBytes);
    putRect(out, 0, 0, size.width - 1, size.height - 1);
    putI32(out, 0); // destination x, y
    putI32(out, 0);
    putI32(out, 0); // source x, y
    putI32(out, 0);
    putI32(out, size.width); // source size
    putI32(out, size.height);
    putU32(out, kStretchFixedBytes);
    putU32(out, kDibInfoBytes);
    putU32(out, kStretchFixedBytes + kDibInfoBytes);
    putU32(out, pixelBytes);
    putU32(out, kDibRgbColors);
    putU32(out, kSrcCopy);
    putI32(out, size.width); // destination size
    putI32(out, size.height);
    out.insert(out.end(), dib.begin(), dib.begin() + kDibInfoBytes + pixelBytes);

    // EMR_EOF
    putU32(out, 14);
    putU32(out, 20);
    putU32(out, 0);  // palette entries
    putU32(out, 16); // offset of the (empty) palette
    putU32(out, 20); // size of this record again

    patchU32(out, 48, static_cast<std::uint32_t>(out.size()));
    return out;
}

Bytes encodeWindowsMetafile(ByteView bmp)
{
    const BitmapSize size = requireBitmapSize(bmp);
    const ByteView dib = packedDib(bmp);
    const std::uint32_t pixelBytes = bitmapStride(size.width) * static_cast<std::uint32_t>(size.height);
    const std::uint32_t stretchWords = (14 * 2 + kDibInfoBytes + pixelBytes + 1) / 2;
    constexpr std::uint32_t kHeaderWords = 9;
    constexpr std::uint32_t kEofWords = 3;

    Bytes out;
    // META_HEADER
    putU16(out, 1); // memory metafile layout, which disk files share
    putU16(out, kHeaderWords);
    putU16(out, 0x0300);
    putU32(out, kHeaderWords + stretchWords + kEofWords);
    putU16(out, 0); // objects
    putU32(out, stretchWords);
    putU16(out, 0);

    // META_STRETCHDIB
    putU32(out, stretchWords);
    putU16(out, 0x0F43);
    putU32(out, kSrcCopy);
    putU16(out, kDibRgbColors);
    putU16(out, static_cast<std::uint32_t>(size.height)); // source height, width, y, x
    putU16(out, static_cast<std::uint32_t>(size.width));
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, static_cast<std::uint32_t>(size.height)); // destination height, width, y, x
    putU16(out, static_cast<std::uint32_t>(size.width));
    putU16(out, 0);
    putU16(out, 0);
    out.insert(out.end(), dib.begin(), dib.begin() + kDibInfoBytes + pixelBytes);
    if (out.size() % 2 != 0)
        out.push_back(0);

    // META_EOF
    putU32(out, kEofWords);
    putU16(out, 0);
    return out;
}

} // namespace lattix

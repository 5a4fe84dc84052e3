#include "barcode/MetafileReader.h"

#include "barcode/LittleEndian.h"

#include <algorithm>
#include <climits>
#include <string>

namespace regdesk::MetafileReader {
namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrStretchDIBits = 81;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint16_t kMetaStretchDib = 0x0F43;
constexpr std::uint16_t kMetaEof = 0x0000;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kDibRgbColors = 0;
constexpr std::uint32_t kBiRgb = 0;
// The encoder's symbols are at most a few hundred pixels each way; this only
// keeps a hostile file from asking for gigabytes.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 24;

using LittleEndian::i16;
using LittleEndian::i32;
using LittleEndian::u16;
using LittleEndian::u32;

Picture failed(const char* utf8Reason)
{
    return Picture{std::nullopt, utf8ToGbk(utf8Reason)};
}

Picture unknownRecord(std::uint32_t type)
{
    return Picture{std::nullopt, "未知的图元记录（类型 "_gbk + std::to_string(type) + "）"_gbk};
}

// A packed device-independent bitmap: the info header with its colour table,
// then the pixel rows.
Picture decodeDib(std::string_view info, std::string_view bits)
{
    if (info.size() < 40 || u32(info, 0) < 40 || u32(info, 0) > info.size())
        return failed("位图信息头不完整");
    const std::int32_t width = i32(info, 4);
    const std::int32_t signedHeight = i32(info, 8);
    const std::uint16_t bitsPerPixel = u16(info, 14);
    if (u32(info, 16) != kBiRgb)
        return failed("位图经过压缩");
    if (width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
        return failed("位图尺寸为零");
    const bool topDown = signedHeight < 0;
    const std::int32_t height = topDown ? -signedHeight : signedHeight;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels)
        return failed("位图过大");
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return failed("位图的颜色位数不受支持");

    // Grey levels of the colour table (blue, green, red, reserved).
    std::vector<std::uint8_t> palette;
    if (bitsPerPixel <= 8) {
        const std::uint32_t used = u32(info, 32);
        const std::size_t entries = used == 0 ? std::size_t{1} << bitsPerPixel : used;
        const std::size_t tableAt = u32(info, 0);
        if (entries > (std::size_t{1} << bitsPerPixel) || tableAt + 4 * entries > info.size())
            return failed("位图颜色表不完整");
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t at = tableAt + 4 * i;
            const unsigned grey =
                (static_cast<unsigned char>(info[at]) * 29U + static_cast<unsigned char>(info[at + 1]) * 150U +
                 static_cast<unsigned char>(info[at + 2]) * 77U) >>
                8;
            palette.push_back(static_cast<std::uint8_t>(grey));
        }
    }

    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    if (stride * static_cast<std::uint64_t>(height) > bits.size())
        return failed("位图像素不完整");

    GreyImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::int32_t fileRow = topDown ? y : height - 1 - y;
        const std::string_view row = bits.substr(static_cast<std::size_t>(stride) * static_cast<std::size_t>(fileRow),
                                                 static_cast<std::size_t>(stride));
        std::uint8_t* out = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (std::int32_t x = 0; x < width; ++x) {
            const auto ux = static_cast<std::size_t>(x);
            if (bitsPerPixel <= 8) {
                const std::size_t bit = ux * bitsPerPixel;
                const unsigned byte = static_cast<unsigned char>(row[bit / 8]);
                const unsigned index = (byte >> (8 - bitsPerPixel - bit % 8)) & ((1U << bitsPerPixel) - 1);
                if (index >= palette.size())
                    return failed("位图像素的颜色不在颜色表中");
                out[x] = palette[index];
            } else {
                const std::size_t at = ux * (bitsPerPixel / 8);
                out[x] = static_cast<std::uint8_t>((static_cast<unsigned char>(row[at]) * 29U +
                                                    static_cast<unsigned char>(row[at + 1]) * 150U +
                                                    static_cast<unsigned char>(row[at + 2]) * 77U) >>
                                                   8);
            }
        }
    }
    return Picture{std::move(image), {}};
}

// The bitmap as the destination rectangle shows it: whole, mirrored where a
// size is negative; an empty rectangle shows nothing.
Picture placed(Picture picture, std::int64_t destinationWidth, std::int64_t destinationHeight)
{
    if (!picture.image)
        return picture;
    if (destinationWidth == 0 || destinationHeight == 0)
        return failed("图片尺寸为零");
    GreyImage& image = *picture.image;
    const auto width = static_cast<std::size_t>(image.width);
    if (destinationWidth < 0) {
        for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y)
            std::reverse(image.pixels.begin() + static_cast<std::ptrdiff_t>(y * width),
                         image.pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * width));
    }
    if (destinationHeight < 0) {
        for (std::size_t top = 0, bottom = static_cast<std::size_t>(image.height) - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(image.pixels.begin() + static_cast<std::ptrdiff_t>(top * width),
                             image.pixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * width),
                             image.pixels.begin() + static_cast<std::ptrdiff_t>(bottom * width));
    }
    return picture;
}

// The parts of one stretch record that both metafile kinds carry.
struct Stretch
{
    std::uint32_t rop = 0;
    std::uint32_t usage = 0;
    std::int64_t sourceX = 0, sourceY = 0, sourceWidth = 0, sourceHeight = 0;
    std::int64_t destinationWidth = 0, destinationHeight = 0;
    std::string_view info;
    std::string_view bits;
};

Picture drawStretch(const Stretch& stretch)
{
    if (stretch.rop != kSrcCopy || stretch.usage != kDibRgbColors)
        return failed("图元记录不是直接复制位图");
    Picture picture = decodeDib(stretch.info, stretch.bits);
    if (!picture.image)
        return picture;
    // Only the whole bitmap: a part of it would be another picture.
    if (stretch.sourceX != 0 || stretch.sourceY != 0 || stretch.sourceWidth != picture.image->width ||
        stretch.sourceHeight != picture.image->height)
        return failed("图元记录只取了位图的一部分");
    return placed(std::move(picture), stretch.destinationWidth, stretch.destinationHeight);
}

} // namespace

std::optional<Format> formatOf(std::string_view file)
{
    if (file.size() >= 44 && u32(file, 0) == kEmrHeader && u32(file, 40) == kEmfSignature)
        return Format::EnhancedMetafile;
    if (file.size() >= 18 && (u16(file, 0) == 1 || u16(file, 0) == 2) && u16(file, 2) == 9)
        return Format::WindowsMetafile;
    if (file.size() >= 2 && file.substr(0, 2) == "BM")
        return Format::Bitmap;
    return std::nullopt;
}

Picture readEnhancedMetafile(std::string_view file)
{
    if (file.empty())
        return failed("文件为空");
    if (formatOf(file) != Format::EnhancedMetafile)
        return failed("不是增强型图元文件");
    const std::uint32_t declaredBytes = u32(file, 48);
    if (declaredBytes > file.size())
        return failed("文件不完整");
    if (declaredBytes < file.size())
        return failed("文件末尾有多余的字节");

    std::optional<Stretch> stretch;
    bool ended = false;
    std::uint32_t records = 0;
    for (std::size_t at = 0; at < file.size();) {
        if (ended)
            return failed("结束记录之后还有记录");
        if (file.size() - at < 8)
            return failed("文件不完整");
        const std::uint32_t type = u32(file, at);
        const std::uint32_t size = u32(file, at + 4);
        if (size < 8 || size % 4 != 0 || size > file.size() - at)
            return failed("图元记录长度不对");
        const std::string_view record = file.substr(at, size);
        ++records;
        if (at == 0) {
            if (type != kEmrHeader || size < 88)
                return failed("图元文件头不对");
        } else if (type == kEmrStretchDIBits) {
            if (stretch)
                return failed("图元文件有第二幅位图");
            if (size < 80)
                return failed("图元记录长度不对");
            const std::uint32_t infoAt = u32(record, 48), infoSize = u32(record, 52);
            const std::uint32_t bitsAt = u32(record, 56), bitsSize = u32(record, 60);
            if (infoAt > size || infoSize > size - infoAt || bitsAt > size || bitsSize > size - bitsAt)
                return failed("图元记录中的位图超出记录");
            stretch = Stretch{u32(record, 68),
                              u32(record, 64),
                              i32(record, 32),
                              i32(record, 36),
                              i32(record, 40),
                              i32(record, 44),
                              i32(record, 72),
                              i32(record, 76),
                              record.substr(infoAt, infoSize),
                              record.substr(bitsAt, bitsSize)};
        } else if (type == kEmrEof) {
            ended = true;
        } else {
            return unknownRecord(type);
        }
        at += size;
    }
    if (!ended)
        return failed("文件不完整");
    if (records != u32(file, 52))
        return failed("图元记录数与文件头不符");
    if (!stretch)
        return failed("图元文件中没有位图");
    return drawStretch(*stretch);
}

Picture readWindowsMetafile(std::string_view file)
{
    if (file.empty())
        return failed("文件为空");
    if (formatOf(file) != Format::WindowsMetafile)
        return failed("不是 Windows 图元文件");
    const std::uint64_t declaredBytes = std::uint64_t{u32(file, 6)} * 2;
    if (declaredBytes > file.size())
        return failed("文件不完整");
    if (declaredBytes < file.size())
        return failed("文件末尾有多余的字节");

    std::optional<Stretch> stretch;
    bool ended = false;
    for (std::size_t at = 18; at < file.size();) {
        if (ended)
            return failed("结束记录之后还有记录");
        if (file.size() - at < 6)
            return failed("文件不完整");
        const std::uint64_t size = std::uint64_t{u32(file, at)} * 2;
        const std::uint16_t function = u16(file, at + 4);
        if (size < 6 || size > file.size() - at)
            return failed("图元记录长度不对");
        const std::string_view record = file.substr(at, static_cast<std::size_t>(size));
        if (function == kMetaStretchDib) {
            if (stretch)
                return failed("图元文件有第二幅位图");
            constexpr std::size_t kDibAt = 28;
            if (record.size() < kDibAt + 40)
                return failed("图元记录长度不对");
            const std::string_view dib = record.substr(kDibAt);
            const std::uint32_t headerSize = u32(dib, 0);
            const std::uint16_t bitsPerPixel = u16(dib, 14);
            const std::uint32_t used = u32(dib, 32);
            const std::uint64_t colours = bitsPerPixel > 8 ? 0 : (used == 0 ? 1U << bitsPerPixel : used);
            const std::uint64_t infoSize = std::uint64_t{headerSize} + 4 * colours;
            if (headerSize < 40 || infoSize > dib.size())
                return failed("图元记录中的位图超出记录");
            stretch = Stretch{u32(record, 6),
                              u16(record, 10),
                              i16(record, 18), // source x, y, width, height
                              i16(record, 16),
                              i16(record, 14),
                              i16(record, 12),
                              i16(record, 22), // destination width, height
                              i16(record, 20),
                              dib.substr(0, static_cast<std::size_t>(infoSize)),
                              dib.substr(static_cast<std::size_t>(infoSize))};
        } else if (function == kMetaEof && size == 6) {
            ended = true;
        } else {
            return unknownRecord(function);
        }
        at += static_cast<std::size_t>(size);
    }
    if (!ended)
        return failed("文件不完整");
    if (!stretch)
        return failed("图元文件中没有位图");
    return drawStretch(*stretch);
}

Picture readBitmapFile(std::string_view file)
{
    if (file.empty())
        return failed("文件为空");
    if (formatOf(file) != Format::Bitmap || file.size() < 54)
        return failed("不是位图文件");
    const std::uint32_t pixelsAt = u32(file, 10);
    if (pixelsAt < 54 || pixelsAt > file.size())
        return failed("文件不完整");
    return decodeDib(file.substr(14, pixelsAt - 14), file.substr(pixelsAt));
}

} // namespace regdesk::MetafileReader

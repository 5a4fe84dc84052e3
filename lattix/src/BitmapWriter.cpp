#include "BitmapWriter.h"

#include "CodewordTable.h"
#include "LittleEndian.h"
#include "SymbolLayout.h"

namespace lattix {
namespace {

// Start and stop patterns as bit strings, a bar as 1 (ISO/IEC 15438 start and stop patterns): 8 1 1 1 1 1 1 3 and
// 7 1 1 3 1 1 1 2 1.
constexpr std::uint32_t kStartPattern = 0b11111111'0'1'0'1'0'1'000;
constexpr int kStartModules = 17;
constexpr std::uint32_t kStopPattern = 0b1111111'0'1'000'1'0'1'00'1;
constexpr int kStopModules = 18;
constexpr int kCodewordModules = 17;

// Appends bit strings to a packed row, most significant bit first.
class RowWriter
{
public:
    explicit RowWriter(std::uint8_t* row) : m_row(row) {}

    void put(std::uint32_t bits, int count)
    {
        m_bits = (m_bits << count) | bits;
        m_pending += count;
        while (m_pending >= 8) {
            m_pending -= 8;
            *m_row++ = static_cast<std::uint8_t>(m_bits >> m_pending);
        }
    }

    // Writes the last, partly filled byte.
    void finish()
    {
        if (m_pending > 0)
            *m_row = static_cast<std::uint8_t>(m_bits << (8 - m_pending));
    }

private:
    std::uint8_t* m_row;
    std::uint64_t m_bits = 0;
    int m_pending = 0;
};

} // namespace

SymbolImage drawSymbol(const Symbol& symbol)
{
    SymbolImage image;
    image.width = symbol.truncated ? 17 * (symbol.cols + 2) + 1 : 17 * symbol.cols + 69;
    image.height = symbol.rows;
    image.rowBytes = (static_cast<std::size_t>(image.width) + 7) / 8;
    image.rows.assign(image.rowBytes * static_cast<std::size_t>(image.height), 0);
    for (int row = 0; row < symbol.rows; ++row) {
        // Clusters 0, 3 and 6 in turn; the table holds them at indexes 0, 1 and 2.
        const std::uint32_t* patterns = kCodewordPatterns[row % 3];
        RowWriter writer(image.rows.data() + static_cast<std::size_t>(row) * image.rowBytes);
        writer.put(kStartPattern, kStartModules);
        writer.put(patterns[symbol.leftRowIndicator(row)], kCodewordModules);
        for (int col = 0; col < symbol.cols; ++col)
            writer.put(patterns[symbol.codewordAt(row, col)], kCodewordModules);
        if (symbol.truncated) {
            writer.put(1, 1);
        } else {
            writer.put(patterns[symbol.rightRowIndicator(row)], kCodewordModules);
            writer.put(kStopPattern, kStopModules);
        }
        writer.finish();
    }
    return image;
}

Bytes encodeBitmap(const SymbolImage& image)
{
    const std::uint32_t stride = bitmapStride(image.width);
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height);
    Bytes out;
    out.reserve(kBitmapHeaderBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    putU32(out, pixelBytes + kBitmapHeaderBytes);
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, kBitmapHeaderBytes);
    putU32(out, 40);
    putI32(out, image.width);
    putI32(out, image.height);
    putU16(out, 1);
    putU16(out, 1);
    putU32(out, 0);
    putU32(out, pixelBytes);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 2);
    putU32(out, 0x00000000); // colour 0: black
    putU32(out, 0x00FFFFFF); // colour 1: white

    // Bars are colour 0, so the bits are inverted; bits past the width stay 0.
    const int tailBits = image.width % 8;
    const auto lastByteMask = static_cast<std::uint8_t>(tailBits == 0 ? 0xFF : 0xFF << (8 - tailBits));
    out.resize(kBitmapHeaderBytes + pixelBytes, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* source = image.rows.data() + static_cast<std::size_t>(y) * image.rowBytes;
        std::uint8_t* target =
            out.data() + kBitmapHeaderBytes + static_cast<std::size_t>(image.height - 1 - y) * stride;
        for (std::size_t i = 0; i < image.rowBytes; ++i)
            target[i] = static_cast<std::uint8_t>(~source[i]);
        target[image.rowBytes - 1] &= lastByteMask;
    }
    return out;
}

} // namespace lattix

#include "BitmapWriter.h"

#include "CodewordTable.h"
#include "LittleEndian.h"
#include "SymbolLayout.h"

namespace lattix {
namespace {

// Start and stop patterns as module widths, bars and spaces alternating from a bar.
constexpr int kStartPattern[] = {8, 1, 1, 1, 1, 1, 1, 3};
constexpr int kStopPattern[] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
constexpr int kCodewordModules = 17;

class RowPainter
{
public:
    explicit RowPainter(std::vector<bool>::iterator row) : m_row(row) {}

    template <std::size_t N> void widths(const int (&pattern)[N])
    {
        bool bar = true;
        for (int width : pattern) {
            for (int i = 0; i < width; ++i)
                *m_row++ = bar;
            bar = !bar;
        }
    }

    void codeword(int cluster, int value)
    {
        const std::uint32_t pattern = kCodewordPatterns[cluster][value];
        for (int bit = kCodewordModules - 1; bit >= 0; --bit)
            *m_row++ = ((pattern >> bit) & 1U) != 0;
    }

    void closingBar() { *m_row++ = true; }

private:
    std::vector<bool>::iterator m_row;
};

} // namespace

SymbolImage drawSymbol(const Symbol& symbol)
{
    SymbolImage image;
    image.width = symbol.truncated ? 17 * (symbol.cols + 2) + 1 : 17 * symbol.cols + 69;
    image.height = symbol.rows;
    image.bars.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), false);
    for (int row = 0; row < symbol.rows; ++row) {
        // Clusters 0, 3 and 6 in turn; the table holds them at indexes 0, 1 and 2.
        const int cluster = row % 3;
        RowPainter painter(image.bars.begin() + static_cast<std::ptrdiff_t>(row) * image.width);
        painter.widths(kStartPattern);
        painter.codeword(cluster, symbol.leftRowIndicator(row));
        for (int col = 0; col < symbol.cols; ++col)
            painter.codeword(cluster, symbol.codewordAt(row, col));
        if (symbol.truncated) {
            painter.closingBar();
        } else {
            painter.codeword(cluster, symbol.rightRowIndicator(row));
            painter.widths(kStopPattern);
        }
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

    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        out.resize(rowStart + stride, 0);
        for (int x = 0; x < image.width; ++x) {
            // Bars are colour 0; spaces set their bit.
            if (!image.isBar(x, y))
                out[rowStart + static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80U >> (x % 8));
        }
    }
    return out;
}

} // namespace lattix

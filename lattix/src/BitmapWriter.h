#pragma once

#include "Bytes.h"

#include <cstddef>
#include <cstdint>

namespace lattix {

struct Symbol;

// A symbol drawn one pixel per module and per row, each row packed eight pixels to a byte with the
// leftmost pixel in the top bit and a set bit for a bar.
struct SymbolImage
{
    int width = 0;
    int height = 0;
    std::size_t rowBytes = 0;
    Bytes rows;

    bool isBar(int x, int y) const
    {
        const std::uint8_t byte = rows[static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x / 8)];
        return ((byte >> (7 - x % 8)) & 1U) != 0;
    }
};

// Row content of the ISO/IEC 15438 symbol structure: start pattern, left row indicator, the data codewords, right row
// indicator and stop pattern, or for a truncated symbol a single closing bar after the data.
SymbolImage drawSymbol(const Symbol& symbol);

// TempPdf.bmp: a bottom-up 1-bit BMP with a black-and-white palette, bars black.
Bytes encodeBitmap(const SymbolImage& image);

// Bytes per BMP pixel row of a 1-bit image: whole bytes, rounded up to a multiple of 4.
constexpr std::uint32_t bitmapStride(int width)
{
    return ((static_cast<std::uint32_t>(width) + 7) / 8 + 3) / 4 * 4;
}

constexpr std::uint32_t kBitmapHeaderBytes = 62;

} // namespace lattix

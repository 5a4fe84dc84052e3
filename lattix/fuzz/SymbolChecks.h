#pragma once

#include "Encoder.h"
#include "MetafileWriter.h"
#include "SymbolLayout.h"

#include <cstdlib>

namespace lattix::fuzz {

// Stops the run when a symbol or its files break the format's limits.
inline void checkSymbol(const Symbol& symbol)
{
    const bool sizeOk = symbol.rows >= 3 && symbol.rows <= 90 && symbol.cols >= 1 && symbol.cols <= 30 &&
                        symbol.rows * symbol.cols <= kMaxCodewords && symbol.level >= 0 && symbol.level <= 8;
    if (!sizeOk || symbol.codewords.size() != static_cast<std::size_t>(symbol.rows * symbol.cols))
        std::abort();
    for (int codeword : symbol.codewords) {
        if (codeword < 0 || codeword > 928)
            std::abort();
    }
    const SymbolFiles files = renderSymbolFiles(symbol);
    const std::optional<BitmapSize> size = readBitmapSize(files.bitmap);
    const int width = symbol.truncated ? 17 * (symbol.cols + 2) + 1 : 17 * symbol.cols + 69;
    if (!size || size->width != width || size->height != symbol.rows)
        std::abort();
    if (files.codewordDump.size() != (symbol.codewords.size() + 1) * 5)
        std::abort();
}

} // namespace lattix::fuzz

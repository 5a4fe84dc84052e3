#include "SymbolLayout.h"

#include "ErrorCorrection.h"
#include "ProfileReader.h"
#include "SymbolSettings.h"

#include <algorithm>
#include <cstdlib>

namespace lattix {
namespace {

constexpr int kMaxRows = 90;
constexpr int kMinRows = 3;
constexpr int kMaxCols = 30;
constexpr int kMaxLevel = 8;

int ceilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// Height against width in modules for an automatic size.
long long shapeDifference(int rows, int cols, long long rowShape)
{
    return std::llabs(rows * rowShape - (17LL * cols + 69));
}

} // namespace

int Symbol::leftRowIndicator(int row) const
{
    const int group = 30 * (row / 3);
    switch (row % 3) {
    case 0:
        return group + (rows - 1) / 3;
    case 1:
        return group + 3 * level + (rows - 1) % 3;
    default:
        return group + cols - 1;
    }
}

int Symbol::rightRowIndicator(int row) const
{
    const int group = 30 * (row / 3);
    switch (row % 3) {
    case 0:
        return group + cols - 1;
    case 1:
        return group + (rows - 1) / 3;
    default:
        return group + 3 * level + (rows - 1) % 3;
    }
}

int chooseErrorCorrectionLevel(int d, const SymbolSettings& settings)
{
    if (!settings.eccLevel.empty() && settings.eccLevel[0] >= '0' && settings.eccLevel[0] <= '8')
        return settings.eccLevel[0] - '0';
    if (settings.eccPercent == 401)
        return 4;
    const int percent = settings.eccPercent >= 2 && settings.eccPercent <= 100 ? settings.eccPercent : 10;
    const int wanted = percent * d / 100;
    int level = 0;
    while (level < kMaxLevel && errorCorrectionCount(level) < wanted)
        ++level;
    return level;
}

long long aspectRatio(std::string_view aspect)
{
    const std::size_t colon = aspect.find(':');
    const long long width = std::max(1, parseLeadingInt(aspect.substr(0, colon)));
    long long height = colon == std::string_view::npos ? 0 : parseLeadingInt(aspect.substr(colon + 1));
    if (height < 1)
        height = 2;
    return std::max(1LL, height / width);
}

SymbolSize chooseSymbolSize(int n, const SymbolSettings& settings)
{
    const long long rowShape = aspectRatio(settings.aspect);
    const bool colsFixed = settings.cols >= 1 && settings.cols <= kMaxCols;
    bool rowsFixed = settings.rows >= 1 && settings.rows <= kMaxRows;
    SymbolSize size{rowsFixed ? settings.rows : 0, colsFixed ? settings.cols : 0};

    if (!colsFixed && !rowsFixed) {
        // Widen the symbol until its height against its width stops improving; the first worse
        // width is the one taken.
        size = {n, 1};
        long long previous = shapeDifference(size.rows, size.cols, rowShape);
        for (int cols = 2;; ++cols) {
            const int rows = ceilDiv(n, cols);
            const long long difference = shapeDifference(rows, cols, rowShape);
            size = {rows, cols};
            if (difference > previous)
                break;
            previous = difference;
        }
    } else if (colsFixed) {
        if (rowsFixed && size.rows * size.cols < n)
            rowsFixed = false;
        if (!rowsFixed)
            size.rows = ceilDiv(n, size.cols);
    } else {
        size.cols = ceilDiv(n, size.rows);
    }

    if (size.rows > kMaxRows) {
        size.rows = kMaxRows;
        while (kMaxRows * size.cols < n)
            ++size.cols;
    }
    if (size.cols > kMaxCols) {
        size.cols = kMaxCols;
        while (kMaxCols * size.rows < n)
            ++size.rows;
    }
    size.rows = std::max(size.rows, kMinRows);
    return size;
}

std::optional<Symbol> layOutSymbol(std::span<const int> data, const SymbolSettings& settings)
{
    // Bigger inputs cannot fit whatever the settings; stop before sizes grow large.
    if (data.size() >= static_cast<std::size_t>(kMaxCodewords))
        return std::nullopt;
    const int d = static_cast<int>(data.size()) + 1;
    const int level = chooseErrorCorrectionLevel(d, settings);
    const int k = errorCorrectionCount(level);
    const SymbolSize size = chooseSymbolSize(d + k, settings);
    const long long capacity = static_cast<long long>(size.rows) * size.cols;
    if (capacity > kMaxCodewords)
        return std::nullopt;

    Symbol symbol;
    symbol.rows = size.rows;
    symbol.cols = size.cols;
    symbol.level = level;
    symbol.truncated = settings.truncated != 0;
    const int dataPositions = static_cast<int>(capacity) - k;
    symbol.codewords.reserve(static_cast<std::size_t>(capacity));
    symbol.codewords.push_back(dataPositions);
    symbol.codewords.insert(symbol.codewords.end(), data.begin(), data.end());
    symbol.codewords.resize(static_cast<std::size_t>(dataPositions), kPadCodeword);
    const std::vector<int> check = computeErrorCorrection(symbol.codewords, level);
    symbol.codewords.insert(symbol.codewords.end(), check.begin(), check.end());
    return symbol;
}

} // namespace lattix

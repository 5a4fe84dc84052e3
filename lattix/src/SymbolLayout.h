#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace lattix {

struct SymbolSettings;

struct SymbolSize
{
    int rows = 0;
    int cols = 0;

    bool operator==(const SymbolSize&) const = default;
};

// A finished symbol: rows x cols codewords (descriptor, data, pads, check codewords), row by row.
struct Symbol
{
    int rows = 0;
    int cols = 0;
    int level = 0;
    bool truncated = false;
    std::vector<int> codewords;

    int codewordAt(int row, int col) const { return codewords[static_cast<std::size_t>(row * cols + col)]; }
    int leftRowIndicator(int row) const;
    int rightRowIndicator(int row) const;
};

constexpr int kMaxCodewords = 928;
constexpr int kPadCodeword = 900;

// The error-correction level for d codeword positions (descriptor included): ECCLevel when it names one,
// level 4 for ECCPercent 401, otherwise the smallest level with at least ECCPercent % of d check codewords.
int chooseErrorCorrectionLevel(int d, const SymbolSettings& settings);

// Row shape r from an Aspect text "W:H": H / W in whole numbers, at least 1.
long long aspectRatio(std::string_view aspect);

// Rows and data columns for n codewords by the fixed counts of the settings or the aspect search.
SymbolSize chooseSymbolSize(int n, const SymbolSettings& settings);

// Lays the data codewords (without descriptor) out in a symbol; nullopt when it would need 929 or
// more codewords.
std::optional<Symbol> layOutSymbol(std::span<const int> data, const SymbolSettings& settings);

} // namespace lattix

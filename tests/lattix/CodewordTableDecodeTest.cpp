// Proves every pattern of the codeword table through an independent decoder. With error-correction
// level 0 a decoder can mend one wrong codeword only, so when every value stands at least twice in
// rows of its cluster, a single wrong table entry makes the symbol fail or decode to other bytes.
#include "BitmapWriter.h"
#include "ErrorCorrection.h"
#include "HighLevelEncoder.h"
#include "SymbolLayout.h"
#include "SymbolSettings.h"
#include "support/ZxingDecoder.h"

#include <array>
#include <deque>
#include <gtest/gtest.h>

namespace lattix {
namespace {

constexpr int kCols = 30;
constexpr int kRows = 30;
constexpr int kValues = 900; // 900..928 are mode codewords; they are met in the round trips
// The first of five base-900 digits of a six-byte group stays below this, so the group is below 2^48.
constexpr int kFirstDigitLimit = 429;
constexpr std::size_t kGroupSize = 5;

struct TableProofSymbol
{
    std::vector<int> data; // 924 and the groups
    Bytes bytes;           // what the groups stand for
};

// Fills one symbol with groups whose codewords are the values that each cluster still needs.
TableProofSymbol nextSymbol(std::array<std::deque<int>, 3>& wanted)
{
    TableProofSymbol symbol;
    symbol.data.push_back(kLatchByteSix);
    // Position 0 is the descriptor and position 1 the latch; rows of kCols positions.
    const int dataPositions = kRows * kCols - errorCorrectionCount(0);
    int position = 2;
    while (position + static_cast<int>(kGroupSize) <= dataPositions) {
        std::array<int, kGroupSize> group{};
        for (std::size_t slot = 0; slot < kGroupSize; ++slot, ++position) {
            std::deque<int>& queue = wanted[static_cast<std::size_t>((position / kCols) % 3)];
            const int limit = slot == 0 ? kFirstDigitLimit : kValues;
            auto it = std::find_if(queue.begin(), queue.end(), [limit](int value) { return value < limit; });
            if (it == queue.end()) {
                group[slot] = position % limit;
            } else {
                group[slot] = *it;
                queue.erase(it);
            }
        }
        std::uint64_t value = 0;
        for (int digit : group)
            value = value * kValues + static_cast<std::uint64_t>(digit);
        for (int shift = 40; shift >= 0; shift -= 8)
            symbol.bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
        symbol.data.insert(symbol.data.end(), group.begin(), group.end());
    }
    return symbol;
}

TEST(CodewordTableDecode, EveryPatternOfEveryClusterDecodesInLevelZeroSymbols)
{
    std::array<std::deque<int>, 3> wanted;
    for (auto& queue : wanted) {
        for (int round = 0; round < 2; ++round) {
            for (int value = 0; value < kValues; ++value)
                queue.push_back(value);
        }
    }
    SymbolSettings settings;
    settings.eccLevel = "0";
    settings.rows = kRows;
    settings.cols = kCols;

    std::array<std::vector<int>, 3> seen;
    for (auto& counts : seen)
        counts.assign(929, 0);
    int symbols = 0;
    while (std::any_of(wanted.begin(), wanted.end(), [](const auto& queue) { return !queue.empty(); })) {
        ASSERT_LT(symbols, 20) << "the symbols do not place every value";
        const TableProofSymbol proof = nextSymbol(wanted);
        const std::optional<Symbol> symbol = layOutSymbol(proof.data, settings);
        ASSERT_TRUE(symbol.has_value());
        ASSERT_EQ(symbol->level, 0);
        ASSERT_EQ(symbol->rows, kRows);
        for (int row = 0; row < symbol->rows; ++row) {
            for (int col = 0; col < symbol->cols; ++col)
                ++seen[static_cast<std::size_t>(row % 3)][static_cast<std::size_t>(symbol->codewordAt(row, col))];
        }
        const std::optional<Bytes> decoded = test::decodeBitmap(encodeBitmap(drawSymbol(*symbol)));
        ASSERT_TRUE(decoded.has_value()) << "symbol " << symbols << " did not decode";
        EXPECT_EQ(*decoded, proof.bytes) << "symbol " << symbols;
        ++symbols;
    }
    for (std::size_t cluster = 0; cluster < 3; ++cluster) {
        for (int value = 0; value < kValues; ++value)
            EXPECT_GE(seen[cluster][static_cast<std::size_t>(value)], 2)
                << "cluster " << 3 * cluster << " value " << value;
    }
}

} // namespace
} // namespace lattix

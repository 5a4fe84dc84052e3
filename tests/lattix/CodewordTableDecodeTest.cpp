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
constexpr int kValues = 900; // 900..928 are mode codewords: checked as check codewords below
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

// Codewords 900..928 cannot stand as data, so they are made the two check codewords: in a level 0
// symbol of two columns, the last two codewords of a six-byte group are solved for so that both check
// codewords take the wanted value (the check codewords are linear in the data over GF(929)).
int modInverse(int value)
{
    int result = 1;
    int base = value % 929;
    for (int exponent = 927; exponent > 0; exponent /= 2) {
        if (exponent & 1)
            result = result * base % 929;
        base = base * base % 929;
    }
    return result;
}

struct SolvedSymbol
{
    std::vector<int> data;
    Bytes bytes;
};

// Data 924, g0..g4 whose symbol of rows x 2 codewords ends with check codewords (target, target).
std::optional<SolvedSymbol> solveForCheckCodewords(int rows, int target)
{
    SymbolSettings settings;
    settings.eccLevel = "0";
    settings.rows = rows;
    settings.cols = 2;
    const int dataPositions = rows * 2 - 2;
    const auto symbolData = [&](const std::array<int, 5>& group) {
        std::vector<int> full = {dataPositions, kLatchByteSix};
        full.insert(full.end(), group.begin(), group.end());
        full.resize(static_cast<std::size_t>(dataPositions), kPadCodeword);
        return full;
    };
    const auto unitCheck = [&](std::size_t position) {
        std::vector<int> unit(static_cast<std::size_t>(dataPositions), 0);
        unit[position] = 1;
        return computeErrorCorrection(unit, 0);
    };
    const std::vector<int> u = unitCheck(5);
    const std::vector<int> v = unitCheck(6);
    for (int free = 0; free < 900; ++free) {
        const std::array<int, 5> base = {free % kFirstDigitLimit, 7, free, 0, 0};
        const std::vector<int> b = computeErrorCorrection(symbolData(base), 0);
        const int det = ((u[0] * v[1] - u[1] * v[0]) % 929 + 929) % 929;
        if (det == 0)
            return std::nullopt;
        const int r0 = ((target - b[0]) % 929 + 929) % 929;
        const int r1 = ((target - b[1]) % 929 + 929) % 929;
        const int inverse = modInverse(det);
        const int x = ((r0 * v[1] - r1 * v[0]) % 929 + 929) % 929 * inverse % 929;
        const int y = ((u[0] * r1 - u[1] * r0) % 929 + 929) % 929 * inverse % 929;
        if (x >= kValues || y >= kValues)
            continue;
        const std::array<int, 5> group = {base[0], base[1], base[2], x, y};
        SolvedSymbol solved;
        solved.data.push_back(kLatchByteSix);
        solved.data.insert(solved.data.end(), group.begin(), group.end());
        std::uint64_t value = 0;
        for (int digit : group)
            value = value * kValues + static_cast<std::uint64_t>(digit);
        for (int shift = 40; shift >= 0; shift -= 8)
            solved.bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
        return solved;
    }
    return std::nullopt;
}

TEST(CodewordTableDecode, ModeCodewordPatternsDecodeAsTwinCheckCodewords)
{
    // The last row of 5, 6 and 7 rows uses cluster 3, 6 and 0.
    for (int rows : {5, 6, 7}) {
        for (int target = 900; target <= 928; ++target) {
            const std::optional<SolvedSymbol> solved = solveForCheckCodewords(rows, target);
            ASSERT_TRUE(solved.has_value()) << "rows " << rows << " value " << target;
            SymbolSettings settings;
            settings.eccLevel = "0";
            settings.rows = rows;
            settings.cols = 2;
            const std::optional<Symbol> symbol = layOutSymbol(solved->data, settings);
            ASSERT_TRUE(symbol.has_value());
            ASSERT_EQ(symbol->codewordAt(rows - 1, 0), target);
            ASSERT_EQ(symbol->codewordAt(rows - 1, 1), target);
            const std::optional<Bytes> decoded = test::decodeBitmap(encodeBitmap(drawSymbol(*symbol)));
            ASSERT_TRUE(decoded.has_value()) << "rows " << rows << " value " << target;
            EXPECT_EQ(*decoded, solved->bytes) << "rows " << rows << " value " << target;
        }
    }
}

} // namespace
} // namespace lattix

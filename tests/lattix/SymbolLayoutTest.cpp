#include "SymbolLayout.h"

#include "ErrorCorrection.h"
#include "SymbolSettings.h"

#include <gtest/gtest.h>
#include <numeric>

namespace lattix {
namespace {

struct LevelCase
{
    const char* name;
    int d;
    int eccPercent;
    const char* eccLevel;
    int level;
};

class ErrorCorrectionLevelChoice : public testing::TestWithParam<LevelCase>
{
};

TEST_P(ErrorCorrectionLevelChoice, PicksTheLevel)
{
    SymbolSettings settings;
    settings.eccPercent = GetParam().eccPercent;
    settings.eccLevel = GetParam().eccLevel;
    EXPECT_EQ(chooseErrorCorrectionLevel(GetParam().d, settings), GetParam().level);
}

const LevelCase kLevelCases[] = {
    {"TwoPositionsAtDefaultsGetLevel0", 2, 40, "9", 0},
    {"HundredPositionsAtDefaultsGetLevel5", 100, 40, "9", 5},
    {"TwoCheckCodewordsCoverE2", 5, 40, "9", 0}, // e = 2
    {"ThreeNeedLevel1", 8, 40, "9", 1},          // e = 3
    {"ThirtyTwoStayLevel4", 80, 40, "9", 4},     // e = 32
    {"ThirtyThreeNeedLevel5", 83, 40, "9", 5},   // e = 33
    {"AboveTwoHundredFiftySixIsLevel8", 700, 40, "9", 8},
    {"Percent401IsLevel4ForSmallData", 2, 401, "9", 4},
    {"Percent401IsLevel4ForLargeData", 900, 401, "9", 4},
    {"Percent1CountsAs10", 100, 1, "9", 3}, // e = 10
    {"Percent101CountsAs10", 100, 101, "9", 3},
    {"Percent100", 100, 100, "9", 6}, // e = 100
    {"Percent2", 100, 2, "9", 0},
    {"LevelKeyWinsOverPercent", 900, 100, "3", 3},
    {"LevelKeyZero", 900, 40, "0", 0},
    {"LevelKeyEight", 2, 40, "8", 8},
    {"LevelKeyNineIsAutomatic", 100, 40, "9", 5},
    {"OnlyTheFirstCharacterCounts", 100, 40, "2x", 2},
    {"LetterIsAutomatic", 100, 40, "a", 5},
    {"EmptyIsAutomatic", 100, 40, "", 5},
    {"LevelKeyWinsOver401", 2, 401, "1", 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, ErrorCorrectionLevelChoice, testing::ValuesIn(kLevelCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct SizeCase
{
    const char* name;
    int n;
    int rows;
    int cols;
    const char* aspect;
    SymbolSize expected;
};

class SymbolSizeChoice : public testing::TestWithParam<SizeCase>
{
};

TEST_P(SymbolSizeChoice, PicksRowsAndColumns)
{
    SymbolSettings settings;
    settings.rows = GetParam().rows;
    settings.cols = GetParam().cols;
    settings.aspect = GetParam().aspect;
    const SymbolSize size = chooseSymbolSize(GetParam().n, settings);
    EXPECT_EQ(size.rows, GetParam().expected.rows);
    EXPECT_EQ(size.cols, GetParam().expected.cols);
}

const SizeCase kSizeCases[] = {
    {"AutomaticN4StopsAtTwoColumnsRaisedToThreeRows", 4, 0, 0, "1:2", {3, 2}},
    {"AutomaticN100TakesTheFirstWorseWidth", 100, 0, 0, "1:2", {34, 3}},
    {"AutomaticN30", 30, 0, 0, "1:2", {15, 2}},
    {"FixedRowsAndColsTooSmallMakeRowsAutomatic", 30, 4, 5, "1:2", {6, 5}},
    {"FixedRowsAndColsLargeEnoughStay", 30, 10, 5, "1:2", {10, 5}},
    {"FixedColsOnly", 100, 0, 7, "1:2", {15, 7}},
    {"FixedRowsOnly", 100, 10, 0, "1:2", {10, 10}},
    {"OneRowWantsHundredColumnsCappedAt30", 100, 1, 0, "1:2", {4, 30}},
    {"OneColumnNeedsMoreThan90Rows", 200, 0, 1, "1:2", {90, 3}},
    {"Rows91IsAutomatic", 100, 91, 0, "1:2", {34, 3}},
    {"Cols31IsAutomatic", 100, 0, 31, "1:2", {34, 3}},
    {"NegativeRowsAreAutomatic", 100, -3, 0, "1:2", {34, 3}},
    {"RowsBelowThreeAreRaised", 4, 2, 2, "1:2", {3, 2}},
    {"SquareAspect", 100, 0, 0, "1:1", {50, 2}},
    {"AspectWithoutWidthCountsAsOne", 100, 0, 0, "0:2", {34, 3}},
    {"AspectWithoutHeightCountsAsTwo", 100, 0, 0, "1:0", {34, 3}},
    {"WideAspectRoundsUpToOne", 100, 0, 0, "3:2", {50, 2}},
    {"TallAspect", 100, 0, 0, "1:8", {17, 6}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SymbolSizeChoice, testing::ValuesIn(kSizeCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The codewords of a symbol make a polynomial with the roots 3^1..3^k (ISO/IEC 15438 error correction).
int evaluateAt(const std::vector<int>& codewords, int x)
{
    int value = 0;
    for (int codeword : codewords)
        value = (value * x + codeword) % 929;
    return value;
}

TEST(ErrorCorrection, EveryLevelGivesCodewordsWithTheGeneratorRoots)
{
    std::vector<int> data(60);
    std::iota(data.begin(), data.end(), 870); // values close to 929 too
    for (int& value : data)
        value %= 929;
    for (int level = 0; level <= 8; ++level) {
        const std::vector<int> check = computeErrorCorrection(data, level);
        ASSERT_EQ(static_cast<int>(check.size()), errorCorrectionCount(level));
        std::vector<int> whole = data;
        whole.insert(whole.end(), check.begin(), check.end());
        int root = 1;
        for (int i = 1; i <= errorCorrectionCount(level); ++i) {
            root = root * 3 % 929;
            EXPECT_EQ(evaluateAt(whole, root), 0) << "level " << level << " root 3^" << i;
        }
        for (int value : check) {
            EXPECT_GE(value, 0);
            EXPECT_LE(value, 928);
        }
    }
}

TEST(ErrorCorrection, AllZeroDataHasAllZeroCheckCodewords)
{
    const std::vector<int> check = computeErrorCorrection(std::vector<int>(10, 0), 3);
    EXPECT_EQ(check, std::vector<int>(16, 0));
}

TEST(SymbolLayout, TwoPositionSymbolHasDescriptorDataPadsAndCheckCodewords)
{
    const std::optional<Symbol> symbol = layOutSymbol(std::vector<int>{65}, SymbolSettings{});
    ASSERT_TRUE(symbol.has_value());
    EXPECT_EQ(symbol->rows, 3);
    EXPECT_EQ(symbol->cols, 2);
    EXPECT_EQ(symbol->level, 0);
    ASSERT_EQ(symbol->codewords.size(), 6U);
    EXPECT_EQ(std::vector<int>(symbol->codewords.begin(), symbol->codewords.begin() + 4),
              (std::vector<int>{4, 65, 900, 900}));
    EXPECT_EQ(std::vector<int>(symbol->codewords.begin() + 4, symbol->codewords.end()),
              computeErrorCorrection(std::vector<int>{4, 65, 900, 900}, 0));
}

TEST(SymbolLayout, CodewordLimitIsJustBelow929)
{
    SymbolSettings settings;
    settings.eccLevel = "0";
    settings.cols = 29;
    settings.rows = 32; // 928 positions
    EXPECT_TRUE(layOutSymbol(std::vector<int>(925, 1), settings).has_value());
    EXPECT_FALSE(layOutSymbol(std::vector<int>(926, 1), settings).has_value());
    // d = 900, k = 64: 964 codewords cannot fit.
    SymbolSettings level5;
    level5.eccLevel = "5";
    EXPECT_FALSE(layOutSymbol(std::vector<int>(899, 1), level5).has_value());
}

struct IndicatorCase
{
    int rows;
    int cols;
    int level;
    int row;
    int left;
    int right;
};

TEST(SymbolLayout, RowIndicatorsFollowTheRowNumberModuloThree)
{
    const IndicatorCase cases[] = {
        {10, 4, 2, 0, 3, 3},   {10, 4, 2, 1, 6, 3},   {10, 4, 2, 2, 3, 6},
        {10, 4, 2, 3, 33, 33}, {10, 4, 2, 9, 93, 93}, {90, 30, 8, 88, 896, 899},
    };
    for (const IndicatorCase& c : cases) {
        Symbol symbol;
        symbol.rows = c.rows;
        symbol.cols = c.cols;
        symbol.level = c.level;
        EXPECT_EQ(symbol.leftRowIndicator(c.row), c.left) << "row " << c.row;
        EXPECT_EQ(symbol.rightRowIndicator(c.row), c.right) << "row " << c.row;
    }
}

} // namespace
} // namespace lattix

#include "BitmapWriter.h"
#include "CodewordDump.h"
#include "CodewordTable.h"
#include "Encoder.h"
#include "MetafileWriter.h"
#include "SymbolLayout.h"
#include "SymbolSettings.h"

#include <gtest/gtest.h>
#include <numeric>

namespace lattix {
namespace {

std::uint32_t u32At(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint32_t u16At(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

Symbol symbolOf(int rows, int cols, bool truncated, int firstValue = 0)
{
    Symbol symbol;
    symbol.rows = rows;
    symbol.cols = cols;
    symbol.truncated = truncated;
    symbol.codewords.resize(static_cast<std::size_t>(rows * cols));
    std::iota(symbol.codewords.begin(), symbol.codewords.end(), firstValue);
    return symbol;
}

// Bar and space widths of pixels [from, from + length) of one image row.
std::vector<int> widthsOf(const SymbolImage& image, int y, int from, int length)
{
    std::vector<int> widths;
    bool bar = true;
    int run = 0;
    for (int x = from; x < from + length; ++x) {
        if (image.isBar(x, y) == bar) {
            ++run;
        } else {
            widths.push_back(run);
            bar = !bar;
            run = 1;
        }
    }
    widths.push_back(run);
    return widths;
}

struct BitmapSizeCase
{
    const char* name;
    int rows;
    int cols;
    bool truncated;
    std::uint32_t width;
    std::uint32_t stride;
};

class BitmapSizes : public testing::TestWithParam<BitmapSizeCase>
{
};

TEST_P(BitmapSizes, HeadersMatchTheLayoutTable)
{
    const BitmapSizeCase& c = GetParam();
    const Bytes bmp = encodeBitmap(drawSymbol(symbolOf(c.rows, c.cols, c.truncated)));
    const std::uint32_t imageBytes = c.stride * static_cast<std::uint32_t>(c.rows);
    ASSERT_EQ(bmp.size(), imageBytes + 62);
    const Bytes header(bmp.begin(), bmp.begin() + 62);
    Bytes expected = {'B', 'M'};
    for (std::uint32_t value : {imageBytes + 62, 0U, 62U, 40U, c.width, static_cast<std::uint32_t>(c.rows)})
        for (int i = 0; i < 4; ++i)
            expected.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    // Reserved fields are two 16-bit zeros, the same bytes as one 32-bit zero.
    expected.insert(expected.end(), {1, 0, 1, 0});
    for (std::uint32_t value : {0U, imageBytes, 0U, 0U, 0U, 2U, 0x00000000U, 0x00FFFFFFU})
        for (int i = 0; i < 4; ++i)
            expected.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    EXPECT_EQ(header, expected);
    for (int row = 0; row < c.rows; ++row)
        EXPECT_EQ(bmp[62 + static_cast<std::size_t>(row) * c.stride], 0x00) << "row " << row << " starts with a bar";
}

const BitmapSizeCase kBitmapSizes[] = {
    {"ThreeColumnsFiveRows", 5, 3, false, 120, 16},   {"TruncatedThreeColumns", 4, 3, true, 86, 12},
    {"ThirtyColumns", 3, 30, false, 579, 76},         {"OneColumn", 3, 1, false, 86, 12},
    {"TruncatedThirtyColumns", 3, 30, true, 545, 72},
};

INSTANTIATE_TEST_SUITE_P(Cases, BitmapSizes, testing::ValuesIn(kBitmapSizes),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(BitmapWriter, RowsHoldStartIndicatorsCodewordsAndStop)
{
    Symbol symbol = symbolOf(3, 1, false);
    std::fill(symbol.codewords.begin(), symbol.codewords.end(), 0);
    const SymbolImage image = drawSymbol(symbol);
    ASSERT_EQ(image.width, 86);
    const std::vector<int> codewordZero[] = {
        {3, 1, 1, 1, 1, 1, 3, 6}, {5, 1, 1, 1, 1, 1, 2, 5}, {2, 1, 1, 1, 1, 1, 5, 5}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(widthsOf(image, row, 0, 17), (std::vector<int>{8, 1, 1, 1, 1, 1, 1, 3}));
        EXPECT_EQ(widthsOf(image, row, 34, 17), codewordZero[row]) << "data codeword 0 in row " << row;
        EXPECT_EQ(widthsOf(image, row, 68, 18), (std::vector<int>{7, 1, 1, 3, 1, 1, 1, 2, 1}));
        // Row indicators come from the row's cluster too.
        const std::uint32_t left = kCodewordPatterns[row][symbol.leftRowIndicator(row)];
        for (int bit = 0; bit < 17; ++bit)
            EXPECT_EQ(image.isBar(17 + bit, row), ((left >> (16 - bit)) & 1U) != 0);
    }
}

TEST(BitmapWriter, TruncatedRowsEndWithOneBlackPixel)
{
    const SymbolImage image = drawSymbol(symbolOf(4, 3, true, 100));
    const Bytes bmp = encodeBitmap(image);
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(image.isBar(85, row));
        // Pixel 85 is bit 2 of byte 10: black is a 0 bit.
        EXPECT_EQ(bmp[62 + static_cast<std::size_t>(row) * 12 + 10] & 0x04, 0);
    }
}

TEST(BitmapWriter, LastSymbolRowComesFirstAndPaddingIsZero)
{
    const Symbol symbol = symbolOf(6, 2, false, 300);
    const SymbolImage image = drawSymbol(symbol);
    const Bytes bmp = encodeBitmap(image);
    const std::uint32_t stride = bitmapStride(image.width);
    for (int fileRow = 0; fileRow < image.height; ++fileRow) {
        const int y = image.height - 1 - fileRow;
        for (int x = 0; x < static_cast<int>(stride) * 8; ++x) {
            const std::size_t at = 62 + static_cast<std::size_t>(fileRow) * stride + static_cast<std::size_t>(x / 8);
            const bool bit = (bmp[at] >> (7 - x % 8)) & 1;
            const bool expected = x < image.width ? !image.isBar(x, y) : false;
            ASSERT_EQ(bit, expected) << "file row " << fileRow << " pixel " << x;
        }
    }
}

TEST(CodewordDump, EntriesAreThreeWideWithCommaAndSpace)
{
    Symbol symbol = symbolOf(6, 3, false);
    symbol.codewords = {16, 5, 900, 12, 928, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 99, 100, 101};
    const std::string dump = formatCodewordDump(symbol);
    EXPECT_EQ(dump.size(), 95U);
    EXPECT_EQ(dump, " 18,  16,   5, 900,  12, 928,   0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  99, 100, 101, ");
}

TEST(Encoder, SymbolOfTwoPositionsGivesTheDump)
{
    const std::optional<Symbol> symbol = encodeSymbol(Bytes{'A'}, SymbolSettings{});
    ASSERT_TRUE(symbol.has_value());
    const std::string dump = formatCodewordDump(*symbol);
    EXPECT_EQ(dump.substr(0, 25), "  6,   4,  29, 900, 900, ");
    EXPECT_EQ(dump.size(), 35U);
}

TEST(Encoder, EmptyOrOversizedInputGivesNoSymbol)
{
    EXPECT_FALSE(encodeSymbol(Bytes{}, SymbolSettings{}).has_value());
    EXPECT_FALSE(encodeSymbol(Bytes(2710, 0x80), SymbolSettings{}).has_value());
    EXPECT_FALSE(encodeSymbol(Bytes(2710, '7'), SymbolSettings{}).has_value());
}

TEST(MetafileWriter, EnhancedMetafileHoldsHeaderStretchDibitsAndEof)
{
    const Bytes bmp = encodeBitmap(drawSymbol(symbolOf(10, 4, false)));
    const Bytes emf = encodeEnhancedMetafile(bmp);
    const std::uint32_t width = 17 * 4 + 69;
    ASSERT_GE(emf.size(), 124U);
    EXPECT_EQ(u32At(emf, 0), 1U);
    const std::uint32_t headerSize = u32At(emf, 4);
    EXPECT_EQ(headerSize, 124U);
    EXPECT_EQ(u32At(emf, 8), 0U);
    EXPECT_EQ(u32At(emf, 16), width) << "bounds in device pixels, the whole picture";
    EXPECT_EQ(u32At(emf, 20), 10U);
    EXPECT_EQ(u32At(emf, 24), 0U);
    EXPECT_EQ(u32At(emf, 32), width * 508 * 100 / 1920) << "frame right";
    EXPECT_EQ(u32At(emf, 36), 10U * 286 * 100 / 1080) << "frame bottom";
    EXPECT_EQ(u32At(emf, 40), 0x464D4520U);
    EXPECT_EQ(u32At(emf, 48), emf.size());
    EXPECT_EQ(u32At(emf, 52), 3U);
    EXPECT_EQ(u32At(emf, 72), 1920U);
    EXPECT_EQ(u32At(emf, 76), 1080U);
    EXPECT_EQ(u32At(emf, 80), 508U);
    EXPECT_EQ(u32At(emf, 84), 286U);
    const std::uint32_t descriptionChars = u32At(emf, 60);
    const std::uint32_t descriptionAt = u32At(emf, 64);
    std::u16string description;
    for (std::uint32_t i = 0; i < descriptionChars; ++i)
        description.push_back(static_cast<char16_t>(u16At(emf, descriptionAt + 2 * i)));
    EXPECT_EQ(description, std::u16string(u"EMF_1\0\0", 7));

    const std::size_t stretch = headerSize;
    EXPECT_EQ(u32At(emf, stretch), 81U);
    const std::uint32_t stretchSize = u32At(emf, stretch + 4);
    EXPECT_EQ(u32At(emf, stretch + 40), width); // source width
    EXPECT_EQ(u32At(emf, stretch + 44), 10U);   // source height
    EXPECT_EQ(u32At(emf, stretch + 68), 0x00CC0020U);
    EXPECT_EQ(u32At(emf, stretch + 72), width); // destination width
    EXPECT_EQ(u32At(emf, stretch + 76), 10U);
    const std::uint32_t bitsAt = u32At(emf, stretch + 56);
    const std::uint32_t bitsSize = u32At(emf, stretch + 60);
    EXPECT_EQ(Bytes(emf.begin() + static_cast<std::ptrdiff_t>(stretch + bitsAt),
                    emf.begin() + static_cast<std::ptrdiff_t>(stretch + bitsAt + bitsSize)),
              Bytes(bmp.begin() + 62, bmp.end()));
    const std::size_t eof = stretch + stretchSize;
    ASSERT_EQ(eof + 20, emf.size());
    EXPECT_EQ(u32At(emf, eof), 14U);
    EXPECT_EQ(u32At(emf, eof + 16), 20U);
}

TEST(MetafileWriter, WindowsMetafileHoldsHeaderStretchDibAndEof)
{
    const Bytes bmp = encodeBitmap(drawSymbol(symbolOf(5, 3, true)));
    const Bytes wmf = encodeWindowsMetafile(bmp);
    ASSERT_EQ(wmf.size() % 2, 0U);
    EXPECT_EQ(u16At(wmf, 2), 9U);
    EXPECT_EQ(u16At(wmf, 4), 0x0300U);
    EXPECT_EQ(u32At(wmf, 6) * 2, wmf.size());
    const std::uint32_t recordWords = u32At(wmf, 18);
    EXPECT_EQ(u32At(wmf, 12), recordWords) << "largest record";
    EXPECT_EQ(u16At(wmf, 22), 0x0F43U);
    EXPECT_EQ(u32At(wmf, 24), 0x00CC0020U);
    EXPECT_EQ(u16At(wmf, 30), 5U);  // source height
    EXPECT_EQ(u16At(wmf, 32), 86U); // source width
    EXPECT_EQ(u16At(wmf, 38), 5U);  // destination height
    EXPECT_EQ(u16At(wmf, 40), 86U); // destination width
    EXPECT_EQ(Bytes(wmf.begin() + 46, wmf.begin() + 46 + static_cast<std::ptrdiff_t>(bmp.size() - 14)),
              Bytes(bmp.begin() + 14, bmp.end()));
    const std::size_t eof = 18 + 2 * static_cast<std::size_t>(recordWords);
    ASSERT_EQ(eof + 6, wmf.size());
    EXPECT_EQ(u32At(wmf, eof), 3U);
    EXPECT_EQ(u16At(wmf, eof + 4), 0U);
}

TEST(MetafileWriter, RejectsWhatIsNoBitmap)
{
    EXPECT_FALSE(readBitmapSize(Bytes{'B', 'M'}).has_value());
    Bytes bmp = encodeBitmap(drawSymbol(symbolOf(3, 1, false)));
    bmp.resize(bmp.size() - 1);
    EXPECT_FALSE(readBitmapSize(bmp).has_value());
}

} // namespace
} // namespace lattix

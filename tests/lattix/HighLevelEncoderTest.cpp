#include "HighLevelEncoder.h"

#include <gtest/gtest.h>
#include <string>

namespace lattix {
namespace {

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

struct KnownAnswer
{
    const char* name;
    std::string input;
    std::vector<int> codewords;
};

class HighLevelEncoderKnownAnswers : public testing::TestWithParam<KnownAnswer>
{
};

TEST_P(HighLevelEncoderKnownAnswers, GivesTheCodewords)
{
    EXPECT_EQ(encodeHighLevel(bytesOf(GetParam().input)), GetParam().codewords);
}

const KnownAnswer kKnownAnswers[] = {
    {"DigitsAloneAreNumericWith902First", "123", {902, 1, 223}},
    {"SixCharactersPDF417", "PDF417", {453, 178, 121, 239}},
    {"LowerCaseLatchesOnce", "abc", {810, 32}},
    {"FourteenDigitsThenTextAreTwoSegments", "12345678901234ABC", {902, 171, 209, 269, 12, 434, 900, 1, 89}},
    {"ThirteenDigitsThenTextAreOneTextSegment", "1234567890123ABC", {841, 63, 125, 187, 249, 1, 63, 840, 32}},
    {"FortyFiveDigitsMakeTwoNumericGroups",
     std::string(45, '1'),
     {902, 485, 624, 195, 647, 193, 431, 299, 2, 752, 141, 640, 160, 581, 556, 711, 11}},
    {"SixBytesOfValue900", std::string("\0\0\0\0\x03\x84", 6), {924, 0, 0, 0, 1, 0}},
    {"OneByteBetweenLongTextRunsIsShifted",
     "abcdefgh\x80ijklmnop",
     {810, 32, 94, 156, 239, 913, 128, 249, 311, 373, 435}},
    {"TwoBytesBetweenLongTextRunsLatch",
     "ABCDEFGH\x80\x81IJKLMNOP",
     {1, 63, 125, 187, 901, 128, 129, 900, 249, 311, 373, 435}},
    {"TwoGbkCharactersAreFourBytes", "\xb0\xe6\xb1\xbe", {901, 0xb0, 0xe6, 0xb1, 0xbe}},
    {"NulAfterLongTextIsByteCompacted", std::string("ABCDEFGH\0", 9), {1, 63, 125, 187, 901, 0}},
    {"NulInShortTextMakesItBytes", std::string("A\0B", 3), {901, 65, 0, 66}},
    {"TextAfterBytesStartsWith900",
     "\x80\x81"
     "ABCDEFGH",
     {901, 128, 129, 900, 1, 63, 125, 187}},
    {"ShortTextRunsStayInsideBytes",
     "\x80"
     "AB\x81",
     {901, 128, 65, 66, 129}},
    {"FourteenDigitsEndAByteSegment",
     "\x80"
     "AB12345678901234",
     {901, 128, 65, 66, 902, 171, 209, 269, 12, 434}},
    {"EachPunctuationCharacterIsShifted", "a;;", {810, 870, 870}},
    {"MixedLatchBackToAlphaFromMixed", "1A", {841, 840}},
    {"AlphaShiftFromLowerKeepsLower", "aBc", {810, 811, 89}},
    {"LineEndsAreText", "AB\r\n", {1, 881, 885}},
};

INSTANTIATE_TEST_SUITE_P(Examples, HighLevelEncoderKnownAnswers, testing::ValuesIn(kKnownAnswers),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(HighLevelEncoder, TextSegmentLengthDecidesBetweenShiftAndText)
{
    // Seven characters before a lone byte are not worth a text segment: all of it is bytes.
    const std::vector<int> seven = encodeHighLevel(bytesOf("ABCDEFG\x80"
                                                           "ABCDEFGH"));
    EXPECT_EQ(seven.front(), kLatchByte);
    EXPECT_EQ(std::count(seven.begin(), seven.end(), kShiftByte), 0);
    // Eight are.
    const std::vector<int> eight = encodeHighLevel(bytesOf("ABCDEFGH\x80"
                                                           "ABCDEFGH"));
    EXPECT_NE(eight.front(), kLatchByte);
    EXPECT_EQ(std::count(eight.begin(), eight.end(), kShiftByte), 1);
}

TEST(HighLevelEncoder, ByteSegmentsOfSixAndSevenBytes)
{
    const std::vector<int> six = encodeHighLevel(Bytes(6, 0xFF));
    ASSERT_EQ(six.size(), 6U);
    EXPECT_EQ(six[0], kLatchByteSix);
    const std::vector<int> seven = encodeHighLevel(Bytes(7, 0xFF));
    ASSERT_EQ(seven.size(), 7U);
    EXPECT_EQ(seven[0], kLatchByte);
    EXPECT_EQ(seven[6], 0xFF);
    for (int codeword : seven)
        EXPECT_LE(codeword, 928);
}

TEST(HighLevelEncoder, LongestInputStaysInCodewordRange)
{
    const std::vector<int> codewords = encodeHighLevel(Bytes(2710, 0xFE));
    EXPECT_EQ(codewords.size(), 1U + 451 * 5 + 4);
    for (int codeword : codewords) {
        EXPECT_GE(codeword, 0);
        EXPECT_LE(codeword, 928);
    }
}

} // namespace
} // namespace lattix

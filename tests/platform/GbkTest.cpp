#include "platform/Gbk.h"

#include "platform/FileSystem.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

TEST(Gbk, ConvertsChineseBothWays)
{
    const GbkString gbk = "\xB7\xA2\xCE\xC4\xB5\xC7\xBC\xC7\xB1\xED"; // 发文登记表
    EXPECT_EQ(gbkToUtf8(gbk), "发文登记表");
    EXPECT_EQ(utf8ToGbk("发文登记表"), gbk);
    EXPECT_EQ("发文登记表"_gbk, gbk);
    EXPECT_EQ("〔2026〕"_gbk.size(), 8u); // two double-byte brackets around four digits
}

TEST(Gbk, EuroSignIsByte80)
{
    EXPECT_EQ(utf8ToGbk("€"), "\x80");
    EXPECT_EQ(gbkToUtf8("\x80"), "€");
}

struct DamagedCase
{
    const char* name;
    std::string bytes;
};

class DamagedGbkTest : public ::testing::TestWithParam<DamagedCase>
{
};

TEST_P(DamagedGbkTest, RoundTripsByteForByteAndKeepsTheRest)
{
    const std::string& bytes = GetParam().bytes;
    const std::string utf8 = gbkToUtf8(bytes);
    EXPECT_EQ(utf8ToGbk(utf8), bytes);
    EXPECT_FALSE(isValidGbk(bytes));
    // The good text behind the damage survives.
    EXPECT_NE(utf8.find("文"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedGbkTest,
                         ::testing::Values(DamagedCase{"LoneFF", std::string("\xFF\xCE\xC4")},
                                           DamagedCase{"LeadThenBlank", std::string("\x81 \xCE\xC4")},
                                           DamagedCase{"UserDefinedArea", std::string("\xAA\xA1\xCE\xC4")},
                                           DamagedCase{"LeadAtEnd", std::string("\xCE\xC4\xB7")}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Gbk, AnyByteStringSurvivesTheRoundTrip)
{
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all += static_cast<char>(i);
        all += static_cast<char>(255 - i);
    }
    EXPECT_EQ(utf8ToGbk(gbkToUtf8(all)), all);
}

TEST(Gbk, CharactersOutsideGbkBecomeQuestionMarks)
{
    EXPECT_EQ(utf8ToGbk("a😀b"), "a?b");
    EXPECT_EQ(utf8ToGbk("a\xC3"), "a?"); // truncated UTF-8
}

TEST(Gbk, CharLengthCountsLeadBytes)
{
    const std::string text = "a\xB7\xA2\xB7";
    EXPECT_EQ(gbkCharLength(text, 0), 1u);
    EXPECT_EQ(gbkCharLength(text, 1), 2u);
    EXPECT_EQ(gbkCharLength(text, 3), 1u); // a lead byte at the very end
}

struct CharLengthCase
{
    const char* name;
    std::string text; // the character under test starts at 0
    std::size_t length;

    friend void PrintTo(const CharLengthCase& row, std::ostream* out) { *out << row.name; }
};

class GbkCharLength : public ::testing::TestWithParam<CharLengthCase>
{
};

TEST_P(GbkCharLength, PairsOnlyWellFormedCharacters)
{
    EXPECT_EQ(gbkCharLength(GetParam().text, 0), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GbkCharLength,
    ::testing::Values(CharLengthCase{"LeadBeforeCr", "\xB7\r\n", 1}, CharLengthCase{"LeadBeforeSlash", "\xB7/x", 1},
                      CharLengthCase{"LeadBeforeDot", "\xB7.x", 1}, CharLengthCase{"LeadBefore7F", "\xB7\x7F", 1},
                      CharLengthCase{"LeadBeforeFF", "\xB7\xFF", 1}, CharLengthCase{"LowestTrail", "\x81\x40", 2},
                      CharLengthCase{"CaretTrail", "\x85^", 2}, CharLengthCase{"HighestTrail", "\xFE\xFE", 2},
                      CharLengthCase{"FFIsNoLead", "\xFF\xA1", 1}, CharLengthCase{"LeadAtEnd", "\xB7", 1}),
    [](const auto& row) { return std::string(row.param.name); });

struct FindCase
{
    const char* name;
    std::string text;
    std::string wanted;
    std::size_t position;

    friend void PrintTo(const FindCase& row, std::ostream* out) { *out << row.name; }
};

class FindGbk : public ::testing::TestWithParam<FindCase>
{
};

TEST_P(FindGbk, MatchesOnlyOnCharacterBoundaries)
{
    EXPECT_EQ(findGbk(GetParam().text, GetParam().wanted), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(Cases, FindGbk,
                         ::testing::Values(FindCase{"AsciiCaret", "ab^c", "^", 2},
                                           FindCase{"CaretAsSecondByteIsText", "\x85^x^", "^", 3}, // 區 then x
                                           FindCase{"MarkAfterCaretTrailIsText", "\x85^|", "^|", std::string::npos},
                                           FindCase{"MarkAfterStrayLead", "\xB7\r^|", "^|", 2},
                                           FindCase{"NotThere", "abc", "^", std::string::npos}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FileSystem, GbkPathsReachTheFileSystemAsUtf8)
{
    QTemporaryDir dir;
    const GbkString folder = utf8ToGbk(dir.path().toStdString());
    const GbkString path = joinPath(folder, "发文号〔2026〕1号.emf"_gbk);
    ASSERT_TRUE(writeWholeFile(path, std::string("\0\x01\xFF", 3)));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("发文号〔2026〕1号.emf"))));
    EXPECT_EQ(readWholeFile(path), std::string("\0\x01\xFF", 3));
    EXPECT_TRUE(removeFile(path));
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(readWholeFile(path).has_value());
}

} // namespace

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

TEST(Gbk, CharLengthPairsOnlyWellFormedCharacters)
{
    // Second bytes are 0x40-0xFE without 0x7F: before anything else a lead byte stands alone.
    const std::pair<std::string, std::size_t> cases[] = {{"\xB7\r", 1},   {"\xB7/", 1},    {"\xB7.", 1},
                                                         {"\xB7\x7F", 1}, {"\xB7\xFF", 1}, {"\x81\x40", 2},
                                                         {"\x85^", 2},    {"\xFE\xFE", 2}};
    for (const auto& [text, length] : cases)
        EXPECT_EQ(gbkCharLength(text, 0), length) << ::testing::PrintToString(text);
}

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

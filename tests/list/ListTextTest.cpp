#include "list/ListText.h"

#include "platform/Gbk.h"

#include <gtest/gtest.h>

namespace regdesk {
namespace {

TEST(SplitListItems, KeepsEveryItemAsItStandsBlanksIncluded)
{
    const std::vector<GbkString> items = splitListItems("发文号 , 标题,  成文日期,版本 ,"_gbk);
    const std::vector<GbkString> expected = {"发文号 "_gbk, " 标题"_gbk, "  成文日期"_gbk, "版本 "_gbk, ""};
    EXPECT_EQ(items, expected);
}

TEST(SplitListItems, TextWithoutCommaIsOneItem)
{
    EXPECT_EQ(splitListItems("发文号"_gbk), std::vector<GbkString>{"发文号"_gbk});
    EXPECT_EQ(splitListItems(""), std::vector<GbkString>{""});
}

TEST(SplitListItems, RegistrationListHasSeventeenColumns)
{
    const auto items =
        splitListItems("发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, "
                       "制码单位, 制码时间, 版本 ,备注,条码已打,自定义排序,文件位置"_gbk);
    ASSERT_EQ(items.size(), 17u);
    EXPECT_EQ(items[16], "文件位置"_gbk);
}

struct WidthCase
{
    const char* name;
    const char* item;
    int width;
};

class ParseColumnWidth : public ::testing::TestWithParam<WidthCase>
{
};

TEST_P(ParseColumnWidth, ConvertsLikeAtoi)
{
    EXPECT_EQ(parseColumnWidth(GetParam().item), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Items, ParseColumnWidth,
                         ::testing::Values(WidthCase{"plain", "120", 120}, WidthCase{"blanksAround", " 50 ", 50},
                                           WidthCase{"tabBefore", "\t70", 70}, WidthCase{"empty", "", 0},
                                           WidthCase{"blanksOnly", "   ", 0}, WidthCase{"letters", "abc", 0},
                                           WidthCase{"digitsThenText", "80px", 80},
                                           WidthCase{"blankInsideNumber", "1 5", 1}, WidthCase{"negative", "-5", -5},
                                           WidthCase{"plusSign", "+30", 30},
                                           WidthCase{"overflowClamps", "99999999999", 2147483647}),
                         [](const auto& row) { return std::string(row.param.name); });

struct CompareCase
{
    const char* name;
    GbkString first;
    GbkString second;
    int sign;
};

int sign(int value)
{
    return (value > 0) - (value < 0);
}

class CompareGbkNoCase : public ::testing::TestWithParam<CompareCase>
{
};

TEST_P(CompareGbkNoCase, OrdersAsTheCodePageDoes)
{
    const CompareCase& c = GetParam();
    EXPECT_EQ(sign(compareGbkNoCase(c.first, c.second)), c.sign);
    EXPECT_EQ(sign(compareGbkNoCase(c.second, c.first)), -c.sign);
    // The sort key orders the same way as a plain byte string.
    EXPECT_EQ(sign(gbkSortKey(c.first).compare(gbkSortKey(c.second))), c.sign);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CompareGbkNoCase,
    ::testing::Values(CompareCase{"equal", "abc", "abc", 0}, CompareCase{"asciiCaseIgnored", "ABC", "abc", 0},
                      CompareCase{"numbersAsText", "10", "9", -1}, CompareCase{"prefixFirst", "ab", "abc", -1},
                      CompareCase{"emptyFirst", "", "a", -1},
                      // Folded letters sort with lower-case values: '_' (0x5F) lies between 'Z' and 'a'.
                      CompareCase{"foldsToLowerCase", "Z", "_", 1},
                      CompareCase{"gbkOrderNotUnicode", "李"_gbk, "张"_gbk, -1},
                      CompareCase{"datesByText", "20240102", "20231231", 1},
                      CompareCase{"fullWidthLettersNotFolded", "Ａ"_gbk, "ａ"_gbk, -1},
                      CompareCase{"singleHighByteBeforeDoubleByte", "\x80", "啊"_gbk, -1},
                      CompareCase{"asciiBeforeChinese", "z", "啊"_gbk, -1},
                      // A trail byte that looks like an ASCII capital is not folded.
                      CompareCase{"trailByteNotFolded", "\x81\x41", "\x81\x61", -1},
                      CompareCase{"danglingLeadByteEndsText", "ab\xB0", "ab", 0},
                      CompareCase{"nulEndsText", GbkString("ab\0c", 4), "ab", 0}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace regdesk

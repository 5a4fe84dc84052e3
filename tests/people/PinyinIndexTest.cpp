#include "people/PinyinIndex.h"

#include <gtest/gtest.h>

using namespace regdesk;

namespace {

struct NameCase
{
    const char* name;
    GbkString text;
    GbkString initials;
};

TEST(PinyinInitials, OfNames)
{
    const NameCase cases[] = {
        {"two surnames", "张三"_gbk, "ZS"},
        {"another", "李四"_gbk, "LS"},
        {"compound surname", "欧阳"_gbk, "OY"},
        {"compound surname 2", "司马"_gbk, "SM"},
        {"shan read chan first", "单"_gbk, "C"},
        {"zeng read ceng first", "曾"_gbk, "C"},
        {"zha read cha first", "查"_gbk, "C"},
        {"xie read jie first", "解"_gbk, "J"},
        {"yue read le first", "乐"_gbk, "L"},
        {"qiu only", "仇"_gbk, "Q"},
        {"zhai read di first", "翟"_gbk, "D"},
        {"yu read wei first", "尉"_gbk, "W"},
        {"long vowel first", "长"_gbk, "C"},
        {"full-width comma", "\xA3\xAC", "Z"},
        {"full-width capital A", "\xA3\xC1", "Z"},
        {"GBK beyond GB2312", "\x81\x40", "Z"},
        {"one-byte name", "Li", ""},
        {"empty", "", ""},
        {"lone lead byte at the end", "张"_gbk + "\xD5", "ZZ"},
        // The walk keeps in step after a one-byte character (the two-byte
        // walk would read 5A D5 C5 C8 as garbage here).
        {"one-byte before two-byte", "A张三"_gbk, "ZS"},
        {"one-byte in between", "张三L李"_gbk, "ZSL"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(PinyinIndex::initials(c.text), c.initials) << c.name;
}

} // namespace

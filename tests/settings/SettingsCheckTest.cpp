#include "settings/SettingsCheck.h"

#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

std::string sampleUtf8()
{
    std::ifstream file(REGDESK_SAMPLE_SETTINGS, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string crLf(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

struct CheckCase
{
    const char* name;
    const char* text;     // UTF-8, written as GBK
    const char* expected; // all findings, one a line
};

class SettingsCheckTable : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(SettingsCheckTable, FindsWhatTheDeskWouldMisread)
{
    std::string found;
    for (const SettingsFinding& finding : checkSettings(utf8ToGbk(crLf(GetParam().text))))
        found += finding.toText() + "\n";
    EXPECT_EQ(found, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SettingsCheckTable,
    ::testing::Values(
        CheckCase{"CleanFile", "; 说明\n[发文设置]\n标题=关于\n\n[PDF]\nWidth=1\nHeight=1000\nECCLevel=9\n", ""},
        CheckCase{"IntegerBelowRange", "[PDF]\nWidth=0\n",
                  "error: line 2: PDF/Width=0 is out of range; it must be a whole number from 1 to 1000\n"},
        CheckCase{"IntegerAboveRange", "[PDF]\nHeight=1001\n",
                  "error: line 2: PDF/Height=1001 is out of range; it must be a whole number from 1 to 1000\n"},
        CheckCase{"IntegerNotDigits", "[自定义排序]\n每页行数=二十\n",
                  "error: line 2: 自定义排序/每页行数=二十 is out of range; it must be a whole number from 1 to "
                  "65532\n"},
        CheckCase{"ChoiceRefused", "[发文设置]\n制码号年度位数=3\n制码号流水位数=8\n",
                  "error: line 2: 发文设置/制码号年度位数=3 is none of 0|2|4\n"
                  "error: line 3: 发文设置/制码号流水位数=8 is none of 2|3|4|5|6|7\n"},
        CheckCase{"DatabaseTypeTrimmedAndAnyCase", "[数据库]\n类型= postgresql \n端口=65536\n",
                  "error: line 3: 数据库/端口=65536 is out of range; it must be a whole number from 1 to 65535\n"},
        CheckCase{"SuspiciousChoiceWarned", "[自定义排序]\n密级优先=对\n",
                  "warning: line 2: 自定义排序/密级优先=对 is none of 是|否\n"},
        CheckCase{"IdentifierLength", "[发文设置]\n制码号固定标识=12345\n制码号固定位数=6\n",
                  "error: line 3: 制码号固定位数=6 but 制码号固定标识 \"12345\" is 5 bytes long in GBK; the desk would "
                  "show 制码号固定标识位数错误!\n"},
        CheckCase{"PrefixCode", "[自定义排序]\n某中法=1\n某中法发=02\n",
                  "error: line 2: the position of the prefix \"某中法\" is \"1\"; it must be two digits, 01 to 99\n"},
        CheckCase{"ListFollowedByHeader", "[发文型式]\n1=某中法\n[主送单位]\n1=省法院\n",
                  "error: line 1: list section [发文型式] is followed directly by the header [主送单位] (line 3); the "
                  "desk reads that header and the lines after it as entries of the list. Put an empty line before "
                  "the header.\n"},
        CheckCase{"CommentInsideAList", "[发文种类]\n1=通知\n; 以下为常用\n2=报告\n",
                  "warning: line 3: this comment is read as an entry of the list [发文种类]; put an empty line before "
                  "it, or start it with \"/\"\n"},
        CheckCase{
            "LineAfterTheListsEnd", "[主送单位]\n1=省法院\n\n2=市委\n",
            "warning: line 4: the list [主送单位] has ended (at an empty line, or one that starts with a blank or "
            "\"/\"); the desk does not read this line\n"},
        CheckCase{"BlankInTheName", "[发文设置]\n制码单位 =某法院\n",
                  "warning: line 2: \"制码单位 \" differs from the key 发文设置/制码单位 only by blanks; the desk does "
                  "not read it as that key\n"},
        CheckCase{"ValueCut", "[发文设置]\n标题=关于;注\n",
                  "warning: line 2: the desk reads the value only up to the \";\", as \"关于\"\n"},
        CheckCase{"Repeats", "[发文设置]\n标题=关于\n标题=对\n[发文设置]\n",
                  "warning: line 3: 发文设置/标题 stands here a second time; the desk reads the one on line 2\n"
                  "warning: line 4: [发文设置] stands here a second time; the desk reads only the one on line 1\n"},
        CheckCase{"UnknownNames", "标题=关于\n[发文设定]\n[发文设置]\n标头=关于\n",
                  "warning: line 1: stands before the first section; the desk does not read it\n"
                  "warning: line 2: the desk reads no section [发文设定]\n"
                  "warning: line 4: the desk reads no key \"标头\" in [发文设置]\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// The sample's comment block at the top is read by no key and no list.
TEST(SampleSettings, CommentBlockIsIgnoredByTheReaderAndTheChecks)
{
    const std::string sample = sampleUtf8();
    ASSERT_TRUE(sample.starts_with(";")) << "the sample starts with its comment block";
    const std::size_t firstSection = sample.find("\n[");
    ASSERT_NE(firstSection, std::string::npos);
    const std::string withoutComments = sample.substr(firstSection + 1);
    EXPECT_TRUE(checkSettings(utf8ToGbk(crLf(sample))).empty());

    QTemporaryDir dir;
    const auto load = [&](const std::string& name, const std::string& utf8) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << utf8ToGbk(crLf(utf8));
        return SettingsFile(fromNativePath(path));
    };
    const SettingsFile commented = load("with.ini", sample);
    const SettingsFile plain = load("without.ini", withoutComments);
    ASSERT_EQ(commented.sectionNames(), plain.sectionNames());
    EXPECT_EQ(commented.sectionNames().front(), "发文设置"_gbk);
    for (const GbkString& section : plain.sectionNames()) {
        ASSERT_EQ(commented.countEntries(section), plain.countEntries(section));
        for (int i = 0; i < plain.countEntries(section); ++i) {
            const GbkString name = plain.entryName(section, i);
            EXPECT_EQ(commented.entryName(section, i), name);
            EXPECT_EQ(commented.entryValue(section, i), plain.entryValue(section, i));
            EXPECT_EQ(commented.getString(section, name), plain.getString(section, name));
        }
    }
    // An empty name (a key the custom order looks up for a number without a prefix) finds no comment.
    EXPECT_EQ(commented.getString("自定义排序"_gbk, ""), plain.getString("自定义排序"_gbk, ""));
}

TEST(Utf8Settings, RecognisedOnlyWithoutGbkNames)
{
    const std::string sample = crLf(sampleUtf8());
    EXPECT_TRUE(looksLikeUtf8(sample));
    EXPECT_FALSE(looksLikeUtf8(utf8ToGbk(sample)));
    EXPECT_FALSE(looksLikeUtf8("[PDF]\r\nWidth=60\r\n"));
    // A GBK file whose Chinese happens to be valid UTF-8 still names its keys in GBK.
    EXPECT_FALSE(looksLikeUtf8("[PDF]\r\nWidth=60\r\n\xC3\xA9=1\r\n" + "[发文设置]\r\n"_gbk));
    EXPECT_FALSE(looksLikeUtf8("[a]\r\nb=\xC3\r\n"));
}

} // namespace
} // namespace regdesk::test

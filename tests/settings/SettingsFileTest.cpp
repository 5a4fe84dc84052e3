#include "settings/SettingsFile.h"

#include "platform/Text.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class SettingsFileTest : public ::testing::Test
{
protected:
    // Writes GBK bytes (converted from the UTF-8 text here) to a temp file.
    SettingsFile load(const std::string& utf8Text) { return loadBytes(utf8ToGbk(utf8Text)); }
    SettingsFile loadBytes(const std::string& bytes)
    {
        const std::string path = m_dir.filePath(QStringLiteral("document.ini")).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return SettingsFile(fromUtf8Path(path));
    }
    static GbkString fromUtf8Path(const std::string& path) { return utf8ToGbk(path); }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFileTest, ReadsKeysOfASectionWithCrLfLines)
{
    const SettingsFile settings = load("[发文设置]\r\n制码单位=某某法院\r\n制码号固定位数=13\r\n");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "制码单位"_gbk), "某某法院"_gbk);
    EXPECT_EQ(settings.getInteger("发文设置"_gbk, "制码号固定位数"_gbk), 13);
}

TEST_F(SettingsFileTest, BlankBeforeEqualsBelongsToTheName)
{
    const SettingsFile settings = load("[发文设置]\r\n制码单位 =某某法院\r\n");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "制码单位"_gbk), "");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "制码单位 "_gbk), "某某法院"_gbk);
}

struct ValueCase
{
    const char* name;
    const char* line;
    const char* expected;
};

class SettingsValueTest : public SettingsFileTest, public ::testing::WithParamInterface<ValueCase>
{
};

TEST_P(SettingsValueTest, ValueIsCutWhereTheFormatSays)
{
    const SettingsFile settings = load(std::string("[发文设置]\r\n") + GetParam().line + "\r\n下一行=x\r\n");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "标题"_gbk), utf8ToGbk(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Cuts, SettingsValueTest,
                         ::testing::Values(ValueCase{"Semicolon", "标题=关于;更多", "关于"},
                                           ValueCase{"Tab", "标题=关于\t注释", "关于"},
                                           ValueCase{"ClosingBracket", "标题=关于]后", "关于"},
                                           ValueCase{"BlanksKept", "标题= 关于 的 ", " 关于 的 "},
                                           ValueCase{"Empty", "标题=", ""}, ValueCase{"NoEquals", "标题", ""},
                                           ValueCase{"SecondEqualsKept", "标题=a=b", "a=b"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SettingsFileTest, ValueStopsAtTheEndOfALineFeedOnlyLine)
{
    const SettingsFile settings = load("[发文设置]\n标题=关于\n制码单位=法院\n");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "标题"_gbk), "关于"_gbk);
    EXPECT_EQ(settings.getString("发文设置"_gbk, "制码单位"_gbk), "法院"_gbk);
}

TEST_F(SettingsFileTest, ValueAtEndOfFileWithoutLineBreak)
{
    const SettingsFile settings = load("[PDF]\r\nWidth=60");
    EXPECT_EQ(settings.getInteger("PDF"_gbk, "Width"_gbk), 60);
}

TEST_F(SettingsFileTest, ClosingBracketAsSecondByteOfACharacterDoesNotCutTheValue)
{
    // 璢 is GBK 0xAD 0x5D: its second byte is "]".
    const GbkString value = "\xAD\x5D\xB7\xA2";
    const std::string path = m_dir.filePath(QStringLiteral("bracket.ini")).toStdString();
    std::ofstream(path, std::ios::binary) << "[S]\r\nk=" << value << "\r\n";
    const SettingsFile settings(utf8ToGbk(path));
    EXPECT_EQ(settings.getString("S", "k"), value);
}

TEST_F(SettingsFileTest, KeySearchRunsOnIntoLaterSections)
{
    const SettingsFile settings = load("[发文设置]\r\n标题=关于\r\n\r\n[其他]\r\n制码单位=后面的\r\n");
    EXPECT_EQ(settings.getString("发文设置"_gbk, "制码单位"_gbk), "后面的"_gbk);
    // ...but never backwards into earlier ones.
    EXPECT_EQ(settings.getString("其他"_gbk, "标题"_gbk), "");
}

TEST_F(SettingsFileTest, SectionAndKeyNamesAreCaseSensitive)
{
    const SettingsFile settings = load("[PDF]\r\nWidth=60\r\n");
    EXPECT_EQ(settings.getString("pdf", "Width"), "");
    EXPECT_EQ(settings.getString("PDF", "width"), "");
}

TEST_F(SettingsFileTest, FirstOfTwoEqualSectionsWins)
{
    const SettingsFile settings = load("[A]\r\nk=1\r\n\r\n[A]\r\nk=2\r\n");
    EXPECT_EQ(settings.getString("A", "k"), "1");
}

TEST_F(SettingsFileTest, HeaderOnlyCountsAtLineStart)
{
    const SettingsFile settings = load("x=[A]\r\n [B]\r\n[C]\r\nk=v\r\n");
    EXPECT_EQ(settings.sectionNames(), std::vector<GbkString>{"C"});
}

TEST_F(SettingsFileTest, NamesInTheFileAreCutAt63Bytes)
{
    const std::string longName(70, 'k');
    const SettingsFile settings = load("[A]\r\n" + longName + "=v\r\n");
    EXPECT_EQ(settings.getString("A", longName), "");
    EXPECT_EQ(settings.getString("A", longName.substr(0, 63)), "v");
}

TEST_F(SettingsFileTest, ListSectionEndsAtAnEmptyLine)
{
    const SettingsFile settings = load("[发文型式]\r\n1=某中法\r\n2=某中法发\r\n\r\n[主送单位]\r\n1=省法院\r\n");
    ASSERT_EQ(settings.countEntries("发文型式"_gbk), 2);
    EXPECT_EQ(settings.entryName("发文型式"_gbk, 1), "2");
    EXPECT_EQ(settings.entryValue("发文型式"_gbk, 1), "某中法发"_gbk);
    EXPECT_EQ(settings.countEntries("主送单位"_gbk), 1);
}

TEST_F(SettingsFileTest, ListSectionFollowedDirectlyByAHeaderSwallowsIt)
{
    const SettingsFile settings = load("[发文型式]\r\n1=某中法\r\n[主送单位]\r\n1=省法院\r\n");
    ASSERT_EQ(settings.countEntries("发文型式"_gbk), 3);
    EXPECT_EQ(settings.entryName("发文型式"_gbk, 1), "[主送单位]"_gbk);
    EXPECT_EQ(settings.entryValue("发文型式"_gbk, 1), "");
    EXPECT_EQ(settings.entryValue("发文型式"_gbk, 2), "省法院"_gbk);
}

struct EndByteCase
{
    const char* name;
    std::string line;
};

class ListEndTest : public SettingsFileTest, public ::testing::WithParamInterface<EndByteCase>
{
};

TEST_P(ListEndTest, ListEndsAtLineStartingWith)
{
    const SettingsFile settings = loadBytes("[L]\r\n1=a\r\n" + GetParam().line + "\r\n3=c\r\n");
    EXPECT_EQ(settings.countEntries("L"), 1);
}

INSTANTIATE_TEST_SUITE_P(EndBytes, ListEndTest,
                         ::testing::Values(EndByteCase{"Tab", "\t2=b"}, EndByteCase{"Blank", " 2=b"},
                                           EndByteCase{"Slash", "// note"}, EndByteCase{"ByteFD", "\xFD"},
                                           EndByteCase{"ByteFF", "\xFF"}, EndByteCase{"EmptyLine", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SettingsFileTest, EntriesPastTheEndAreEmpty)
{
    const SettingsFile settings = load("[L]\r\n1=a\r\n");
    EXPECT_EQ(settings.entryValue("L", 5), "");
    EXPECT_EQ(settings.entryName("L", 5), "");
    EXPECT_EQ(settings.entryValue("missing", 0), "");
    EXPECT_EQ(settings.countEntries("missing"), 0);
}

TEST_F(SettingsFileTest, MissingAndEmptyFilesReadAsEmpty)
{
    const SettingsFile missing(utf8ToGbk(m_dir.filePath(QStringLiteral("none.ini")).toStdString()));
    EXPECT_EQ(missing.getString("发文设置"_gbk, "标题"_gbk), "");
    EXPECT_EQ(missing.getInteger("发文设置"_gbk, "制码号固定位数"_gbk), 0);
    EXPECT_EQ(missing.countEntries("发文型式"_gbk), 0);

    const SettingsFile empty = load("");
    EXPECT_EQ(empty.getString("发文设置"_gbk, "标题"_gbk), "");
    EXPECT_TRUE(empty.sectionNames().empty());
}

TEST_F(SettingsFileTest, EditsAreSeenByTheNextReader)
{
    load("[A]\r\nk=1\r\n");
    const SettingsFile second = load("[A]\r\nk=2\r\n");
    EXPECT_EQ(second.getString("A", "k"), "2");
}

struct IntegerCase
{
    const char* text;
    int expected;
};

TEST(ParseLeadingInteger, ConvertsLikeTheCRuntime)
{
    const IntegerCase cases[] = {{"13", 13},
                                 {"-4", -4},
                                 {"+7", 7},
                                 {"  42", 42},
                                 {"12abc", 12},
                                 {"abc", 0},
                                 {"", 0},
                                 {"-", 0},
                                 {"99999999999", INT_MAX},
                                 {"-99999999999", INT_MIN},
                                 {"2147483647", 2147483647}};
    for (const IntegerCase& c : cases)
        EXPECT_EQ(parseLeadingInteger(c.text), c.expected) << '"' << c.text << '"';
}

} // namespace

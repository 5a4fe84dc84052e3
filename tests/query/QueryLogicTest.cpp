#include "platform/FileSystem.h"
#include "platform/Gbk.h"
#include "query/AttachmentFile.h"
#include "query/CustomSortKey.h"
#include "query/SearchTerms.h"
#include "settings/SettingsFile.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace regdesk {
namespace {

std::string gbk(const char* utf8)
{
    return utf8ToGbk(utf8);
}

// document.ini with the codes of the office's custom order.
class CustomSortKeyTest : public ::testing::Test
{
protected:
    SettingsFile settingsWith(const std::string& utf8Body)
    {
        const std::string path = m_dir.filePath(QStringLiteral("document.ini")).toStdString();
        std::ofstream(path, std::ios::binary) << utf8ToGbk(utf8Body);
        return SettingsFile(fromNativePath(path));
    }

    QTemporaryDir m_dir;
};

struct KeyCase
{
    const char* name;
    const char* number;
    const char* secrecy;
    bool secrecyFirst;
    const char* key;
};

class CustomSortKeys : public CustomSortKeyTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(CustomSortKeys, FollowTheConfiguredCodesAndSerials)
{
    const KeyCase& row = GetParam();
    const SettingsFile settings = settingsWith(std::string("[自定义排序]\r\n中法发=1\r\n中法办=02\r\n中法通报=3\r\n"
                                                           "通报=4\r\n啊博=05\r\n") +
                                               (row.secrecyFirst ? "密级优先=是\r\n" : "密级优先=否\r\n"));
    const CustomSortOrder order(settings);
    EXPECT_EQ(order.keyFor(gbk(row.number), gbk(row.secrecy)), gbk(row.key));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, CustomSortKeys,
    ::testing::Values(KeyCase{"yearAndSerial", "中法发〔2024〕15号", "无", false, "0100015"},
                      KeyCase{"twoDigitCode", "中法办〔2024〕3号", "无", false, "0200003"},
                      KeyCase{"unknownPrefixIs99", "市委发〔2024〕7号", "无", false, "9900007"},
                      KeyCase{"sixDigitSerialIsNotCut", "中法发〔2024〕123456号", "无", false, "01123456"},
                      KeyCase{"bulletinIssue", "中法通报第12期", "无", false, "0300012"},
                      KeyCase{"neitherShapeTakesTheBulletinKey", "无编号文件", "无", false, "0400000"},
                      KeyCase{"bracketAtTheStart", "〔2024〕9号", "无", false, "0400000"},
                      KeyCase{"noClosingBracket", "中法发〔20249号", "无", false, "01法发〔20249"},
                      KeyCase{"classifiedFirst", "中法发〔2024〕15号", "机密", true, "00100015"},
                      KeyCase{"unclassifiedAfter", "中法发〔2024〕15号", "无", true, "10100015"},
                      KeyCase{"markStraddlingTwoCharacters", "啊博〔2024〕8号", "无", false, "0500008"}),
    [](const auto& row) { return std::string(row.param.name); });

struct TermsCase
{
    const char* name;
    const char* text;
    std::vector<const char*> terms;
};

class SearchTermsParse : public ::testing::TestWithParam<TermsCase>
{
};

TEST_P(SearchTermsParse, SplitsAtBlanksAndDoubleUnderscores)
{
    std::vector<GbkString> expected;
    for (const char* term : GetParam().terms)
        expected.push_back(gbk(term));
    const SearchTerms parsed = parseSearchTerms(gbk(GetParam().text));
    EXPECT_EQ(parsed.terms, expected);
    EXPECT_EQ(parsed.dropped, 0u);
}

INSTANTIATE_TEST_SUITE_P(Texts, SearchTermsParse,
                         ::testing::Values(TermsCase{"twoTermsBlanksAround", "  表彰   先进 ", {"表彰", "先进"}},
                                           TermsCase{"doubleUnderscore", "表彰__先进", {"表彰", "先进"}},
                                           TermsCase{"tripleUnderscoreKeepsOne", "表彰___先进", {"表彰", "_先进"}},
                                           TermsCase{"singleUnderscoreStays", "a_b", {"a_b"}},
                                           TermsCase{"underscoreTrailByteIsACharacter", "乢_", {"乢_"}},
                                           TermsCase{"onlyUnderscores", "__", {}}, TermsCase{"blank", "   ", {}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SearchTermsLimit, KeepsTwentyTermsAndCountsTheRest)
{
    std::string text;
    for (int i = 1; i <= 23; ++i)
        text += "t" + std::to_string(i) + " ";
    const SearchTerms parsed = parseSearchTerms(text);
    ASSERT_EQ(parsed.terms.size(), SearchTerms::kMaxTerms);
    EXPECT_EQ(parsed.terms.back(), "t20");
    EXPECT_EQ(parsed.dropped, 3u);
}

struct NameCase
{
    const char* name;
    const char* number;
    const char* type;
    const char* fileName;
};

class AttachmentFileNames : public ::testing::TestWithParam<NameCase>
{
};

TEST(AttachmentType, IsTheTextAfterTheLastDot)
{
    EXPECT_EQ(attachmentType("/home/clerk/通知.final.docx"_gbk), "docx");
    EXPECT_EQ(attachmentType("/home/clerk/readme"), "/home/clerk/readme");
    EXPECT_EQ(attachmentType("a."), "");
}

TEST_P(AttachmentFileNames, StayInsideTheFolder)
{
    EXPECT_EQ(attachmentFileName(gbk(GetParam().number), gbk(GetParam().type)), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(Names, AttachmentFileNames,
                         ::testing::Values(NameCase{"plain", "中法发〔2024〕1号", "doc", "中法发〔2024〕1号.doc"},
                                           NameCase{"separatorsInTheNumber", "../a/b\\c", "doc", "___a_b_c.doc"},
                                           NameCase{"typeIsAWholePath", "1号", "/home/clerk/README",
                                                    "1号._home_clerk_README"},
                                           NameCase{"dotsOnly", "..", "", "__."}, NameCase{"emptyBoth", "", "", "."}),
                         [](const auto& row) { return std::string(row.param.name); });

class WriteFileInFolder : public ::testing::Test
{
protected:
    std::string folder() const { return m_dir.path().toStdString(); }
    std::string read(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    QTemporaryDir m_dir;
};

TEST_F(WriteFileInFolder, OverwritesAnEarlierCopyAndLeavesNoTemporaryFile)
{
    ASSERT_EQ(writeFileInFolder(folder(), "1.doc", "first"), 0);
    ASSERT_EQ(writeFileInFolder(folder(), "1.doc", std::string("se\0cond", 7)), 0);
    EXPECT_EQ(read(folder() + "/1.doc"), std::string("se\0cond", 7));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder()), std::filesystem::directory_iterator()), 1);
}

TEST_F(WriteFileInFolder, ReplacesAPlantedLinkInsteadOfWritingThroughIt)
{
    const std::string victim = folder() + "/victim.txt";
    std::ofstream(victim) << "keep";
    std::filesystem::create_symlink(victim, folder() + "/1.doc");
    ASSERT_EQ(writeFileInFolder(folder(), "1.doc", "exported"), 0);
    EXPECT_EQ(read(victim), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(folder() + "/1.doc"));
    EXPECT_EQ(read(folder() + "/1.doc"), "exported");
}

TEST_F(WriteFileInFolder, TheFolderIsMadeOneLevelDeepAndAFolderInTheWayFails)
{
    EXPECT_EQ(ensureOutputFolder(folder() + "/out"), 0);
    EXPECT_EQ(ensureOutputFolder(folder() + "/out"), 0);
    EXPECT_NE(ensureOutputFolder(folder() + "/a/b"), 0);
    std::filesystem::create_directory(folder() + "/out/1.doc");
    EXPECT_NE(writeFileInFolder(folder() + "/out", "1.doc", "x"), 0);
}

} // namespace
} // namespace regdesk

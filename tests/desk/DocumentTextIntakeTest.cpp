#include "desk/DocumentTextIntake.h"

#include "TempDeskFolder.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

using namespace DocumentTextIntake;

// GBK text of UTF-8 lines, each ended by CR LF as the add-ins write them.
std::string documentText(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += utf8ToGbk(line) + "\r\n";
    return text;
}

GbkString repeated(const char* utf8Character, int count)
{
    GbkString text;
    for (int i = 0; i < count; ++i)
        text += utf8ToGbk(utf8Character);
    return text;
}

const std::vector<GbkString> kPrefixes = {"法〔2024〕"_gbk, "档发〔2024〕"_gbk};
const std::vector<GbkString> kKinds = {"决定"_gbk, "通知"_gbk};

std::string archiveLetter()
{
    return documentText({"市档案局文件", "档发〔2024〕3号", "市档案局关于加强", "档案管理的通知", "各科室：",
                         "　　为加强档案管理，现通知如下：", "一、各科室要……"});
}

// 22 + 3 × 100 bytes without a colon line: the fifth line finds the title too
// long, and nothing after it is read, the prefix and recipients included.
std::string longLetter()
{
    const std::string filler = gbkToUtf8(repeated("文", 50));
    return documentText({"关于加强档案管理的通知", filler.c_str(), filler.c_str(), filler.c_str(), "正文",
                         "档发〔2024〕9号", "各科室："});
}

struct IntakeCase
{
    const char* name;
    std::string text;
    const char* unit;
    int prefixIndex;
    const char* title; // UTF-8, as are the recipients
    const char* recipients;
};

class IntakeTable : public ::testing::TestWithParam<IntakeCase>
{
};

TEST_P(IntakeTable, TakesTitleRecipientsAndPrefix)
{
    const IntakeCase& c = GetParam();
    const DocumentText text = take(c.text, utf8ToGbk(c.unit), kPrefixes, kKinds);
    EXPECT_EQ(gbkToUtf8(text.title), c.title);
    EXPECT_EQ(gbkToUtf8(text.recipients), c.recipients);
    EXPECT_EQ(text.prefixIndex, c.prefixIndex);
}

const std::string a253(253, 'a');
const std::string a254(254, 'a');

// clang-format off
INSTANTIATE_TEST_SUITE_P(Documents, IntakeTable, ::testing::Values(
    IntakeCase{"LetterheadNamingTheUnitStartsTheTitle", archiveLetter(), "市档案局", 1,
               "市档案局文件档发〔2024〕3号市档案局关于加强档案管理的通知", "各科室"},
    IntakeCase{"WithAnotherUnitTheTitleStartsAtTheLineAbout", archiveLetter(), "县档案馆", 1,
               "市档案局关于加强档案管理的通知", "各科室"},
    IntakeCase{"AsciiColonLosesOneByte", documentText({"关于甲", "各科室:"}), "", -1, "关于甲", "各科室"},
    IntakeCase{"FullWidthColonLosesTwoBytes", documentText({"关于甲", "各科室："}), "", -1, "关于甲", "各科室"},
    IntakeCase{"BothColonsLoseThreeBytes", documentText({"关于甲", "各科室:："}), "", -1, "关于甲", "各科室"},
    // The bytes go from the end wherever the colons stand; half a character is not left behind.
    IntakeCase{"ColonsInsideLeaveNoHalfCharacter", documentText({"关于甲", "主送:各科室：附"}), "", -1, "关于甲",
               "主送:各科室"},
    IntakeCase{"PrefixBeforeTheStart", documentText({"档发〔2024〕3号", "市档案局关于甲", "各科室："}), "县档案馆", 1,
               "市档案局关于甲", "各科室"},
    IntakeCase{"PrefixAfterTheRecipientsLine", documentText({"关于甲", "各科室：", "印发：档发〔2024〕5号"}), "", 1,
               "关于甲", "各科室"},
    IntakeCase{"ATitleOver300BytesIsCutAtTheFirstListedKind", longLetter(), "", -1, "关于加强档案管理的通知", ""},
    IntakeCase{"NoUnitAndNoAboutLeavesAllEmpty", documentText({"市档案局文件", "各科室："}), "县档案馆", -1, "", ""},
    // 埃号 is B0 A3 BA C5: its middle bytes are those of "：" but no colon stands there.
    IntakeCase{"SearchesDoNotMatchAcrossCharacters", documentText({"关于埃号", "各科室："}), "", -1, "关于埃号",
               "各科室"},
    IntakeCase{"ALineOver254BytesIsReadAsTwo", a254 + utf8ToGbk("各科室:\r\n"), "", -1, a254.c_str(), "各科室"},
    IntakeCase{"CrLfCountsAsOneByte", a253 + utf8ToGbk("\r\n各科室:\r\n"), "", -1, a253.c_str(), "各科室"},
    IntakeCase{"ANulEndsTheLinesText", utf8ToGbk("关于甲") + '\0' + utf8ToGbk("乙\r\n各科室:\r\n"), "", -1,
               "关于甲", "各科室"}),
    [](const ::testing::TestParamInfo<IntakeCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(DocumentTextIntake, ATitleWithoutAnyKindIsLeftWhole)
{
    EXPECT_EQ(cutAtKind("关于甲乙"_gbk, kKinds), "关于甲乙"_gbk);
    EXPECT_EQ(cutAtKind("关于甲决定乙通知丙决定丁"_gbk, kKinds), "关于甲决定乙通知丙决定"_gbk);
    EXPECT_EQ(cutAtKind("关于甲通知乙"_gbk, {""_gbk, "通知"_gbk}), "关于甲通知"_gbk);
}

TEST(DocumentTextIntake, TheBuffersAreNeverOverrunButCutAtWholeCharacters)
{
    // 300 bytes are not yet too long, so a 252-byte line follows: 552 bytes in all.
    const GbkString first = "关于"_gbk + repeated("啊", 148);
    const GbkString second = repeated("乙", 126);
    const GbkString recipients = repeated("各", 120) + "："_gbk;
    const std::string text = first + "\r\n" + second + "\r\n" + recipients + "\r\n";

    const DocumentText taken = take(text, ""_gbk, kPrefixes, kKinds);
    EXPECT_EQ(taken.title, first + repeated("乙", 99));
    EXPECT_EQ(taken.title.size(), 498u);
    EXPECT_EQ(taken.recipients, repeated("各", 99));
    EXPECT_LE(taken.recipients.size(), kMaxRecipientsBytes);
}

TEST(DocumentTextIntakeFile, TheFileIsTakenOnceAndDeleted)
{
    test::TempDeskFolder folder;
    folder.writeFile(QStringLiteral("doctotxt.txt"), archiveLetter());

    const std::optional<DocumentText> taken = takeFile(folder.gbkPath(), "市档案局"_gbk, kPrefixes, kKinds);
    ASSERT_TRUE(taken);
    EXPECT_EQ(gbkToUtf8(taken->recipients), "各科室");
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("doctotxt.txt"))));
    EXPECT_EQ(takeFile(folder.gbkPath(), "市档案局"_gbk, kPrefixes, kKinds), std::nullopt); // no file: nothing
}

TEST(DocumentTextIntakeFile, ALinkOrAPipeUnderTheNameIsNotRead)
{
    test::TempDeskFolder folder;
    folder.writeFile(QStringLiteral("elsewhere.txt"), archiveLetter());
    const std::string name = toNativePath(joinPath(folder.gbkPath(), kFileName));
    ASSERT_EQ(::symlink(folder.filePath(QStringLiteral("elsewhere.txt")).toStdString().c_str(), name.c_str()), 0);
    EXPECT_EQ(takeFile(folder.gbkPath(), ""_gbk, kPrefixes, kKinds), std::nullopt);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("elsewhere.txt"))));

    ASSERT_EQ(::unlink(name.c_str()), 0);
    ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
    // A pipe without a writer would block a plain open for reading.
    EXPECT_EQ(takeFile(folder.gbkPath(), ""_gbk, kPrefixes, kKinds), std::nullopt);
}

} // namespace
} // namespace regdesk

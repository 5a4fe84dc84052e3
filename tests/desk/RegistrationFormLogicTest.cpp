#include "desk/RegistrationFormLogic.h"

#include "TempDeskFolder.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

namespace regdesk {
namespace {

using namespace RegistrationFormLogic;

SettingsFile settingsOf(test::TempDeskFolder& folder, const std::string& utf8Text)
{
    folder.writeSettings(utf8Text);
    return SettingsFile(joinPath(folder.gbkPath(), "document.ini"));
}

TEST(NumberPrefixes, EachValueGetsTheYearInBrackets)
{
    test::TempDeskFolder folder;
    const SettingsFile settings = settingsOf(folder, "[发文型式]\n1=甲发\n2=乙函\n\n");
    const std::vector<GbkString> expected = {"甲发〔2026〕"_gbk, "乙函〔2026〕"_gbk};
    EXPECT_EQ(numberPrefixes(settings, 2026), expected);
}

TEST(NumberPrefixes, TwelveEntriesGiveTheFirstTen)
{
    test::TempDeskFolder folder;
    std::string text = "[发文型式]\n";
    for (int i = 1; i <= 12; ++i)
        text += std::to_string(i) + "=型" + std::to_string(i) + "\n";
    const SettingsFile settings = settingsOf(folder, text + "\n");
    const std::vector<GbkString> prefixes = numberPrefixes(settings, 2027);
    ASSERT_EQ(prefixes.size(), 10u);
    EXPECT_EQ(prefixes.front(), "型1〔2027〕"_gbk);
    EXPECT_EQ(prefixes.back(), "型10〔2027〕"_gbk);
}

TEST(NumberPrefixes, TenEntriesAreAllKept)
{
    test::TempDeskFolder folder;
    std::string text = "[发文型式]\n";
    for (int i = 1; i <= 10; ++i)
        text += std::to_string(i) + "=型" + std::to_string(i) + "\n";
    EXPECT_EQ(numberPrefixes(settingsOf(folder, text + "\n"), 2026).size(), 10u);
}

TEST(FormSettings, EmptyFileGivesEmptyListsAndDefaults)
{
    test::TempDeskFolder folder;
    const SettingsFile settings = settingsOf(folder, "");
    EXPECT_TRUE(numberPrefixes(settings, 2026).empty());
    EXPECT_TRUE(recipientUnits(settings).empty());
    const OutgoingDefaults defaults = outgoingDefaults(settings);
    EXPECT_EQ(defaults.codeUnit, "");
    EXPECT_EQ(defaults.issuingUnit, "");
    EXPECT_EQ(defaults.title, "");
}

TEST(FormSettings, RecipientsAndDefaultsAreRead)
{
    test::TempDeskFolder folder;
    const SettingsFile settings = settingsOf(folder, "[发文设置]\n制码单位=市法院\n发文单位=办公室\n标题=关于\n\n"
                                                     "[主送单位]\n1=各庭室\n2=各派出法庭\n\n");
    const std::vector<GbkString> units = {"各庭室"_gbk, "各派出法庭"_gbk};
    EXPECT_EQ(recipientUnits(settings), units);
    const OutgoingDefaults defaults = outgoingDefaults(settings);
    EXPECT_EQ(defaults.codeUnit, "市法院"_gbk);
    EXPECT_EQ(defaults.issuingUnit, "办公室"_gbk);
    EXPECT_EQ(defaults.title, "关于"_gbk);
}

struct PasteCase
{
    const char* name;
    GbkString pasted;
    GbkString cleaned;
};

class CleanPastedText : public ::testing::TestWithParam<PasteCase>
{
};

TEST_P(CleanPastedText, RemovesBlanksAndLineBreaks)
{
    EXPECT_EQ(cleanPastedText(GetParam().pasted), GetParam().cleaned);
}

INSTANTIATE_TEST_SUITE_P(Texts, CleanPastedText,
                         ::testing::Values(PasteCase{"plain", "关于印发的通知"_gbk, "关于印发的通知"_gbk},
                                           PasteCase{"blanksAndBreaks", " 关于 印发\r\n的通知 \r\n"_gbk,
                                                     "关于印发的通知"_gbk},
                                           PasteCase{"fullWidthBlanks", "　关于　印发　"_gbk, "关于印发"_gbk},
                                           PasteCase{"tabsTrimmedAtTheEndsOnly", "\t甲\t乙\t"_gbk, "甲\t乙"_gbk},
                                           PasteCase{"empty", "", ""}, PasteCase{"blanksOnly", " \r\n　 "_gbk, ""},
                                           // 啊 (B0A1) followed by 、 (A1A2): the bytes A1 A1 straddle two characters.
                                           PasteCase{"fullWidthBlankOnlyOnCharacterBoundaries", "啊、"_gbk, "啊、"_gbk},
                                           PasteCase{"asciiNumber", " 甲发〔2026〕 12 号"_gbk, "甲发〔2026〕12号"_gbk}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Modes, TitleAndButtonNameTheModes)
{
    EXPECT_EQ(modeTitle(RegistrationMode::Incoming), "收文登记"_gbk);
    EXPECT_EQ(modeTitle(RegistrationMode::Outgoing), "发文登记"_gbk);
    EXPECT_EQ(modeButtonCaption(RegistrationMode::Incoming), "发文登记"_gbk);
    EXPECT_EQ(modeButtonCaption(RegistrationMode::Outgoing), "收文登记"_gbk);
    EXPECT_FALSE(switchNeedsConfirmation(0));
    EXPECT_TRUE(switchNeedsConfirmation(1));
}

TEST(DrafterRemarks, NameAfterTheLabelOrNothing)
{
    EXPECT_EQ(remarksOfDrafter("张三"_gbk), "拟稿人：张三"_gbk);
    EXPECT_EQ(remarksOfDrafter(""), "");
}

TEST(ListRow, RecordRoundTripsThroughTheListColumns)
{
    DocumentRecord record;
    for (std::size_t i = 0; i < record.fields.size(); ++i)
        record.fields[i] = "字段" + std::to_string(i);
    record.barcodeMade = "是"_gbk;
    record.attachmentPath = "/tmp/附件.doc"_gbk;
    const std::vector<GbkString> row = toListRow(record, "0101");
    ASSERT_EQ(row.size(), static_cast<std::size_t>(kListColumns));
    EXPECT_EQ(row[kBarcodeMadeColumn], "是"_gbk);
    EXPECT_EQ(row[kSortKeyColumn], "0101");
    const DocumentRecord back = fromListRow(row);
    EXPECT_EQ(back.fields, record.fields);
    EXPECT_EQ(back.barcodeMade, record.barcodeMade);
    EXPECT_EQ(back.attachmentPath, record.attachmentPath);
    EXPECT_EQ(fromListRow({"只有发文号"}).fields[DocumentRecord::Title], "");
}

} // namespace
} // namespace regdesk

#include "printing/TitleCatalogue.h"

#include "FakeListCells.h"
#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "platform/FileSystem.h"
#include "printing/CatalogueSortKey.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

struct KeyCase
{
    const char* name;
    const char* number;
    const char* key;
};

class CatalogueKey : public testing::TestWithParam<KeyCase>
{
};

TEST_P(CatalogueKey, ComesFromThePrefixCodeAndTheSerial)
{
    TempDeskFolder folder;
    folder.writeSettings("[自定义排序]\n办=01\n法=2\n啊不=03\n=05\n");
    const SettingsFile settings(joinPath(folder.gbkPath(), "document.ini"));
    EXPECT_EQ(gbkToUtf8(CatalogueSortKey::forNumber(settings, utf8ToGbk(GetParam().number))), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(TitleCatalogue, CatalogueKey,
                         testing::Values(KeyCase{"Configured", "办〔2024〕12号", "0100012"},
                                         KeyCase{"CodePaddedToTwo", "法〔2024〕7号", "0200007"},
                                         KeyCase{"UnknownPrefixIs99", "函〔2024〕3号", "9900003"},
                                         KeyCase{"SixDigitSerialKeptWhole", "办〔2024〕123456号", "01123456"},
                                         KeyCase{"NoMarksAtAll", "第七期",
                                                 "0500000"}, // the code of the empty key, no serial
                                         KeyCase{"MarkBytesInsideTwoCharacters", "啊不〔2024〕5号", "0300005"}),
                         [](const auto& row) { return std::string(row.param.name); });

class Catalogue : public testing::Test
{
protected:
    void SetUp() override
    {
        m_output = joinPath(m_folder.gbkPath(), "输出"_gbk);
        m_folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(m_output) + "/\n[自定义排序]\n办=01\n法=02\n");
    }
    bool print()
    {
        TitleCatalogue catalogue(joinPath(m_folder.gbkPath(), "document.ini"), m_prompter);
        return catalogue.print(m_rows);
    }
    GbkString file() const { return joinPath(m_output, "打印标题.txt"_gbk); }

    TempDeskFolder m_folder;
    GbkString m_output;
    FakePrompter m_prompter;
    FakeListCells m_rows{17};
};

TEST_F(Catalogue, ReordersEveryRowAndListsTheSelectedTitles)
{
    m_rows.add({"法〔2024〕7号", "关于甲的通知"});
    m_rows.add({"函〔2024〕1号", "关于乙的函"});
    m_rows.add({"办〔2024〕12号", "关于丙的报告"}, false);
    m_rows.add({"办〔2024〕3号", "关于丁的请示"});

    ASSERT_TRUE(print());
    EXPECT_EQ(m_rows.column(0),
              (std::vector<std::string>{"办〔2024〕3号", "办〔2024〕12号", "法〔2024〕7号", "函〔2024〕1号"}));
    EXPECT_EQ(m_rows.column(15), (std::vector<std::string>{"0100003", "0100012", "0200007", "9900001"}));
    EXPECT_EQ(m_rows.selectedRows(), (std::vector<int>{0, 2, 3})); // the selection went with its rows
    EXPECT_EQ(
        readWholeFile(file()),
        "文  件  目  录\r\n\r\n1.关于丁的请示\r\n2.关于甲的通知\r\n3.关于乙的函\r\n"_gbk); // the output folder was made
    ASSERT_EQ(m_prompter.shown().size(), 1u);
    EXPECT_EQ(m_prompter.texts()[0], QStringLiteral("已输出到") + QString::fromStdString(gbkToUtf8(file())));
    EXPECT_EQ(m_prompter.captions()[0], QStringLiteral("打印标题"));
}

TEST_F(Catalogue, FailuresAreShownAndNothingIsWritten)
{
    const struct
    {
        const char* name;
        bool selected;
        std::string settings;
        const char* text;
    } cases[] = {
        {"NoSelection", false, "", "请先选定输出行"},
        {"NoOutputFolder", true, "[发文设置]\n二维码输出位置=\n",
         "无法输出打印标题：[发文设置]中的二维码输出位置未设置"},
        {"FolderIsAFile", true, "[发文设置]\n二维码输出位置=" + gbkToUtf8(m_output) + "/x\n",
         "无法写入"}, // the path follows
    };
    m_folder.writeFile(QStringLiteral("输出"), "a file where the folder should be");
    for (const auto& c : cases) {
        m_rows = FakeListCells(17);
        m_rows.add({"办〔2024〕3号", "标题"}, c.selected);
        if (!c.settings.empty())
            m_folder.writeSettings(c.settings);
        m_prompter.clear();
        EXPECT_FALSE(print()) << c.name;
        ASSERT_EQ(m_prompter.shown().size(), 1u) << c.name;
        EXPECT_TRUE(m_prompter.texts()[0].startsWith(QString::fromUtf8(c.text))) << m_prompter.texts()[0].toStdString();
        EXPECT_EQ(m_prompter.captions()[0], QStringLiteral("打印标题"));
    }
    EXPECT_TRUE(m_prompter.texts()[0].contains(QString::fromStdString(gbkToUtf8(m_output) + "/x/打印标题.txt")));
}

TEST_F(Catalogue, ALinkPlantedAtTheFileIsReplacedNotFollowed)
{
    ASSERT_EQ(::mkdir(toNativePath(m_output).c_str(), 0755), 0);
    m_folder.writeFile(QStringLiteral("victim"), "keep me");
    ASSERT_TRUE(QFile::link(m_folder.filePath(QStringLiteral("victim")), QString::fromStdString(toNativePath(file()))));
    m_rows.add({"办〔2024〕3号", "标题"});
    ASSERT_TRUE(print());
    EXPECT_EQ(readWholeFile(joinPath(m_folder.gbkPath(), "victim")), "keep me");
    EXPECT_EQ(readWholeFile(file()), "文  件  目  录\r\n\r\n1.标题\r\n"_gbk);
}

} // namespace
} // namespace regdesk::test

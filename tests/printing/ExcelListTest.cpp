#include "FakeDesktopOpener.h"
#include "FakeListCells.h"
#include "FakePrompter.h"
#include "FlatOdsReader.h"
#include "TempDeskFolder.h"
#include "platform/FileSystem.h"
#include "printing/ExcelListPrinter.h"
#include "printing/ExcelService.h"

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <freexl.h>
#include <gtest/gtest.h>
#include <map>

namespace regdesk::test {
namespace {

using namespace std::chrono_literals;

const std::string kFakeOffice = REGDESK_TEST_DATA "/fake-soffice";

std::string fixture(const std::string& name)
{
    return readWholeFile(fromNativePath(REGDESK_TEST_DATA "/list/" + name)).value_or(std::string());
}

class RecordingProgress final : public PrintProgress
{
public:
    void start(int maximum) override { events.push_back("start " + std::to_string(maximum)); }
    void setPosition(int position) override { events.push_back("at " + std::to_string(position)); }
    void hide() override { events.push_back("hide"); }
    std::vector<std::string> events;
};

// The query window's list: 发文号 in column 0, 密级 in 2, 成文日期 in 8.
class ExcelList : public testing::Test
{
protected:
    void SetUp() override
    {
        ::unsetenv("FAKE_SOFFICE");
        ::unsetenv("FAKE_SOFFICE_XLS");
        m_folder.writeFile(QStringLiteral("收文清单.xlt"), fixture("repeats.fods")); // the fake "converts" by copying
        setRowsPerPage("20");
    }
    void TearDown() override { ::unsetenv("FAKE_SOFFICE_XLS"); }

    void setRowsPerPage(const std::string& value) { m_folder.writeSettings("[自定义排序]\n每页行数=" + value + "\n"); }
    void addRows(int count, const std::string& secrecy = "无", bool selected = true)
    {
        for (int i = 0; i < count; ++i) {
            const int n = m_rows.rowCount();
            m_rows.add({"办〔2024〕" + std::to_string(n) + "号", "标题", secrecy, "", "", "", "", "",
                        std::to_string(20240101 + n)},
                       selected);
        }
    }
    bool print(ExcelService& service)
    {
        ExcelListPrinter printer(service, m_prompter, m_opener, joinPath(m_folder.gbkPath(), "document.ini"),
                                 m_folder.gbkPath());
        return printer.print(m_rows, m_progress);
    }
    bool print() { return print(m_service); }
    QString output() const { return m_folder.filePath(QStringLiteral("收文清单.xls")); }
    FlatOdsReader printed() const
    {
        return FlatOdsReader(readWholeFile(fromNativePath(output().toStdString())).value_or(""));
    }

    TempDeskFolder m_folder;
    FakePrompter m_prompter;
    FakeDesktopOpener m_opener;
    FakeListCells m_rows{15};
    RecordingProgress m_progress;
    ExcelService m_service{kFakeOffice, 2s};
};

TEST_F(ExcelList, FortyFiveLinesAtTwentyMakeThreePagesNumberedThroughout)
{
    addRows(1, "无", false);
    addRows(30);
    addRows(1, "无", false); // list row 31 is not printed
    addRows(15);
    ASSERT_TRUE(print());
    const FlatOdsReader list = printed();

    EXPECT_EQ(list.sheetNames(), (std::vector<std::string>{"第1页", "第2页", "第3页"}));
    const std::vector<int> rows = m_rows.selectedRows();
    for (int line = 1; line <= 45; ++line) {
        const std::string page = "第" + std::to_string((line + 19) / 20) + "页";
        const int sheetRow = 5 + (line - 1) % 20;
        const int row = rows[static_cast<std::size_t>(line - 1)];
        const std::string date = gbkToUtf8(m_rows.cellText(row, 8));
        const std::string expected[] = {std::to_string(line), gbkToUtf8(m_rows.cellText(row, 0)), "1", date, "1", date};
        for (int column = 1; column <= 6; ++column) {
            EXPECT_EQ(list.cell(page, sheetRow, column).text, expected[column - 1]) << page << " " << sheetRow;
            EXPECT_EQ(list.cell(page, sheetRow, column).valueType, "string");
        }
    }
    EXPECT_EQ(list.cell("第1页", 25, 1).text, "");
    EXPECT_EQ(list.cell("第3页", 10, 1).text, "");
    EXPECT_EQ(list.cell("第3页", 1, 1).text, "收文清单"); // every page keeps the title rows
    // The bar moves line by line.
    std::vector<std::string> progress = {"start 45"};
    for (int line = 1; line <= 45; ++line)
        progress.push_back("at " + std::to_string(line));
    progress.push_back("hide");
    EXPECT_EQ(m_progress.events, progress);
    EXPECT_EQ(m_opener.openedFiles(), std::vector<GbkString>{fromNativePath(output().toStdString())});
    EXPECT_TRUE(m_prompter.shown().empty());
}

TEST_F(ExcelList, PagesBreakExactlyAtTheRowsPerPage)
{
    const struct
    {
        int perPage;
        int lines;
        std::vector<std::string> pages;
    } cases[] = {{20, 20, {"第1页"}}, {20, 21, {"第1页", "第2页"}}, {1, 3, {"第1页", "第2页", "第3页"}}};
    for (const auto& c : cases) {
        m_rows = FakeListCells(15);
        addRows(c.lines);
        setRowsPerPage(std::to_string(c.perPage));
        ASSERT_TRUE(print());
        const FlatOdsReader list = printed();
        EXPECT_EQ(list.sheetNames(), c.pages) << c.perPage << "/" << c.lines;
        const int lastRow = 5 + (c.lines - 1) % c.perPage;
        EXPECT_EQ(list.cell(c.pages.back(), lastRow, 1).text, std::to_string(c.lines));
        EXPECT_EQ(list.cell(c.pages.back(), lastRow + 1, 1).text, "");
    }
}

TEST_F(ExcelList, LinesOfClassifiedRowsAreBold)
{
    const std::pair<const char*, bool> secrecy[] = {{"秘密", true}, {"机密", true}, {"绝密", true},
                                                    {"无", false},  {"", false},    {"懊蹳", false}};
    for (const auto& [level, bold] : secrecy)
        addRows(1, level);
    ASSERT_TRUE(print());
    const FlatOdsReader list = printed();
    int row = 5;
    for (const auto& [level, bold] : secrecy) {
        for (int column = 1; column <= 6; ++column) {
            const std::string style = list.cell("第1页", row, column).style;
            EXPECT_EQ(list.textProperty(style, "style:font-weight-asian") == "bold", bold) << level << " " << column;
        }
        ++row;
    }
}

TEST_F(ExcelList, SheetsAroundThePageSheetKeepTheirPlaces)
{
    m_folder.writeFile(QStringLiteral("收文清单.xlt"), fixture("sheets.fods"));
    setRowsPerPage("2");
    addRows(3);
    ASSERT_TRUE(print());
    const FlatOdsReader list = printed();
    // The sheet behind the template's page sheet takes the next page's name, as Excel's renaming gave it.
    EXPECT_EQ(list.sheetNames(), (std::vector<std::string>{"封面", "第1页", "第2页", "第3页"}));
    EXPECT_EQ(list.cell("封面", 1, 1).text, "封面");
    EXPECT_EQ(list.cell("第2页", 5, 1).text, "3");
    EXPECT_EQ(list.cell("第3页", 1, 1).text, "7");
    EXPECT_EQ(list.value("//table:table[@table:name='第2页']/@table:print-ranges"),
              "第2页.A1:第2页.F9 $'第2页'.$A$12:.$B$12 封面.A1");
}

TEST_F(ExcelList, ASheetInFrontNamedLikeAPageIsRefused)
{
    std::string workbook = fixture("sheets.fods");
    workbook.replace(workbook.find("table:name=\"封面\""), std::strlen("table:name=\"封面\""), "table:name=\"第2页\"");
    m_folder.writeFile(QStringLiteral("收文清单.xlt"), workbook);
    addRows(1);
    EXPECT_FALSE(print());
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts()[0].contains(QStringLiteral("named 第2页 like a page")));
}

struct Refusal
{
    const char* name;
    const char* perPage; // 每页行数
    bool hasTemplate;
    const char* office;  // empty: the fake
    const char* xlsMode; // FAKE_SOFFICE_XLS
    bool selected;
    const char* text; // start of the box's text
    const char* caption;
};

class ExcelListRefusal : public ExcelList, public testing::WithParamInterface<Refusal>
{
};

TEST_P(ExcelListRefusal, ShowsWhyAndKeepsTheOldList)
{
    const Refusal refusal = GetParam();
    setRowsPerPage(refusal.perPage);
    if (!refusal.hasTemplate)
        QFile::remove(m_folder.filePath(QStringLiteral("收文清单.xlt")));
    if (*refusal.xlsMode)
        ::setenv("FAKE_SOFFICE_XLS", refusal.xlsMode, 1);
    m_folder.writeFile(QStringLiteral("收文清单.xls"), "old list");
    addRows(3, "无", refusal.selected);
    ExcelService service(*refusal.office ? refusal.office : kFakeOffice, 3s);

    EXPECT_FALSE(print(service));
    ASSERT_EQ(m_prompter.shown().size(), 1u);
    EXPECT_TRUE(m_prompter.texts()[0].startsWith(QString::fromUtf8(refusal.text)))
        << m_prompter.texts()[0].toStdString();
    EXPECT_EQ(m_prompter.captions()[0], QString::fromUtf8(refusal.caption));
    EXPECT_EQ(readWholeFile(fromNativePath(output().toStdString())), "old list");
    EXPECT_TRUE(m_opener.openedFiles().empty());
    EXPECT_TRUE(m_progress.events.empty() || m_progress.events.back() == "hide");
}

INSTANTIATE_TEST_SUITE_P(
    ExcelList, ExcelListRefusal,
    testing::Values(Refusal{"NoSelection", "20", true, "", "", false, "请先选定行", "打印"},
                    Refusal{"NoRowsPerPage", "", true, "", "", true,
                            "无法打印：请在document.ini的[自定义排序]中把每页行数", "打印"},
                    Refusal{"RowsPerPageNotANumber", "二十", true, "", "", true, "无法打印：", "打印"},
                    Refusal{"RowsPerPageZero", "0", true, "", "", true, "无法打印：", "打印"},
                    Refusal{"RowsPerPageNegative", "-5", true, "", "", true, "无法打印：", "打印"},
                    Refusal{"RowsPerPagePastTheSheet", "65533", true, "", "", true, "无法打印：", "打印"},
                    Refusal{"NoLibreOffice", "20", true, "/nonexistent/soffice", "", true, "创建Excel服务失败!", ""},
                    Refusal{"NoTemplate", "20", false, "", "", true, "找不到Excel模板：", ""},
                    Refusal{"ConversionWritesNothing", "20", true, "", "fail", true,
                            "生成Excel清单失败：LibreOffice could not", ""},
                    Refusal{"ConversionWritesAnEmptyFile", "20", true, "", "empty", true, "生成Excel清单失败：", ""},
                    Refusal{"ConversionHangs", "20", true, "", "hang", true,
                            "生成Excel清单失败：LibreOffice did not finish", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ExcelList, ALinkPlantedAtTheListIsReplacedNotFollowed)
{
    m_folder.writeFile(QStringLiteral("victim"), "keep me");
    ASSERT_TRUE(QFile::link(m_folder.filePath(QStringLiteral("victim")), output()));
    addRows(2);
    ASSERT_TRUE(print());
    EXPECT_EQ(readWholeFile(fromNativePath(m_folder.filePath(QStringLiteral("victim")).toStdString())), "keep me");
    EXPECT_FALSE(QFileInfo(output()).isSymLink());
    EXPECT_EQ(printed().cell("第1页", 6, 1).text, "2");
}

TEST_F(ExcelList, TheTemplateIsConvertedOnceUntilItChanges)
{
    addRows(2);
    ASSERT_TRUE(print());
    m_rows = FakeListCells(15);
    addRows(21); // printing again overwrites the list
    ASSERT_TRUE(print());
    EXPECT_EQ(m_service.templateConversions(), 1);
    EXPECT_EQ(printed().sheetNames().size(), 2u);

    m_folder.writeFile(QStringLiteral("收文清单.xlt"), fixture("sheets.fods"));
    ASSERT_TRUE(print());
    EXPECT_EQ(m_service.templateConversions(), 2);
    EXPECT_EQ(printed().sheetNames().front(), "封面");
}

TEST_F(ExcelList, AListNoProgramCanShowIsStillSavedAndSaidSo)
{
    m_opener.failFiles();
    addRows(1);
    ASSERT_TRUE(print());
    EXPECT_EQ(printed().cell("第1页", 5, 1).text, "1");
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts()[0].contains(QStringLiteral("没有能打开它的程序")));
}

// Every text cell of every sheet of an .xls file as freexl reads it (UTF-8; rows and columns from 1).
using XlsSheet = std::pair<std::string, std::map<std::pair<unsigned, unsigned>, std::string>>;
std::vector<XlsSheet> readXls(const std::string& path)
{
    std::vector<XlsSheet> sheets;
    const void* handle = nullptr;
    if (freexl_open(path.c_str(), &handle) != FREEXL_OK)
        return sheets;
    unsigned int count = 0, rows = 0;
    unsigned short columns = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned short sheet = 0; sheet < count; ++sheet) {
        const char* name = nullptr;
        freexl_get_worksheet_name(handle, sheet, &name);
        sheets.emplace_back(name ? name : "", XlsSheet::second_type());
        freexl_select_active_worksheet(handle, sheet);
        freexl_worksheet_dimensions(handle, &rows, &columns);
        for (unsigned row = 0; row < rows; ++row) {
            for (unsigned short column = 0; column < columns; ++column) {
                FreeXL_CellValue value{};
                if (freexl_get_cell_value(handle, row, column, &value) == FREEXL_OK &&
                    (value.type == FREEXL_CELL_TEXT || value.type == FREEXL_CELL_SST_TEXT))
                    sheets.back().second[{row + 1, column + 1u}] = value.value.text_value;
            }
        }
    }
    freexl_close(handle);
    return sheets;
}

TEST_F(ExcelList, RoundTripThroughLibreOffice)
{
    ExcelService service;
    if (!service.isAvailable())
        GTEST_SKIP() << "soffice is not installed: the list is not printed through LibreOffice here";
    // The sample template of the set-up, made the same way.
    m_folder.writeFile(QStringLiteral("收文清单.fods"),
                       readWholeFile(fromNativePath(REGDESK_RES_DIR "/收文清单.fods")).value_or(""));
    OfficeConverter converter;
    ASSERT_TRUE(converter
                    .convert(joinPath(m_folder.gbkPath(), "收文清单.fods"_gbk), "xlt:MS Excel 97 Vorlage/Template",
                             m_folder.gbkPath())
                    .converted);
    addRows(24);
    addRows(1, "绝密");
    ASSERT_TRUE(print(service)) << m_prompter.texts().join(QStringLiteral("; ")).toStdString();

    std::vector<XlsSheet> list = readXls(output().toStdString());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].first, "第1页");
    EXPECT_EQ(list[1].first, "第2页");
    EXPECT_EQ((list[0].second[{1, 1}]), "收文清单");
    EXPECT_EQ((list[1].second[{4, 2}]), "文号");
    EXPECT_EQ((list[0].second[{5, 1}]), "1"); // texts, not numbers
    EXPECT_EQ((list[0].second[{24, 2}]), "办〔2024〕19号");
    EXPECT_EQ((list[1].second[{9, 6}]), "20240125");
    EXPECT_EQ((list[1].second[{9, 1}]), "25");
    // Bold must survive the .xls: read the list back as LibreOffice sees it.
    ASSERT_TRUE(converter.convert(fromNativePath(output().toStdString()), "fods", m_folder.gbkPath()).converted);
    const FlatOdsReader back(readWholeFile(joinPath(m_folder.gbkPath(), "收文清单.fods"_gbk)).value_or(""));
    EXPECT_EQ(back.textProperty(back.cell("第2页", 9, 2).style, "style:font-weight-asian"), "bold");
    EXPECT_NE(back.textProperty(back.cell("第2页", 8, 2).style, "style:font-weight-asian"), "bold");
}

} // namespace
} // namespace regdesk::test

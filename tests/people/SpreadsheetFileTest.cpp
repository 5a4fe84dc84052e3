#include "people/SpreadsheetFile.h"

#include "TempDeskFolder.h"
#include "TestData.h"
#include "people/XlsFormulaScan.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk::test {
namespace {

using Cells = std::vector<GbkString>;

class SheetTest : public ::testing::Test
{
protected:
    // The fixture under a name of our choice in a fresh folder.
    GbkString copy(const std::string& fixture, const GbkString& name)
    {
        m_folder.writeFile(QString::fromStdString(toNativePath(name)), testData("people/" + fixture));
        return path(name);
    }
    GbkString path(const GbkString& name) const { return joinPath(m_folder.gbkPath(), name); }

    TempDeskFolder m_folder;
};

TEST_F(SheetTest, TwoColumnSheetHoldsTheNamesRowAndOneRecord)
{
    SpreadsheetFile sheet(copy("sheets.xls", "人员.xls"_gbk), "sheet1");

    ASSERT_TRUE(sheet.isSheet());
    ASSERT_EQ(sheet.totalRows(), 2) << sheet.lastError();
    EXPECT_EQ(sheet.rows().front(), "\"姓名\",;.?\"简称\""_gbk);
    EXPECT_EQ(sheet.totalColumns(), 2);
    EXPECT_EQ(sheet.columnNames(), (Cells{"姓名"_gbk, "简称"_gbk}));
    EXPECT_TRUE(sheet.exists());
    EXPECT_EQ(sheet.currentRow(), 1);

    Cells cells;
    ASSERT_TRUE(sheet.readRow(cells, 2));
    EXPECT_EQ(cells, (Cells{"张三"_gbk, "ZS"}));
    EXPECT_EQ(sheet.currentRow(), 3);
}

TEST_F(SheetTest, WorksheetIsFoundWithoutRegardToCase)
{
    const GbkString file = copy("sheets.xls", "a.xls");
    for (const char* name : {"sheet1", "SHEET1", "Sheet1", "onecolumn"})
        EXPECT_GT(SpreadsheetFile(file, name).totalRows(), 0) << name;
}

TEST_F(SheetTest, MissingWorksheetReadsAsNothing)
{
    SpreadsheetFile sheet(copy("sheets.xls", "a.xls"), "sheet2");

    EXPECT_EQ(sheet.totalRows(), 0);
    EXPECT_FALSE(sheet.exists());
    EXPECT_FALSE(sheet.lastError().empty());
    Cells cells;
    EXPECT_FALSE(sheet.readRow(cells, 1));
    EXPECT_EQ(sheet.lastError(), "Desired row is greater than total number of rows in spreadsheet\n");
    GbkString cell;
    EXPECT_FALSE(sheet.readCell(cell, 1, 1));
    EXPECT_EQ(sheet.lastError(), "Error reading row\n");
}

TEST_F(SheetTest, OneColumnRowsAreOneCellWithoutQuotes)
{
    SpreadsheetFile sheet(copy("sheets.xls", "a.xls"), "OneColumn");

    ASSERT_EQ(sheet.totalRows(), 3);
    Cells cells;
    ASSERT_TRUE(sheet.readRow(cells, 3));
    EXPECT_EQ(cells, Cells{"李四"_gbk});
}

TEST_F(SheetTest, ValuesComeOutAsTextAndFormulasAsEmptyButKnown)
{
    SpreadsheetFile sheet(copy("sheets.xls", "a.xls"), "Values");

    ASSERT_EQ(sheet.totalRows(), 2);
    // An unnamed column is named by its position, as Excel's driver does.
    EXPECT_EQ(sheet.columnNames(), (Cells{"编号"_gbk, "证件号"_gbk, "小数"_gbk, "公式"_gbk, "F5", "备注"_gbk}));
    Cells cells;
    ASSERT_TRUE(sheet.readRow(cells, 2));
    EXPECT_EQ(cells, (Cells{"1001", "12345678901", "2.5", "", "x", "末列"_gbk}));
    EXPECT_TRUE(sheet.isFormulaCell(4, 2));
    EXPECT_FALSE(sheet.isFormulaCell(1, 2));
    EXPECT_FALSE(sheet.isFormulaCell(5, 2));
}

TEST_F(SheetTest, ReadCellLeavesTheCurrentRowAlone)
{
    SpreadsheetFile sheet(copy("people-gap.xls", "a.xls"), "sheet1");
    Cells cells;
    ASSERT_TRUE(sheet.readRow(cells)); // row 1
    ASSERT_EQ(sheet.currentRow(), 2);

    GbkString cell;
    ASSERT_TRUE(sheet.readCell(cell, 1, 1));
    EXPECT_EQ(cell, "姓名"_gbk);
    ASSERT_TRUE(sheet.readCell(cell, 2)); // the current row
    EXPECT_EQ(cell, "ZS");
    EXPECT_EQ(sheet.currentRow(), 2);

    EXPECT_FALSE(sheet.readCell(cell, 3, 2)); // past the last cell: no error text
    EXPECT_TRUE(cell.empty());
    EXPECT_FALSE(sheet.readCell(cell, 0, 2));
    EXPECT_EQ(sheet.lastError(), "Column cannot be zero\n");
    EXPECT_EQ(sheet.currentRow(), 2);
}

TEST_F(SheetTest, RowsRunOutAtTheEnd)
{
    SpreadsheetFile sheet(copy("people.xls", "a.xls"), "sheet1");
    ASSERT_EQ(sheet.totalRows(), 3);
    Cells cells;
    EXPECT_FALSE(sheet.readRow(cells, 4));
    EXPECT_EQ(sheet.lastError(), "Desired row is greater than total number of rows in spreadsheet\n");

    ASSERT_TRUE(sheet.readRow(cells, 3));
    EXPECT_FALSE(sheet.readRow(cells)); // current row past the end: fails without a text
    EXPECT_EQ(sheet.lastError(), "Desired row is greater than total number of rows in spreadsheet\n");
}

struct ModeCase
{
    const char* name;
    const char* file;
    bool sheet;
};

class SheetMode : public ::testing::TestWithParam<ModeCase>
{
};

TEST_P(SheetMode, FollowsTheLastFourCharactersOfTheName)
{
    EXPECT_EQ(SpreadsheetFile(GetParam().file, "sheet1").isSheet(), GetParam().sheet);
}

INSTANTIATE_TEST_SUITE_P(Names, SheetMode,
                         ::testing::Values(ModeCase{"LowerCase", "/nonexistent/a.xls", true},
                                           ModeCase{"Capitals", "/nonexistent/a.XLS", true},
                                           ModeCase{"Xlsx", "/nonexistent/a.xlsx", false},
                                           ModeCase{"NoDot", "/nonexistent/axls", false},
                                           ModeCase{"Text", "/nonexistent/a.txt", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SheetTest, TextModeCutsLinesAtTheGivenSeparator)
{
    m_folder.writeFile(QStringLiteral("names.txt"),
                       utf8ToGbk("姓名\r\n张三sheet1ZS\r\n\r\n\"王五\"\n\"甲\"sheet1\"乙\"sheet1\"丙\""));
    SpreadsheetFile sheet(path("names.txt"), "sheet1");

    ASSERT_FALSE(sheet.isSheet());
    ASSERT_EQ(sheet.totalRows(), 5);
    EXPECT_EQ(sheet.totalColumns(), 3);
    EXPECT_EQ(sheet.columnNames(), Cells{"姓名"_gbk});
    const std::vector<Cells> expected = {
        {"姓名"_gbk}, {"张三"_gbk, "ZS"}, {""}, {"王五"_gbk}, {"甲"_gbk, "乙"_gbk, "丙"_gbk}};
    for (int row = 1; row <= 5; ++row) {
        Cells cells;
        ASSERT_TRUE(sheet.readRow(cells, row));
        EXPECT_EQ(cells, expected[static_cast<std::size_t>(row - 1)]) << "row " << row;
    }
}

// Files that must read as nothing, quickly: the desk must neither hang nor crash on them.
struct HostileCase
{
    const char* name;
    std::function<GbkString(TempDeskFolder&)> make;
};

class HostileFile : public ::testing::TestWithParam<HostileCase>
{
protected:
    TempDeskFolder m_folder;
};

TEST_P(HostileFile, ReadsAsNothing)
{
    const GbkString file = GetParam().make(m_folder);
    const auto began = std::chrono::steady_clock::now();
    SpreadsheetFile sheet(file, "sheet1");
    EXPECT_EQ(sheet.totalRows(), 0);
    EXPECT_FALSE(sheet.lastError().empty());
    // A FIFO would block an open for ever; a generous bound still tells.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30));
}

GbkString fifo(TempDeskFolder& folder, const char* name)
{
    const GbkString path = joinPath(folder.gbkPath(), name);
    ::mkfifo(toNativePath(path).c_str(), 0600);
    return path;
}

GbkString link(TempDeskFolder& folder, const char* name, const char* target)
{
    const GbkString path = joinPath(folder.gbkPath(), name);
    if (::symlink(target, toNativePath(path).c_str()) != 0)
        return {};
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFile,
    ::testing::Values(HostileCase{"Missing", [](TempDeskFolder& f) { return joinPath(f.gbkPath(), "none.xls"); }},
                      HostileCase{"FifoAsSheet", [](TempDeskFolder& f) { return fifo(f, "pipe.xls"); }},
                      HostileCase{"FifoAsText", [](TempDeskFolder& f) { return fifo(f, "pipe.txt"); }},
                      HostileCase{"LinkToADevice", [](TempDeskFolder& f) { return link(f, "zero.xls", "/dev/zero"); }},
                      HostileCase{"Folder",
                                  [](TempDeskFolder& f) {
                                      const GbkString path = joinPath(f.gbkPath(), "dir.xls");
                                      ::mkdir(toNativePath(path).c_str(), 0700);
                                      return path;
                                  }},
                      HostileCase{"Truncated",
                                  [](TempDeskFolder& f) {
                                      f.writeFile(QStringLiteral("cut.xls"),
                                                  testData("people/sheets.xls").substr(0, 1536));
                                      return joinPath(f.gbkPath(), "cut.xls");
                                  }},
                      HostileCase{"Oversized",
                                  [](TempDeskFolder& f) {
                                      const GbkString path = joinPath(f.gbkPath(), "big.txt");
                                      FilePtr file = openFile(path, "wb");
                                      // Sparse: the size is there without the bytes on disk.
                                      if (file &&
                                          ::ftruncate(::fileno(file.get()), SpreadsheetFile::kMaxFileBytes + 1) != 0)
                                          return GbkString();
                                      return path;
                                  }}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace regdesk::test

#include "printing/FlatOdsDocument.h"

#include "FlatOdsReader.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

std::string fixture(const std::string& name)
{
    return readWholeFile(fromNativePath(REGDESK_TEST_DATA "/list/" + name)).value_or(std::string());
}

FlatOdsDocument parsed(const std::string& name)
{
    FlatOdsDocument document;
    std::string reason;
    EXPECT_TRUE(document.parse(fixture(name), reason)) << reason;
    return document;
}

struct Position
{
    const char* name;
    int row, column;
};

class SplitRepeats : public testing::TestWithParam<Position>
{
};

TEST_P(SplitRepeats, OnlyTheWrittenCellChanges)
{
    const Position at = GetParam();
    FlatOdsDocument document = parsed("repeats.fods");
    ASSERT_TRUE(document.setTextCell(0, at.row, at.column, "x", false));
    const FlatOdsReader sheet(document.serialize());
    const FlatOdsReader before(fixture("repeats.fods"));

    EXPECT_EQ(sheet.cell("Sheet1", at.row, at.column).text, "x");
    for (const auto& [row, column] :
         {std::pair{at.row - 1, at.column}, {at.row + 1, at.column}, {at.row, at.column - 1}, {at.row, at.column + 1}})
        EXPECT_EQ(sheet.cell("Sheet1", row, column).text, before.cell("Sheet1", row, column).text)
            << row << "," << column;
    EXPECT_EQ(sheet.rowCount("Sheet1"), FlatOdsDocument::kMaxRows);
    EXPECT_EQ(sheet.isHeaderRow("Sheet1", at.row), at.row <= 4);
    EXPECT_EQ(sheet.cell("Sheet1", 4, 2).text, "文号");
}

INSTANTIATE_TEST_SUITE_P(FlatOdsDocument, SplitRepeats,
                         testing::Values(Position{"FirstLineRow", 5, 1}, Position{"DeepInTheRepeatedRows", 300, 3},
                                         Position{"LastColumnOfARepeat", 7, 1024},
                                         Position{"InsideRepeatedHeaderRows", 2, 2},
                                         Position{"BehindAWrittenCell", 1, 2}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FlatOdsDocument, RowsPastTheFileAreAddedBehindTheHeaderRows)
{
    FlatOdsDocument document = parsed("sheets.fods");
    const int sheet = document.findSheet("sheet1");
    ASSERT_EQ(sheet, 1); // named "SHEET1"
    ASSERT_TRUE(document.setTextCell(sheet, 8, 2, "b", false));
    ASSERT_TRUE(document.setTextCell(sheet, 5, 1, "a", false));
    const FlatOdsReader read(document.serialize());

    EXPECT_EQ(read.cell("SHEET1", 5, 1).text, "a");
    EXPECT_EQ(read.cell("SHEET1", 8, 2).text, "b");
    EXPECT_EQ(read.cell("SHEET1", 6, 2).text, "");
    EXPECT_EQ(read.cell("SHEET1", 4, 1).text, "序号");
    EXPECT_TRUE(read.isHeaderRow("SHEET1", 4));
    EXPECT_FALSE(read.isHeaderRow("SHEET1", 5));
    EXPECT_FALSE(read.isHeaderRow("SHEET1", 8));
}

// A page of 8,000 lines: every write finds its row from the one before, not
// from the sheet's first row (which made one page of 8,000 lines take 18 s).
TEST(FlatOdsDocument, LinesWrittenInOrderCostAFewStepsEach)
{
    FlatOdsDocument document = parsed("repeats.fods");
    const int sheet = document.findSheet("sheet1");
    constexpr int kLines = 8000;
    for (int line = 1; line <= kLines; ++line) {
        for (const int column : {1, 2, 3, 5, 4, 6})
            ASSERT_TRUE(
                document.setTextCell(sheet, 4 + line, column, std::to_string(line * 10 + column), line % 3 == 0));
    }

    EXPECT_LE(document.rowsWalked(), 10 * 6 * kLines);
    const FlatOdsReader read(document.serialize());
    for (const int line : {1, 2, kLines - 1, kLines}) {
        for (int column = 1; column <= 6; ++column)
            EXPECT_EQ(read.cell("Sheet1", 4 + line, column).text, std::to_string(line * 10 + column)) << line;
    }
    EXPECT_EQ(read.cell("Sheet1", 5 + kLines, 1).text, "");
    EXPECT_EQ(read.cell("Sheet1", 1, 1).text, "收文清单");
}

TEST(FlatOdsDocument, TextsAreWrittenAsStringsExactly)
{
    const std::pair<const char*, const char*> texts[] = {
        {"1", "1"},
        {"20240102", "20240102"},
        {"  两个前导空格", "  两个前导空格"},
        {"a   b ", "a   b "},
        {"tab\tin", "tab\tin"},
        {"<&>\"'", "<&>\"'"},
        {"a\x01\x7f"
         "b",
         "ab"},
    };
    FlatOdsDocument document = parsed("sheets.fods");
    int row = 1;
    for (const auto& [text, shown] : texts)
        ASSERT_TRUE(document.setTextCell(2, row++, 1, text, false)) << text; // 附表, whose A1 holds a number
    const FlatOdsReader read(document.serialize());
    row = 1;
    for (const auto& [text, shown] : texts) {
        EXPECT_EQ(read.cell("附表", row, 1).text, shown) << text;
        EXPECT_EQ(read.cell("附表", row++, 1).valueType, "string") << text;
    }
    EXPECT_EQ(read.count("//table:table-cell[@office:value]"), 0);
    EXPECT_FALSE(document.setTextCell(2, 1, 1, "\xff\xfe", false)); // not UTF-8
    EXPECT_FALSE(document.setTextCell(2, 0, 1, "x", false));
    EXPECT_FALSE(document.setTextCell(2, 1, FlatOdsDocument::kMaxColumns + 1, "x", false));
}

struct BoldCase
{
    const char* name;
    const char* file;
    int row, column;
    const char* keptXPath; // relative to the bold style: what it keeps of its base
};

class BoldStyle : public testing::TestWithParam<BoldCase>
{
};

TEST_P(BoldStyle, IsTheCellsOwnStyleWithEveryWeightBold)
{
    const BoldCase bold = GetParam();
    FlatOdsDocument document = parsed(bold.file);
    const int sheet = document.findSheet("sheet1");
    const int stylesBefore = FlatOdsReader(fixture(bold.file)).count("//office:automatic-styles/style:style");
    ASSERT_TRUE(document.setTextCell(sheet, bold.row, bold.column, "机密", true));
    ASSERT_TRUE(document.setTextCell(sheet, bold.row, bold.column, "绝密", true)); // no clone of the clone
    const FlatOdsReader read(document.serialize());
    const std::string style = read.cell(document.sheetName(sheet), bold.row, bold.column).style;

    ASSERT_FALSE(style.empty());
    EXPECT_EQ(read.count("//office:automatic-styles/style:style"), stylesBefore + 1);
    for (const char* weight : {"fo:font-weight", "style:font-weight-asian", "style:font-weight-complex"})
        EXPECT_EQ(read.textProperty(style, weight), "bold") << weight;
    EXPECT_EQ(read.count("//style:style[@style:name='" + style + "']/" + bold.keptXPath), 1) << bold.keptXPath;
}

INSTANTIATE_TEST_SUITE_P(FlatOdsDocument, BoldStyle,
                         testing::Values(BoldCase{"ColumnStyleWithBorder", "repeats.fods", 5, 1,
                                                  "style:table-cell-properties[@fo:border='0.5pt solid #000000']"},
                                         BoldCase{"OwnStyleOfACell", "repeats.fods", 1, 1,
                                                  "style:paragraph-properties[@fo:text-align='center']"},
                                         BoldCase{"CommonStyleBecomesTheParent", "sheets.fods", 5, 5,
                                                  "@style:parent-style-name[.='Heading']"},
                                         BoldCase{"NoStyleAtAllMeansDefault", "sheets.fods", 5, 1,
                                                  "@style:parent-style-name[.='Default']"},
                                         BoldCase{"PropertiesStayInFrontOfMaps", "sheets.fods", 5, 4,
                                                  "style:text-properties[following-sibling::style:map]"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FlatOdsDocument, TheTemplatesOwnPrintRangesAndScriptMapAreDropped)
{
    FlatOdsDocument document = parsed("repeats.fods");
    document.dropTemplateLinks();
    const FlatOdsReader read(document.serialize());
    EXPECT_EQ(read.count("//table:named-range[starts-with(@table:name, 'Excel_BuiltIn_Print_')]"), 0);
    EXPECT_EQ(read.count("//config:config-item-map-named[@config:name='ScriptConfiguration']"), 0);
    EXPECT_EQ(read.count("//table:named-range[@table:name='单位']"), 1);
    EXPECT_TRUE(read.isHeaderRow("Sheet1", 4)); // the print titles proper
}

TEST(FlatOdsDocument, BrokenFilesAreRefusedWithAReason)
{
    const std::string spreadsheetStart =
        R"(<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0">)";
    for (const std::string& text :
         {std::string(), std::string("not xml"), fixture("repeats.fods").substr(0, 900),
          spreadsheetStart + "<office:body/></office:document>", std::string("<html><body/></html>")}) {
        FlatOdsDocument document;
        std::string reason;
        EXPECT_FALSE(document.parse(text, reason)) << text;
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(document.sheetCount(), 0);
    }
}

TEST(FlatOdsDocument, OddRepeatCountsCountOnce)
{
    FlatOdsDocument document;
    std::string reason;
    ASSERT_TRUE(document.parse(R"(<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
        xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"><office:body><office:spreadsheet>
        <table:table table:name="sheet1"><table:table-row table:number-rows-repeated="-3"><table:table-cell/>
        </table:table-row><table:table-row table:number-rows-repeated="x"><table:table-cell
        table:number-columns-repeated="99999999999999"/></table:table-row></table:table>
        </office:spreadsheet></office:body></office:document>)",
                               reason))
        << reason;
    ASSERT_TRUE(document.setTextCell(0, 3, 2, "c", false));
    const FlatOdsReader read(document.serialize());
    EXPECT_EQ(read.cell("sheet1", 3, 2).text, "c"); // rows 1 and 2 were one each
    EXPECT_EQ(read.rowCount("sheet1"), 3);
}

} // namespace
} // namespace regdesk::test

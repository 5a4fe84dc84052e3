// Both printing operations on the desk's real list control: what the clerk
// selected and sees is what is printed, and the catalogue's new order shows.
#include "FakeDesktopOpener.h"
#include "FakePrompter.h"
#include "FlatOdsReader.h"
#include "TempDeskFolder.h"
#include "list/RegisterListCells.h"
#include "list/RegisterListCtrl.h"
#include "platform/BackgroundWork.h"
#include "platform/FileSystem.h"
#include "printing/ExcelListPrinter.h"
#include "printing/ExcelService.h"
#include "printing/QtPrintProgress.h"
#include "printing/TitleCatalogue.h"

#include <QApplication>
#include <QProgressBar>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

std::vector<GbkString> row(const std::string& number, const std::string& title, const std::string& secrecy)
{
    std::vector<GbkString> cells(17);
    cells[0] = utf8ToGbk(number);
    cells[1] = utf8ToGbk(title);
    cells[2] = utf8ToGbk(secrecy);
    cells[8] = "20240102";
    return cells;
}

TEST(PrintingFromTheList, TheCatalogueReordersTheControlAndTheListPrintsItsSelection)
{
    TempDeskFolder folder;
    const GbkString output = joinPath(folder.gbkPath(), "out");
    folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(output) +
                         "\n[自定义排序]\n办=01\n法=02\n每页行数=20\n");
    folder.writeFile(QStringLiteral("收文清单.xlt"),
                     readWholeFile(fromNativePath(REGDESK_TEST_DATA "/list/repeats.fods")).value_or(std::string()));
    RegisterListCtrl list;
    list.setupColumns("0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
    list.listModel().appendRow(row("法〔2024〕7号", "甲", "机密"));
    list.listModel().appendRow(row("办〔2024〕12号", "乙", "无"));
    list.listModel().appendRow(row("办〔2024〕3号", "丙", "无"));
    list.selectRow(0);
    list.selectRow(2, true);
    RegisterListCells rows(list);
    FakePrompter prompter;

    ASSERT_TRUE(TitleCatalogue(joinPath(folder.gbkPath(), "document.ini"), prompter).print(rows));
    EXPECT_EQ(list.listModel().cellText(0, 0), "办〔2024〕3号"_gbk);
    EXPECT_EQ(list.listModel().cellText(2, 15), "0200007");
    EXPECT_EQ(list.selectedRowNumbers(), (std::vector<int>{0, 2}));
    EXPECT_EQ(readWholeFile(joinPath(output, "打印标题.txt"_gbk)), "文  件  目  录\r\n\r\n1.丙\r\n2.甲\r\n"_gbk);

    ExcelService service(REGDESK_TEST_DATA "/fake-soffice");
    FakeDesktopOpener opener;
    QProgressBar bar;
    QtPrintProgress progress(bar);
    ExcelListPrinter printer(service, prompter, opener, joinPath(folder.gbkPath(), "document.ini"), folder.gbkPath());
    // Filled on a thread of its own, as the query window does: the bar still follows the lines.
    printer.setRunner([](const std::function<void()>& work) {
        runInBackground([&work] {
            work();
            return QString();
        });
    });
    ASSERT_TRUE(printer.print(rows, progress));
    const FlatOdsReader printed(readWholeFile(printer.outputPath()).value_or(std::string()));
    EXPECT_EQ(printed.cell("第1页", 5, 2).text, "办〔2024〕3号");
    EXPECT_EQ(printed.cell("第1页", 6, 2).text, "法〔2024〕7号");
    EXPECT_EQ(printed.textProperty(printed.cell("第1页", 6, 2).style, "fo:font-weight"), "bold");
    EXPECT_EQ(printed.cell("第1页", 7, 2).text, "");
    EXPECT_EQ(bar.value(), 2);
    EXPECT_EQ(bar.maximum(), 2);
    EXPECT_TRUE(bar.isHidden());
}

} // namespace
} // namespace regdesk::test

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

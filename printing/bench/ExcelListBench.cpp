// Times the printed Excel list from the click to 收文清单.xls in the folder,
// LibreOffice's conversions included: 20, 200 and 1,000 selected rows at 20
// rows a page. "first" is a program run's first printing (the template is
// converted then, and LibreOffice makes its profile); "again" a later one.
// Prints figures; asserts nothing.
//
//     regdesk_excel_list_bench [rows:perpage ...]
//
// With arguments, each list of that many rows at that many rows a page is
// printed once, with the process's peak memory after it (8000:8000 is one
// page of 8,000 lines).
#include "bench/BenchSupport.h"
#include "list/ListCells.h"
#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"
#include "platform/OfficeConverter.h"
#include "platform/Prompter.h"
#include "printing/ExcelListPrinter.h"
#include "printing/ExcelService.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace regdesk;
using namespace regdesk::bench;
using BenchClock = std::chrono::steady_clock;

namespace {

class QuietOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString&) override { return true; }
    bool openFile(const GbkString&) override { return true; }
};

// Every row selected, every third one classified (a bold line).
class SelectedRows final : public ListCells
{
public:
    explicit SelectedRows(int count)
    {
        for (int i = 0; i < count; ++i) {
            std::vector<GbkString> cells(15);
            cells[0] = "某中法办〔2024〕"_gbk + std::to_string(i + 1) + "号"_gbk;
            cells[2] = i % 3 == 0 ? "机密"_gbk : "无"_gbk;
            cells[8] = std::to_string(20240101 + i % 28);
            m_rows.push_back(std::move(cells));
        }
    }
    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    GbkString cellText(int row, int column) const override
    {
        return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }
    void setCellText(int, int, const GbkString&) override {}
    std::vector<int> selectedRows() const override
    {
        std::vector<int> rows(m_rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        return rows;
    }
    void sortAscending(int) override {}

private:
    std::vector<std::vector<GbkString>> m_rows;
};

// When each page was reached, to show that the bar moves page by page.
class TimedProgress final : public PrintProgress
{
public:
    void start(int) override { m_started = BenchClock::now(); }
    void setPosition(int) override { m_last = BenchClock::now(); }
    void hide() override {}
    double pagesSeconds() const { return std::chrono::duration<double>(m_last - m_started).count(); }

private:
    BenchClock::time_point m_started, m_last;
};

long peakRssMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

double printSeconds(ExcelService& service, const GbkString& folder, int rows, double& pagesSeconds)
{
    PrintingPrompter prompter;
    QuietOpener opener;
    SelectedRows list(rows);
    TimedProgress progress;
    ExcelListPrinter printer(service, prompter, opener, joinPath(folder, "document.ini"), folder);
    const BenchClock::time_point began = BenchClock::now();
    const bool printed = printer.print(list, progress);
    const double seconds = std::chrono::duration<double>(BenchClock::now() - began).count();
    pagesSeconds = progress.pagesSeconds();
    return printed ? seconds : -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    OfficeConverter converter;
    if (!converter.isAvailable()) {
        std::printf("soffice is not installed: nothing to time\n");
        return 0;
    }
    QTemporaryDir dir;
    const GbkString folder = fromNativePath(dir.path().toStdString());
    const GbkString source = joinPath(folder, "收文清单.fods"_gbk);
    writeWholeFile(source, readWholeFile(fromNativePath(REGDESK_RES_DIR "/收文清单.fods")).value_or(""));
    if (!converter.convert(source, "xlt:MS Excel 97 Vorlage/Template", folder).converted) {
        std::printf("the sample template could not be made\n");
        return 1;
    }
    const auto setRowsPerPage = [&folder](int perPage) {
        writeWholeFile(joinPath(folder, "document.ini"),
                       "[自定义排序]\r\n每页行数="_gbk + std::to_string(perPage) + "\r\n");
    };
    if (argc > 1) {
        std::printf("%8s %8s %10s %14s\n", "rows", "per page", "time (s)", "peak RSS (MB)");
        for (int i = 1; i < argc; ++i) {
            const std::string size = argv[i];
            const int rows = std::atoi(size.c_str());
            const std::size_t colon = size.find(':');
            const int perPage = colon == std::string::npos ? 20 : std::atoi(size.c_str() + colon + 1);
            setRowsPerPage(perPage);
            ExcelService service;
            double pages = 0;
            const double seconds = printSeconds(service, folder, rows, pages);
            std::printf("%8d %8d %10.2f %14ld\n", rows, perPage, seconds, peakRssMegabytes());
            std::fflush(stdout);
        }
        return 0;
    }
    setRowsPerPage(20);

    std::printf("%6s %6s %10s %10s %14s\n", "rows", "pages", "first (s)", "again (s)", "pages in (ms)");
    for (const int rows : {20, 200, 1000}) {
        ExcelService service;
        double pages = 0;
        const double first = printSeconds(service, folder, rows, pages);
        const double again = printSeconds(service, folder, rows, pages);
        std::printf("%6d %6d %10.2f %10.2f %14.1f\n", rows, (rows + 19) / 20, first, again, pages * 1000);
    }
    std::printf("goal: 1,000 rows (50 pages) ready in under 10 s, LibreOffice included\n");
    return 0;
}

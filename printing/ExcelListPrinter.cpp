#include "printing/ExcelListPrinter.h"

#include "list/ListCells.h"
#include "platform/FileSystem.h"
#include "platform/Gbk.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "printing/ExcelReport.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace regdesk {

// regdesk-admin refuses a 每页行数 that printing would refuse.
static_assert(ExcelListPrinter::kMaxRowsPerPage == SettingsKeys::kMaxRowsPerPage);

ExcelListPrinter::ExcelListPrinter(ExcelService& service, Prompter& prompter, DesktopOpener& opener,
                                   GbkString settingsPath, GbkString folder, QWidget* owner)
    : m_service(service), m_prompter(prompter), m_opener(opener), m_settingsPath(std::move(settingsPath)),
      m_folder(std::move(folder)), m_owner(owner)
{}

GbkString ExcelListPrinter::currentFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? GbkString() : fromNativePath(folder.string());
}

GbkString ExcelListPrinter::templatePath() const
{
    return joinPath(m_folder, "收文清单.xlt"_gbk);
}

GbkString ExcelListPrinter::outputPath() const
{
    return joinPath(m_folder, "收文清单.xls"_gbk);
}

bool ExcelListPrinter::print(const ListCells& rows, PrintProgress& progress)
{
    const std::vector<int> selected = rows.selectedRows();
    if (selected.empty()) {
        m_prompter.inform(m_owner, QStringLiteral("请先选定行"), QStringLiteral("打印"));
        return false;
    }
    // Without a sound page size there is no page count: refuse rather than guess.
    const int perPage = SettingsFile(m_settingsPath).getInteger(SettingsKeys::kRowsPerPage);
    if (perPage < 1 || perPage > kMaxRowsPerPage) {
        m_prompter.inform(m_owner,
                          QStringLiteral("无法打印：请在document.ini的[自定义排序]中把每页行数设为1到%1之间的整数")
                              .arg(kMaxRowsPerPage),
                          QStringLiteral("打印"));
        return false;
    }
    const int lineCount = static_cast<int>(selected.size());
    const int pageCount = (lineCount + perPage - 1) / perPage;

    // What the lines need of the list, read here: the list belongs to the window's thread.
    struct Line
    {
        GbkString number, date;
        bool bold = false;
    };
    std::vector<Line> lines;
    lines.reserve(selected.size());
    for (const int row : selected) {
        lines.push_back({rows.cellText(row, kNumberColumn), rows.cellText(row, kDateColumn),
                         findGbk(rows.cellText(row, kSecrecyColumn), "密"_gbk) != GbkString::npos});
    }

    ExcelReport report(m_service, m_opener, [&progress] { progress.waiting(); });
    progress.start(lineCount);
    bool saved = false;
    const auto fill = [&] {
        if (!report.open(templatePath(), pageCount))
            return;
        int currentPage = 0;
        int sheetRow = kFirstLineRow;
        for (int line = 1; line <= lineCount; ++line) {
            const Line& text = lines[static_cast<std::size_t>(line - 1)];
            const int page = (line + perPage - 1) / perPage;
            if (page != currentPage) {
                report.releasePage();
                if (!report.selectPage(page))
                    return;
                currentPage = page;
                sheetRow = kFirstLineRow;
            }
            const std::pair<int, GbkString> cells[] = {
                {1, std::to_string(line)}, {2, text.number}, {3, "1"}, {5, "1"}, {4, text.date}, {6, text.date},
            };
            for (const auto& [column, cell] : cells) {
                if (!report.setCell(sheetRow, column, cell, text.bold))
                    return;
            }
            ++sheetRow;
            progress.setPosition(line);
        }
        saved = report.save(outputPath());
    };
    if (m_runner)
        m_runner(fill);
    else
        fill();
    progress.hide();

    if (!saved) {
        const ExcelReport::Failure failure = report.failure();
        report.close();
        QString text;
        switch (failure.kind) {
        case ExcelReport::Failure::Kind::Unavailable:
            text = QStringLiteral("创建Excel服务失败!");
            break;
        case ExcelReport::Failure::Kind::TemplateMissing:
            text = QStringLiteral("找不到Excel模板：") + toQString(templatePath());
            break;
        case ExcelReport::Failure::Kind::None: // the work ended by an exception the runner caught
            text = QStringLiteral("生成Excel清单失败");
            break;
        default:
            text = QStringLiteral("生成Excel清单失败：") + QString::fromStdString(failure.reason);
            break;
        }
        m_prompter.inform(m_owner, text);
        return false;
    }
    report.show(outputPath());
    const bool shown = report.wasShown();
    report.releasePage();
    report.close();
    if (!shown)
        m_prompter.inform(m_owner, QStringLiteral("清单已保存为%1，但没有能打开它的程序").arg(toQString(outputPath())),
                          QStringLiteral("打印"));
    return true;
}

} // namespace regdesk

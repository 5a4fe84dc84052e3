#pragma once

#include "platform/Gbk.h"

#include <functional>

class QWidget;

namespace regdesk {

class DesktopOpener;
class ExcelService;
class Prompter;
class ListCells;

// The progress bar of a printing run: started and hidden on the windows'
// thread, moved line by line from the thread that fills the list.
class PrintProgress
{
public:
    virtual ~PrintProgress() = default;
    // Shows the bar with the range 0 … maximum (the lines), at 0.
    virtual void start(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual void hide() = 0;
    // Called again and again while LibreOffice works, to keep the window painted.
    virtual void waiting() {}
};

// The query window's "打印excel清单": the selected rows of its list as lines of
// the template 收文清单.xlt, a page of `每页行数` lines per sheet, saved as
// 收文清单.xls in the current folder and shown to the clerk.
class ExcelListPrinter
{
public:
    // Runs `work` and returns once it is done (by default on the calling
    // thread); the window runs it on a thread of its own.
    using Runner = std::function<void(const std::function<void()>& work)>;

    // Register list columns read here.
    static constexpr int kNumberColumn = 0;  // 发文号
    static constexpr int kSecrecyColumn = 2; // 密级
    static constexpr int kDateColumn = 8;    // 成文日期
    // The template's rows 1-4 are its title; lines start below them.
    static constexpr int kFirstLineRow = 5;
    // An .xls sheet has 65,536 rows: a longer page would lose lines.
    static constexpr int kMaxRowsPerPage = 65536 - kFirstLineRow + 1;

    // `folder` holds the template and receives the list: the current folder,
    // as currentFolder() gives it. Boxes are shown owned by `owner`.
    ExcelListPrinter(ExcelService& service, Prompter& prompter, DesktopOpener& opener, GbkString settingsPath,
                     GbkString folder, QWidget* owner = nullptr);

    void setRunner(Runner runner) { m_runner = std::move(runner); }

    // True when the list was saved. The rows are read first; the workbook
    // is filled and saved by the runner's work; boxes and the showing of
    // the list come after it, on the calling thread.
    bool print(const ListCells& rows, PrintProgress& progress);

    GbkString templatePath() const;
    GbkString outputPath() const;

    // The process's current folder ("" when it cannot be read).
    static GbkString currentFolder();

private:
    ExcelService& m_service;
    Prompter& m_prompter;
    DesktopOpener& m_opener;
    GbkString m_settingsPath;
    GbkString m_folder;
    QWidget* m_owner;
    Runner m_runner;
};

} // namespace regdesk

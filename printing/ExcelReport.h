#pragma once

#include "platform/Gbk.h"
#include "printing/ExcelService.h"
#include "printing/FlatOdsDocument.h"

#include <functional>
#include <string>

namespace regdesk {

class DesktopOpener;

// The workbook of one printed list, made from the template: one sheet per
// page, named "第1页", "第2页" …, written cell by cell, then saved as an Excel
// 97 workbook and shown with the desktop's program for it. It keeps the
// operations and their order from the days of Excel automation; the work is
// done by LibreOffice (through the service) and an in-memory flat ODS.
// Every operation that can fail returns false and leaves the reason in
// failure(); the printing run then ends, and the desk goes on.
class ExcelReport
{
public:
    using Failure = ExcelService::Failure;

    // The sheet that carries the page layout; its name is matched without regard to case.
    static constexpr const char* kPageSheet = "sheet1";

    ExcelReport(ExcelService& service, DesktopOpener& opener, std::function<void()> whileWaiting = {});

    // The workbook from the template with `pageCount` pages: the template's
    // "sheet1" copied behind itself, then it and every sheet behind it
    // renamed 第1页, 第2页 …; sheets in front of it keep their names.
    bool open(const GbkString& templatePath, int pageCount);
    // Makes the sheet of page n the one that setCell writes.
    bool selectPage(int page);
    void releasePage();
    // Writes one text cell of the current page; row and column from 1.
    bool setCell(int row, int column, const GbkString& text, bool bold);
    // Saves the workbook over `outputPath` (only once the new file is
    // complete) and shows it. A file that was saved but could not be shown is
    // no failure: see wasShown().
    bool finish(const GbkString& outputPath);
    // The two halves of finish(): saving (LibreOffice's conversion, fit for
    // a worker thread) and showing (on the thread of the windows).
    bool save(const GbkString& outputPath);
    void show(const GbkString& outputPath);
    void close();

    const Failure& failure() const { return m_failure; }
    bool wasShown() const { return m_shown; }

    // "第%d页"
    static GbkString pageName(int page);

private:
    bool fail(Failure::Kind kind, std::string reason);

    ExcelService& m_service;
    DesktopOpener& m_opener;
    std::function<void()> m_whileWaiting;
    FlatOdsDocument m_workbook;
    bool m_open = false;
    int m_currentSheet = -1;
    bool m_shown = false;
    Failure m_failure;
};

} // namespace regdesk

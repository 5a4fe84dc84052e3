#include "printing/ExcelReport.h"

#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"

#include <cstring>
#include <optional>

namespace regdesk {

ExcelReport::ExcelReport(ExcelService& service, DesktopOpener& opener, std::function<void()> whileWaiting)
    : m_service(service), m_opener(opener), m_whileWaiting(std::move(whileWaiting))
{}

GbkString ExcelReport::pageName(int page)
{
    return "第"_gbk + std::to_string(page) + "页"_gbk;
}

bool ExcelReport::fail(Failure::Kind kind, std::string reason)
{
    m_failure = Failure{kind, std::move(reason)};
    return false;
}

bool ExcelReport::open(const GbkString& templatePath, int pageCount)
{
    close();
    const std::optional<std::string> xml = m_service.templateXml(templatePath, m_failure, m_whileWaiting);
    if (!xml)
        return false;
    std::string reason;
    if (!m_workbook.parse(*xml, reason))
        return fail(Failure::Kind::Failed, toNativePath(templatePath) + ": " + reason);
    const int first = m_workbook.findSheet(kPageSheet);
    if (first < 0)
        return fail(Failure::Kind::Failed, toNativePath(templatePath) + ": no sheet named " + kPageSheet);
    // Removed before copying, so that no copy carries a range of the original sheet.
    m_workbook.dropTemplateLinks();
    if (pageCount > 1)
        m_workbook.copySheet(first, pageCount - 1);
    for (int sheet = first; sheet < m_workbook.sheetCount(); ++sheet)
        m_workbook.renameSheet(sheet, gbkToUtf8(pageName(sheet - first + 1)));
    // A sheet in front of the pages with a page's name would take that page's lines.
    for (int front = 0; front < first; ++front) {
        for (int page = first; page < m_workbook.sheetCount(); ++page) {
            if (m_workbook.sheetName(front) == m_workbook.sheetName(page))
                return fail(Failure::Kind::Failed, toNativePath(templatePath) + ": a sheet in front of " + kPageSheet +
                                                       " is named " + m_workbook.sheetName(front) + " like a page");
        }
    }
    m_open = true;
    return true;
}

bool ExcelReport::selectPage(int page)
{
    releasePage();
    if (!m_open)
        return fail(Failure::Kind::Failed, "no list workbook is open");
    const std::string name = gbkToUtf8(pageName(page));
    for (int sheet = 0; sheet < m_workbook.sheetCount(); ++sheet) {
        if (m_workbook.sheetName(sheet) == name) {
            m_currentSheet = sheet;
            return true;
        }
    }
    return fail(Failure::Kind::Failed, "the list has no sheet " + name);
}

void ExcelReport::releasePage()
{
    m_currentSheet = -1;
}

bool ExcelReport::setCell(int row, int column, const GbkString& text, bool bold)
{
    if (row < 1 || column < 1)
        return fail(Failure::Kind::Failed, "行列不能小于1");
    if (m_currentSheet < 0)
        return fail(Failure::Kind::Failed, "no page of the list is selected");
    if (!m_workbook.setTextCell(m_currentSheet, row, column, gbkToUtf8(text), bold))
        return fail(Failure::Kind::Failed,
                    "cannot write row " + std::to_string(row) + ", column " + std::to_string(column) + " of the list");
    return true;
}

bool ExcelReport::finish(const GbkString& outputPath)
{
    if (!save(outputPath))
        return false;
    show(outputPath);
    return true;
}

bool ExcelReport::save(const GbkString& outputPath)
{
    m_shown = false;
    if (!m_open)
        return fail(Failure::Kind::Failed, "no list workbook is open");
    const std::optional<std::string> bytes = m_service.excelBytes(m_workbook.serialize(), m_failure, m_whileWaiting);
    if (!bytes)
        return false;
    if (const int error = replaceFile(outputPath, *bytes); error != 0)
        return fail(Failure::Kind::Failed, toNativePath(outputPath) + ": " + std::strerror(error));
    return true;
}

void ExcelReport::show(const GbkString& outputPath)
{
    m_shown = m_opener.openFile(outputPath);
}

void ExcelReport::close()
{
    m_workbook = FlatOdsDocument();
    m_open = false;
    m_currentSheet = -1;
    m_failure = {};
}

} // namespace regdesk

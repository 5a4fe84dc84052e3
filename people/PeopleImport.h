#pragma once

#include "people/PeopleTable.h"
#include "platform/Gbk.h"

#include <QString>
#include <functional>

class QWidget;

namespace regdesk {

class OfficeConverter;
class Prompter;

// The personnel import (更新人员表): replaces 人员信息表 by the names of a
// personnel sheet, each with its pinyin initials.
//
// The sheet is worksheet sheet1 of an .xls workbook whose first column is
// named 姓名; the names run down that column to the first empty cell. An
// .xlsx or .ods is first converted to .xls by LibreOffice in a private
// folder; any other name is read as text with "sheet1" as cell separator.
// The table is replaced in one transaction, so a failed import keeps the
// old names; a name made by a formula (which reads as empty) is reported
// instead of ending the list there.
class PeopleImport
{
public:
    using InitialsFunction = std::function<GbkString(const GbkString&)>;

    enum class Status
    {
        Cancelled,    // no file chosen
        FileRejected, // the file could not be read or is not a personnel sheet; table untouched
        TableKept,    // the database refused the new names; the old ones stay
        Replaced,     // the table holds the sheet's names now
    };
    struct Outcome
    {
        Status status = Status::Cancelled;
        int imported = 0;
        // Whether a name completion showing the table must list afresh.
        bool namesChanged() const { return status == Status::Replaced; }
    };

    static constexpr const char* kSheetName = "sheet1";

    PeopleImport(Prompter& prompter, QWidget* owner, PeopleTable& table, InitialsFunction initials,
                 OfficeConverter& converter);

    // Runs while LibreOffice converts a file (to keep a window responsive).
    void setWhileConverting(std::function<void()> hook) { m_whileConverting = std::move(hook); }

    // Asks for the file (.xls, .xlsx, .ods), then imports it.
    Outcome run();
    // Imports the file at `path` without asking.
    Outcome importFile(const GbkString& path);

    static QString fileFilter();

private:
    Outcome importSheet(const GbkString& path);
    void tell(const QString& text);

    Prompter& m_prompter;
    QWidget* m_owner;
    PeopleTable& m_table;
    InitialsFunction m_initials;
    OfficeConverter& m_converter;
    std::function<void()> m_whileConverting;
};

} // namespace regdesk

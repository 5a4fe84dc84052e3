#pragma once

#include "people/PeopleTable.h"
#include "platform/Gbk.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace regdesk {

class OfficeConverter;
class Prompter;
class SpreadsheetFile;

// The personnel import (更新人员表): replaces 人员信息表 by the names of a
// personnel sheet, each with its pinyin initials.
//
// The sheet is worksheet sheet1 (any case) of an .xls workbook whose first
// column is named 姓名; the names run down that column to the first empty
// cell. In an .xlsx or .ods the sheet is found by the names the file itself
// gives its sheets, then LibreOffice turns the workbook into a flat ODS in a
// private folder (no row limit, unlike .xls, and the names of formula cells
// are their values); any other name is read as text with "sheet1" as cell
// separator. The table is replaced in one transaction, so a failed import
// keeps the old names; a name made by a formula in an .xls (which reads as
// empty), a name longer than any person's, or a sheet too large to be a list
// of people is reported instead.
//
// The file is read on the thread the runner chooses, without boxes or the
// database; the table is replaced on the calling thread.
class PeopleImport
{
public:
    using InitialsFunction = std::function<GbkString(const GbkString&)>;
    // Runs `work` and returns once it is done (by default on the calling thread).
    using Runner = std::function<void(const std::function<void()>& work)>;
    // Rows read and rows in all; called on the reading thread.
    using Progress = std::function<void(int done, int total)>;

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
        // The workbook's sheets (UTF-8), for saying what was there instead of sheet1.
        std::vector<std::string> sheetNames;
        // Whether a name completion showing the table must list afresh.
        bool namesChanged() const { return status == Status::Replaced; }
    };

    static constexpr const char* kSheetName = "sheet1";
    // Longer names are refused, with their row: no person's name is that long.
    static constexpr int kMaxNameCharacters = 50;
    // What an .xlsx or .ods may unpack to (a list of 100,000 people is a few MB).
    static constexpr std::size_t kMaxUnpackedBytes = 32 * 1024 * 1024;

    PeopleImport(Prompter& prompter, QWidget* owner, PeopleTable& table, InitialsFunction initials,
                 OfficeConverter& converter);

    void setRunner(Runner runner) { m_runner = std::move(runner); }
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Asks for the file (.xls, .xlsx, .ods), then imports it.
    Outcome run();
    // Imports the file at `path` without asking.
    Outcome importFile(const GbkString& path);

    static QString fileFilter();

private:
    // What reading the file gave: the people, or the text to show instead.
    struct Reading
    {
        QString refusal;
        std::vector<Person> people;
        bool endedAtEmptyCell = false;
        std::vector<std::string> sheetNames;
    };
    Reading readPeople(const GbkString& path) const;
    Reading readSheet(SpreadsheetFile& sheet, bool converted) const;
    void tell(const QString& text);

    Prompter& m_prompter;
    QWidget* m_owner;
    PeopleTable& m_table;
    InitialsFunction m_initials;
    OfficeConverter& m_converter;
    Runner m_runner;
    Progress m_progress;
};

} // namespace regdesk

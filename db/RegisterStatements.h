#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

#include <initializer_list>
#include <variant>

namespace regdesk {

// A value for a statement format: a name the program itself chose (a table,
// a column, a derived table; inserted as it is) or a value that came from the
// user, a file or the scanner (every single quote doubled, so it stays inside
// its quotes).
struct SqlName
{
    GbkString text;
};
using SqlArgument = std::variant<SqlName, GbkString, int>;

// Fills %s and %d of a format in order; "%%" stands for "%".
GbkString formatSql(const GbkString& format, std::initializer_list<SqlArgument> arguments);

// Doubles every single quote.
GbkString escapeSqlText(const GbkString& value);

// Every statement the desk runs against the registers. `table` is
// outgoingTable() or incomingTable(), chosen by the form's mode.
namespace RegisterStatements {

GbkString outgoingTable(); // 发文登记表
GbkString incomingTable(); // 收文登记表

GbkString selectNumber(const GbkString& table, const GbkString& number);
// The records of a number, row id and text: what tells a record saved since from the one seen
// (SQLite gives a deleted row's id to the next).
GbkString selectRecordsOfNumber(const GbkString& table, const GbkString& number);
GbkString deleteNumber(const GbkString& table, const GbkString& number);
GbkString insertOutgoing(const GbkString& table, const DocumentRecord& record);
GbkString insertIncoming(const GbkString& table, const DocumentRecord& record);
GbkString updateFileType(const GbkString& table, const GbkString& fileType, const GbkString& number);

// Numbering
GbkString selectNumbersOfYear(int year);
// The same, narrowed to numbers that contain `text` (a superset: LIKE ignores
// ASCII case), so that a large register sends only a prefix's numbers.
GbkString selectNumbersOfYearContaining(int year, const GbkString& text);
// Narrowed further to the numbers that begin with `prefix` or with a blank (the
// desk trims them): still every number whose head can be the prefix, but read
// through the index of 发文号 instead of the whole register.
GbkString selectNumbersOfYearHeadedBy(int year, const GbkString& prefix);
// The number of rows a SELECT returns.
GbkString countRowsOf(const GbkString& select);
GbkString selectOutgoingTitle(const GbkString& number);
GbkString selectCodeTimesOfYear(int year);
GbkString selectCodeTimes();

// Scan intake
GbkString selectIncomingNumber(const GbkString& number);

// Attachments
GbkString selectFileData(const GbkString& table, const GbkString& number);
GbkString selectFileDataAndType(const GbkString& table, const GbkString& number);
GbkString selectFileType(const GbkString& table, const GbkString& number);
GbkString clearAttachment(const GbkString& table, const GbkString& number);
GbkString deleteRow(const GbkString& table, const GbkString& number);

// Query window and lists
GbkString selectRegister(const GbkString& table);
GbkString selectIncomingList();

// Personnel
GbkString selectPeople();
GbkString deletePeople();
GbkString insertPerson(const GbkString& name, const GbkString& initials);

// Name completion on a source's derived table
GbkString completeByColumn(const GbkString& source, const GbkString& column, const GbkString& prefix);
GbkString completeByInitials(const GbkString& source, const GbkString& prefix);

} // namespace RegisterStatements
} // namespace regdesk

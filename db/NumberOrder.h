#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

namespace regdesk::NumberOrder {

// The server register's numbers of one prefix, highest serial first, read
// through an index instead of searching the whole register by fragments.
//
// The index orders the rows of 发文登记表 by the head of their 发文号 (the
// text up to the first "〕", leading blanks passed over as the desk trims
// them) and then by the serial's bound: the value of the digits right after
// the head, never less than the serial the desk reads (which leaves out the
// final "号"). A proposal reads from the highest bound down and stops once
// no later row can have a higher serial, so it reads a few index entries
// whatever the size of the register. A register without the index, or a
// prefix it cannot answer for, is read by the statement itself.

// Heads longer than this are not indexed (an index entry has a size limit).
constexpr int kLongestHead = 256;

QString indexName(); // 发文登记表_发文号_序号

// True when the functions and the index are there.
bool isInstalled(const QSqlDatabase& database);

// Creates the functions and the index, in one transaction of its own.
// Returns the database's complaint, empty on success.
QString install(const QSqlDatabase& database);

// True when the index holds every row a proposal of `prefix` in `year` must
// read: the prefix is a whole head (its only "〕" at its end) short enough to
// be indexed, and it names the year (so every number it heads does too, as
// the statement asks of a year's numbers).
bool answersFor(const QString& prefix, int year);

struct Row
{
    QString number; // as stored
    qint64 serialBound = 0;
    qint64 rowId = 0;
};

struct Position
{
    qint64 serialBound = 0;
    qint64 rowId = 0;
};

// The statement of a page: the prefix bound to the first "?", then the
// bound and row id of the position it follows when `afterPosition`.
QString pageStatement(bool afterPosition, int limit);

// Up to `limit` rows headed by `prefix`, in descending order of bound (and
// row id), after `after` when given. nullopt when the server refused.
std::optional<std::vector<Row>> page(const QSqlDatabase& database, const QString& prefix, std::optional<Position> after,
                                     int limit);

} // namespace regdesk::NumberOrder

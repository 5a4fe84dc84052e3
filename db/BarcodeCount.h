#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace regdesk::BarcodeCount {

// The number of outgoing registrations whose barcode was made (条码已打 '是')
// and whose 制码时间 holds the year anywhere in its text, as the numbering
// statement "... WHERE 制码时间 LIKE '%Y%' AND 条码已打='是'" counts them; of
// all years when no year is given.
//
// Counting by that statement reads the whole register. A register keeps the
// answer ready instead in 制码计数: for each four-digit year the number of
// barcoded rows whose 制码时间 contains it, and under 0 the number of all
// barcoded rows, kept in step by triggers on 发文登记表. Only texts of up to
// kCountedLength characters are counted there, by every four-character window
// they have, so that a year counts wherever it stands ('202026' holds 2020 and
// 2026) and once per row however often it stands; a longer or odd 制码时间 is
// left to the statement itself, narrowed by a partial index to the few such
// rows. A register without these objects is counted by the statement.

constexpr int kCountedLength = 32;

QString counterTable(); // 制码计数

// True when the counter and its triggers are all there (and so in step).
bool isInstalled(const QSqlDatabase& database);

// Creates (or re-creates) the counter, its triggers and indexes, and fills it
// from the register, in one transaction of its own. Returns the database's
// complaint, empty on success.
QString install(const QSqlDatabase& database);
// The same inside a transaction that the caller holds.
QString installInTransaction(const QSqlDatabase& database);

struct Result
{
    qint64 rows = 0;
    QString failure; // the database's complaint; rows is then 0
};

// The count for `year` (all years when nullopt), from the counter when it is
// installed, otherwise by the statement.
Result count(const QSqlDatabase& database, std::optional<int> year);

// The condition, on 发文登记表's own columns, that the statement puts on a row
// for `year`: for the checks that a given row is among those counted.
QString countedRowCondition(std::optional<int> year);

} // namespace regdesk::BarcodeCount

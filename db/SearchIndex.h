#pragma once

#include "db/RegisterSearch.h"

#include <QSqlDatabase>
#include <QString>
#include <chrono>

namespace regdesk::SearchIndex {

// The helper index of a register's fuzzy search in SQLite: an FTS5 table of
// character trigrams over each record's joined search text, kept in step with
// the register by three triggers. It only narrows a search down; the records
// it names are checked against the text itself. Terms under three characters
// are looked up through the index's vocabulary (every trigram they start), so
// the joined text is indexed with two filler characters behind it.

enum class State
{
    Missing, // an older database, or the index was removed
    Stale,   // present, but out of step (the register's row ids changed, as a VACUUM may do)
    Partial, // a build is under way or stopped midway: never searched
    InStep,
};

QString indexTable(const QString& table);      // <table>_检索
QString vocabularyTable(const QString& table); // <table>_检索词

// The joined search text of a row as an SQL expression; `alias` qualifies
// the columns ("new", "old", "a"), empty for none.
QString joinedTextSql(const QString& alias);

State state(const QSqlDatabase& database, const QString& table);

// How a build shares the register with other desks: each slice of records is
// one write transaction sized to hold the lock about `sliceTime`, and the
// build pauses about `pause` between slices.
struct BuildPace
{
    std::chrono::milliseconds sliceTime{100};
    std::chrono::milliseconds pause{40};
    qint64 firstSliceRows = 2000;
    qint64 maxSliceRows = 100000;
};

// Creates (or re-creates) the index of `table` with its triggers and fills it
// from the register in committed slices, marking it complete with the last
// one; a build that stopped midway is taken up where it stopped. Reports
// progress between slices, outside any transaction. Returns the database's
// complaint, empty on success; the index is then complete.
QString install(const QSqlDatabase& database, const QString& table, const SearchProgress& progress = {},
                const BuildPace& pace = {});

} // namespace regdesk::SearchIndex

#pragma once

#include "db/RegisterSearch.h"

#include <QSqlDatabase>
#include <QString>

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
    InStep,
};

QString indexTable(const QString& table);      // <table>_检索
QString vocabularyTable(const QString& table); // <table>_检索词

// The joined search text of a row as an SQL expression; `alias` qualifies
// the columns ("new", "old", "a"), empty for none.
QString joinedTextSql(const QString& alias);

State state(const QSqlDatabase& database, const QString& table);

// Creates (or re-creates) the index of `table` with its triggers and fills it
// from the register, all in one transaction; reports progress between slices.
// Returns the database's complaint, empty on success.
QString install(const QSqlDatabase& database, const QString& table, const SearchProgress& progress = {});

} // namespace regdesk::SearchIndex

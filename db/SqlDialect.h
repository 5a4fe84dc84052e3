#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <optional>

class QSqlDatabase;

namespace regdesk::SqlDialect {

// The desk writes its statements in the Access (Jet) dialect. This is the one
// place that turns them into what the register database takes; nothing else
// knows dialects.
enum class Kind
{
    Sqlite,
    Postgres,
};

// The dialect of an open connection, by its driver.
Kind kindOf(const QSqlDatabase& database);

QString translate(const GbkString& jetStatement, Kind kind);
QString toSqlite(const GbkString& jetStatement);
// Jet and SQLite compare text without regard to ASCII case (NOCASE columns,
// LIKE) and take no escape character in LIKE; PostgreSQL does neither. In
// the conditions of a statement, a column compared with a text has both
// folded by regdesk_fold (ASCII letters only), and "<", ">", "<=", ">=" compare
// in code-point order whatever the server's collation; a LIKE whose pattern holds no
// ASCII letter needs no folding and stays open to the column's index. ORDER
// BY a column sorts folded and by code point, as SQLite sorts its UTF-8.
QString toPostgres(const GbkString& jetStatement);

// A blob is written by a statement that selects one column of one row
// ("SELECT col FROM table WHERE ..."); the database needs it as
// "UPDATE table SET col=? WHERE ...". nullopt when the text is not of that form.
std::optional<QString> blobUpdateFor(const GbkString& selectStatement, Kind kind = Kind::Sqlite);

// The value of `key` ("Data Source", "Provider", ...) in a connection string
// ("key=value;key=value"). A value in double (or single) quotes runs to the
// closing quote, a doubled quote standing for one, so that it may hold ";";
// an unquoted one ends at ";". Empty when the key is missing.
GbkString connectionItem(const GbkString& connectionString, const GbkString& key);
// The file named by "Data Source=".
GbkString dataSourceOf(const GbkString& connectionString);

// A value as a connection string must carry it: unchanged when it holds no
// ";" or quote and no blank at either end, otherwise in double quotes with
// every double quote inside doubled.
GbkString connectionValue(const GbkString& value);

} // namespace regdesk::SqlDialect

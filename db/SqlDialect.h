#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <optional>

namespace regdesk::SqlDialect {

// The desk writes its statements in the Access (Jet) dialect. This is the one
// place that turns them into what SQLite takes; nothing else knows dialects.
QString toSqlite(const GbkString& jetStatement);

// A blob is written by a statement that selects one column of one row
// ("SELECT col FROM table WHERE ..."); SQLite needs it as
// "UPDATE table SET col=? WHERE ...". nullopt when the text is not of that form.
std::optional<QString> blobUpdateFor(const GbkString& selectStatement);

// The file named by "Data Source=" in a Jet connection string. A value in
// double (or single) quotes runs to the closing quote, a doubled quote
// standing for one, so that it may hold ";"; an unquoted one ends at ";".
GbkString dataSourceOf(const GbkString& connectionString);

// A value as a connection string must carry it: unchanged when it holds no
// ";" or quote and no blank at either end, otherwise in double quotes with
// every double quote inside doubled.
GbkString connectionValue(const GbkString& value);

} // namespace regdesk::SqlDialect

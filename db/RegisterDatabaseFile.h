#pragma once

#include <QSqlDatabase>
#include <QString>

namespace regdesk {

// Creates an empty register database (the three tables, the number
// indexes and the search indexes) at `path`. Never overwrites: an existing file is an error.
// Returns an empty text on success, else the reason.
QString createRegisterDatabase(const QString& path);

// Creates the registers (with the number claims and the search indexes) in
// an open PostgreSQL database, in one transaction. Never overwrites: a
// database that holds any of the tables is an error. Empty text on success.
QString createServerRegister(const QSqlDatabase& database);

} // namespace regdesk

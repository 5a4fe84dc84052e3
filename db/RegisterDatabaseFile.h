#pragma once

#include <QString>

namespace regdesk {

// Creates an empty register database (the three tables, the number
// indexes and the search indexes) at `path`. Never overwrites: an existing file is an error.
// Returns an empty text on success, else the reason.
QString createRegisterDatabase(const QString& path);

} // namespace regdesk

#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

namespace regdesk::ServerAttachments {

// Attachments on the PostgreSQL register, through libpq's own parameters
// and results: the bytes travel as they are, so that the desk holds little
// more than the file itself, where QtSql's driver sends and reads a bytea as
// escaped text several times its size.

// Stores `bytes` and `type` in every record of `number` in `table`, in one
// statement. Empty when done, else why not; `records`: how many got them.
QString store(const QSqlDatabase& database, const QString& table, const QString& number, const QString& type,
              const QByteArray& bytes, qint64& records);

// The same for the records whose row ids `idsJson` lists (a JSON array).
QString storeRecords(const QSqlDatabase& database, const QString& table, const QString& idsJson, const QString& type,
                     const QByteArray& bytes, qint64& records);

// The type and bytes of the first record of `number` (no record: empty
// type and bytes), read in slices from one snapshot. Empty when read.
QString read(const QSqlDatabase& database, const QString& table, const QString& number, QString& type,
             QByteArray& bytes);

// The type and bytes of the record with row id `id`, as read() reads them.
QString readRecord(const QSqlDatabase& database, const QString& table, qint64 id, QString& type, QByteArray& bytes);

} // namespace regdesk::ServerAttachments

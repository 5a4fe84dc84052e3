#include "db/ServerAttachments.h"

#include "db/ServerAddress.h"
#include "db/ServerStatement.h"
#include "db/TransactionGuard.h"

#include <QSqlError>
#include <algorithm>
#include <cstring>

namespace regdesk::ServerAttachments {
namespace {

// What one read asks of the server: the desk holds a slice at a time
// beside the whole, and the server cuts it out of the stored value.
constexpr qint64 kSliceBytes = qint64(32) * 1024 * 1024;

QString update(const QSqlDatabase& database, const QString& table, const QString& condition, const QString& key,
               const QString& type, const QByteArray& bytes, qint64& records)
{
    records = 0;
    ServerStatement update(database,
                           QStringLiteral("UPDATE %1 SET 文件类型 = ?, 文件数据 = ? WHERE %2").arg(table, condition));
    if (!update.execute({type, bytes, key}))
        return update.error();
    records = update.rowsAffected();
    return {};
}

// The type and bytes of the first record (by row id) that `condition` holds
// for with `key`; none: empty type and bytes.
QString readFirst(const QSqlDatabase& database, const QString& table, const QString& condition, const QString& key,
                  QString& type, QByteArray& bytes)
{
    type.clear();
    bytes.clear();
    TransactionGuard transaction(database);
    if (!transaction.isOpen())
        return sqlErrorText(database.lastError());
    // Every slice from the same value, also while another desk replaces it.
    ServerStatement snapshot(database, QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    if (!snapshot.execute({}))
        return snapshot.error();
    ServerStatement first(database, QStringLiteral("SELECT rowid, 文件类型, octet_length(文件数据) FROM %1 "
                                                   "WHERE %2 ORDER BY rowid LIMIT 1")
                                        .arg(table, condition));
    if (!first.execute({key}))
        return first.error();
    if (first.rowCount() == 0)
        return {};
    const QByteArray rowid = first.value(0, 0).toByteArray();
    const QString storedType = QString::fromUtf8(first.value(0, 1));
    const qint64 size = first.value(0, 2).toByteArray().toLongLong();
    QByteArray whole(size, Qt::Uninitialized);
    ServerStatement slice(database,
                          QStringLiteral("SELECT substring(文件数据 FROM ? FOR ?) FROM %1 WHERE rowid = ?").arg(table));
    for (qint64 done = 0; done < size; done += kSliceBytes) {
        const qint64 length = std::min(kSliceBytes, size - done);
        if (!slice.execute({QString::number(done + 1), QString::number(length), QString::fromLatin1(rowid)},
                           ServerStatement::Results::Binary))
            return slice.error();
        if (slice.rowCount() != 1 || slice.value(0, 0).size() != length)
            return QStringLiteral("附件没有读完整");
        std::memcpy(whole.data() + done, slice.value(0, 0).data(), static_cast<std::size_t>(length));
    }
    if (!transaction.commit())
        return sqlErrorText(database.lastError());
    type = storedType;
    bytes = std::move(whole);
    return {};
}

} // namespace

QString store(const QSqlDatabase& database, const QString& table, const QString& number, const QString& type,
              const QByteArray& bytes, qint64& records)
{
    return update(database, table, QStringLiteral("regdesk_fold(发文号) = regdesk_fold(?)"), number, type, bytes,
                  records);
}

QString storeRecords(const QSqlDatabase& database, const QString& table, const QString& idsJson, const QString& type,
                     const QByteArray& bytes, qint64& records)
{
    return update(database, table, QStringLiteral("rowid IN (SELECT json_array_elements_text(?::json)::bigint)"),
                  idsJson, type, bytes, records);
}

QString read(const QSqlDatabase& database, const QString& table, const QString& number, QString& type,
             QByteArray& bytes)
{
    return readFirst(database, table, QStringLiteral("regdesk_fold(发文号) = regdesk_fold(?)"), number, type, bytes);
}

QString readRecord(const QSqlDatabase& database, const QString& table, qint64 id, QString& type, QByteArray& bytes)
{
    return readFirst(database, table, QStringLiteral("rowid = ?::bigint"), QString::number(id), type, bytes);
}

} // namespace regdesk::ServerAttachments

#include "db/RegisterRecords.h"

#include "db/AuditTrail.h"
#include "db/ServerAddress.h"
#include "db/ServerAttachments.h"
#include "db/SqlDialect.h"
#include "platform/GbkQt.h"
#include "platform/Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace regdesk {
namespace {

// The ids go as one JSON array: one statement for any number of records.
QString idList(const std::vector<qint64>& ids)
{
    QJsonArray array;
    for (const qint64 id : ids)
        array.append(id);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace

QString RegisterRecords::logFailure(const QString& failure)
{
    return QStringLiteral("操作日志无法写入（%1）").arg(failure);
}

QString RegisterRecords::idsCondition() const
{
    return SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres
               ? QStringLiteral("rowid IN (SELECT json_array_elements_text(?::json)::bigint)")
               : QStringLiteral("rowid IN (SELECT value FROM json_each(?))");
}

QString RegisterRecords::withNamesakes(const GbkString& table, const std::vector<qint64>& ids,
                                       std::vector<qint64>& found) const
{
    found.clear();
    if (ids.empty())
        return {};
    // Namesakes by the register's own comparison: the NOCASE column of
    // data.db, the folded index of the server's register.
    const bool server = SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres;
    const QString same = server ? QStringLiteral("regdesk_fold(b.发文号) = regdesk_fold(a.发文号)")
                                : QStringLiteral("b.发文号 = a.发文号");
    const QString name = toQString(table);
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT b.rowid FROM %1 AS a JOIN %1 AS b ON %2 WHERE a.%3 "
                                      "UNION SELECT rowid FROM %1 WHERE %3 ORDER BY 1")
                           .arg(name, same, idsCondition())))
        return sqlErrorText(query.lastError());
    const QString list = idList(ids);
    query.addBindValue(list);
    query.addBindValue(list);
    if (!query.exec())
        return sqlErrorText(query.lastError());
    while (query.next())
        found.push_back(query.value(0).toLongLong());
    return query.lastError().isValid() ? sqlErrorText(query.lastError()) : QString();
}

QString RegisterRecords::ofNumber(const GbkString& table, const GbkString& number, std::vector<qint64>& found) const
{
    found.clear();
    const bool server = SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid")
                           .arg(toQString(table), server ? QStringLiteral("regdesk_fold(发文号) = regdesk_fold(?)")
                                                         : QStringLiteral("发文号 = ?"))))
        return sqlErrorText(query.lastError());
    query.addBindValue(toQString(number));
    if (!query.exec())
        return sqlErrorText(query.lastError());
    while (query.next())
        found.push_back(query.value(0).toLongLong());
    return query.lastError().isValid() ? sqlErrorText(query.lastError()) : QString();
}

QString RegisterRecords::remove(const GbkString& table, const std::vector<qint64>& ids) const
{
    QSqlQuery query(m_database);
    if (!query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(toQString(table), idsCondition())))
        return sqlErrorText(query.lastError());
    QString deleteFailure;
    const QString failure =
        AuditTrail(m_database)
            .recordAndChange(AuditTrail::Action::DeleteRecord, toQString(table), ids, [&](const QString& idList) {
                query.bindValue(0, idList); // group after group: the same statement, bound anew
                if (!query.exec())
                    deleteFailure = sqlErrorText(query.lastError());
                return deleteFailure;
            });
    if (!deleteFailure.isEmpty())
        return deleteFailure;
    return failure.isEmpty() ? QString() : logFailure(failure);
}

QString RegisterRecords::clearAttachments(const GbkString& table, const std::vector<qint64>& ids) const
{
    if (QString failure =
            AuditTrail(m_database).recordRows(AuditTrail::Action::DeleteAttachment, toQString(table), ids, true);
        !failure.isEmpty())
        return logFailure(failure);
    QSqlQuery query(m_database);
    if (!query.prepare(
            QStringLiteral("UPDATE %1 SET 文件数据=NULL, 文件类型='' WHERE %2").arg(toQString(table), idsCondition())))
        return sqlErrorText(query.lastError());
    query.addBindValue(idList(ids));
    return query.exec() ? QString() : sqlErrorText(query.lastError());
}

QString RegisterRecords::storeAttachment(const GbkString& table, const std::vector<qint64>& ids, const GbkString& type,
                                         const QByteArray& bytes) const
{
    // An attachment stored over another: the one that goes is kept.
    if (QString failure =
            AuditTrail(m_database).recordRows(AuditTrail::Action::DeleteAttachment, toQString(table), ids, true);
        !failure.isEmpty())
        return logFailure(failure);
    if (SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres) {
        // Bytes as bytes: QtSql's driver would send them as escaped text.
        qint64 stored = 0;
        if (QString failure = ServerAttachments::storeRecords(m_database, toQString(table), idList(ids),
                                                              toQString(type), bytes, stored);
            !failure.isEmpty())
            return failure;
        return stored == static_cast<qint64>(ids.size()) ? QString() : QStringLiteral("登记表中已没有所选的记录");
    }
    QSqlQuery query(m_database);
    if (!query.prepare(
            QStringLiteral("UPDATE %1 SET 文件类型=?, 文件数据=? WHERE %2").arg(toQString(table), idsCondition())))
        return sqlErrorText(query.lastError());
    query.addBindValue(toQString(type));
    // A zero-byte file is an attachment too: an empty, not a null, array.
    query.addBindValue(bytes.isNull() ? QByteArray("", 0) : bytes);
    query.addBindValue(idList(ids));
    if (!query.exec())
        return sqlErrorText(query.lastError());
    if (query.numRowsAffected() != static_cast<int>(ids.size()))
        return QStringLiteral("登记表中已没有所选的记录");
    return {};
}

QString RegisterRecords::readAttachment(const GbkString& table, qint64 id, GbkString& type, QByteArray* bytes) const
{
    type.clear();
    if (bytes)
        bytes->clear();
    if (bytes && SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres) {
        QString storedType;
        const QString failure = ServerAttachments::readRecord(m_database, toQString(table), id, storedType, *bytes);
        type = GbkString(trimBlanks(fromQString(storedType)));
        return failure;
    }
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT 文件类型%1 FROM %2 WHERE rowid = ?")
                           .arg(bytes ? QStringLiteral(", 文件数据") : QString(), toQString(table))))
        return sqlErrorText(query.lastError());
    query.addBindValue(id);
    if (!query.exec())
        return sqlErrorText(query.lastError());
    if (query.next()) {
        type = GbkString(trimBlanks(fromQString(query.value(0).toString())));
        if (bytes)
            *bytes = query.value(1).toByteArray();
    }
    return query.lastError().isValid() ? sqlErrorText(query.lastError()) : QString();
}

} // namespace regdesk

#pragma once

#include "platform/Gbk.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <vector>

namespace regdesk {

// The records of a register named by their row ids, as the query window's
// list carries them: the list shows 发文号 trimmed, so "7号" and "7号 " look
// alike there, while a row id names one record only. Works on any open
// connection. Failures come back as the database's complaint; empty on success.
class RegisterRecords
{
public:
    explicit RegisterRecords(QSqlDatabase database) : m_database(std::move(database)) {}

    // The records `ids` and every record whose stored 发文号 equals one of
    // theirs as the register compares it (ASCII case ignored, blanks counted),
    // in row-id order; records that no longer exist are left out. A record
    // without a 发文号 has no namesakes.
    QString withNamesakes(const GbkString& table, const std::vector<qint64>& ids, std::vector<qint64>& found) const;

    // The records of `number` as the register compares it (ASCII case
    // ignored, blanks counted), in row-id order: those a statement
    // "... WHERE 发文号='number'" changes.
    QString ofNumber(const GbkString& table, const GbkString& number, std::vector<qint64>& found) const;

    // The changes below are logged in 操作日志 first (db/AuditTrail): run
    // them in a transaction, which a failure must leave uncommitted.
    QString remove(const GbkString& table, const std::vector<qint64>& ids) const;
    QString clearAttachments(const GbkString& table, const std::vector<qint64>& ids) const;
    // Sets 文件类型 and 文件数据 of each record; fails when one of them has
    // gone meanwhile (the caller's transaction then keeps the others as they
    // were). An attachment it replaces is logged as deleted.
    QString storeAttachment(const GbkString& table, const std::vector<qint64>& ids, const GbkString& type,
                            const QByteArray& bytes) const;

    // 文件类型 of one record, trimmed; with `bytes`, also its 文件数据. A
    // record that does not exist reads as one without an attachment.
    QString readAttachment(const GbkString& table, qint64 id, GbkString& type, QByteArray* bytes = nullptr) const;

    // The text of a failure to log, for the clerk.
    static QString logFailure(const QString& failure);

private:
    QString idsCondition() const;

    QSqlDatabase m_database;
};

} // namespace regdesk

#include "db/RegisterCopy.h"

#include "db/AuditTrail.h"
#include "db/RegisterColumns.h"
#include "db/ServerAddress.h"
#include "db/ServerStatement.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <algorithm>

namespace regdesk {
namespace {

constexpr qint64 kProgressEvery = 1000;

const QStringList& registers()
{
    static const QStringList tables = {QStringLiteral("发文登记表"), QStringLiteral("收文登记表")};
    return tables;
}

// Every column of a register but the row id, in the tables' order.
QStringList registerColumns()
{
    QStringList columns;
    for (const GbkString& column : RegisterColumns::searchColumns())
        columns << toQString(column);
    columns.insert(columns.indexOf(QStringLiteral("备注")) + 1, QStringLiteral("条码已打"));
    columns << QStringLiteral("文件数据");
    return columns;
}

bool count(const QSqlDatabase& database, const QString& table, bool isRegister, TableCount& result, QString& failure)
{
    const bool server = database.driverName() == QLatin1String("QPSQL");
    const QString sql = isRegister
                            ? QStringLiteral("SELECT count(*), count(文件数据), coalesce(sum(%1(文件数据)), 0) FROM %2")
                                  .arg(server ? QStringLiteral("octet_length") : QStringLiteral("length"), table)
                            : QStringLiteral("SELECT count(*), 0, 0 FROM %1").arg(table);
    QSqlQuery query(database);
    if (!query.exec(sql) || !query.next()) {
        failure = QStringLiteral("%1：%2").arg(table, sqlErrorText(query.lastError()));
        return false;
    }
    result = {table, query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong()};
    return true;
}

bool countAll(const QSqlDatabase& database, std::vector<TableCount>& counts, QString& failure)
{
    counts.clear();
    for (const QString& table : registers() + QStringList{QStringLiteral("人员信息表")}) {
        TableCount result;
        if (!count(database, table, table != QStringLiteral("人员信息表"), result, failure))
            return false;
        counts.push_back(result);
    }
    return true;
}

// Copies the rows of `select` by `insert`, value by value; the number written, or -1.
// The values go to the server as parameters, an attachment as its bytes.
qint64 copyRows(const QSqlDatabase& source, const QString& select, const QSqlDatabase& target, const QString& insert,
                const QString& table, QString& failure, const std::function<void(const QString&, qint64)>& progress)
{
    QSqlQuery reader(source);
    reader.setForwardOnly(true);
    if (!reader.exec(select)) {
        failure = QStringLiteral("%1：%2").arg(table, sqlErrorText(reader.lastError()));
        return -1;
    }
    ServerStatement writer(target, insert);
    qint64 written = 0;
    const int columns = reader.record().count();
    QVariantList values;
    while (reader.next()) {
        values.clear();
        for (int i = 0; i < columns; ++i)
            values << reader.value(i);
        if (!writer.execute(values)) {
            failure = QStringLiteral("%1：%2").arg(table, writer.error());
            return -1;
        }
        written += writer.rowsAffected();
        if (progress && written % kProgressEvery == 0)
            progress(table, written);
    }
    if (reader.lastError().isValid()) {
        failure = QStringLiteral("%1：%2").arg(table, sqlErrorText(reader.lastError()));
        return -1;
    }
    return written;
}

} // namespace

RegisterCopyReport copyRegister(const QSqlDatabase& source, const QSqlDatabase& target, bool append,
                                const std::function<void(const QString&, qint64)>& progress)
{
    RegisterCopyReport report;
    // One snapshot of data.db, also while a desk writes to it.
    TransactionGuard reading(source, TransactionGuard::Use::ReadingOnly);
    TransactionGuard writing(target);
    if (!reading.isOpen() || !writing.isOpen()) {
        report.failure = sqlErrorText((reading.isOpen() ? target : source).lastError());
        return report;
    }
    QSqlQuery lock(target);
    // No desk saves while the counts are taken and the records copied.
    if (!lock.exec(QStringLiteral("LOCK TABLE 发文登记表, 收文登记表, 人员信息表 IN EXCLUSIVE MODE"))) {
        report.failure = sqlErrorText(lock.lastError());
        return report;
    }
    if (!countAll(source, report.source, report.failure) || !countAll(target, report.before, report.failure))
        return report;
    const bool empty = std::all_of(report.before.begin(), report.before.end(),
                                   [](const TableCount& table) { return table.records == 0; });
    if (!empty && !append) {
        report.refusedNotEmpty = true;
        report.failure = QStringLiteral("服务器上的登记库不是空的。");
        return report;
    }

    const QStringList columns = registerColumns();
    QStringList holes;
    for (qsizetype i = 0; i < columns.size(); ++i)
        holes << QStringLiteral("?");
    // In the order of registration, which the server's row ids keep from here on.
    for (const QString& table : registers()) {
        const qint64 written = copyRows(
            source, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columns.join(QStringLiteral(", ")), table),
            target,
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), holes.join(QStringLiteral(", "))),
            table, report.failure, progress);
        if (written < 0)
            return report;
        report.written.push_back(written);
    }
    const qint64 people = copyRows(
        source, QStringLiteral("SELECT 姓名, 简称 FROM 人员信息表 ORDER BY rowid"), target,
        QStringLiteral("INSERT INTO 人员信息表 (姓名, 简称) SELECT ?::text, ?::text WHERE NOT EXISTS (SELECT 1 FROM "
                       "人员信息表 WHERE 姓名 IS NOT DISTINCT FROM $1 AND 简称 IS NOT DISTINCT FROM $2)"),
        QStringLiteral("人员信息表"), report.failure, progress);
    if (people < 0)
        return report;
    report.written.push_back(people);

    if (!countAll(target, report.after, report.failure))
        return report;
    for (std::size_t i = 0; i < report.after.size(); ++i) {
        const TableCount& read = report.source[i];
        const TableCount& before = report.before[i];
        const TableCount& after = report.after[i];
        const bool registerAgrees = after.records == before.records + read.records &&
                                    after.attachments == before.attachments + read.attachments &&
                                    after.attachmentBytes == before.attachmentBytes + read.attachmentBytes;
        const bool peopleAgree = after.records == before.records + report.written[i];
        if (static_cast<qsizetype>(i) < registers().size() ? !registerAgrees : !peopleAgree) {
            report.failure = QStringLiteral("%1 的计数不符：读出 %2 条，服务器上原有 %3 条、现有 %4 条。")
                                 .arg(read.table)
                                 .arg(read.records)
                                 .arg(before.records)
                                 .arg(after.records);
            return report;
        }
    }
    // The copy is one row of the target's trail, in its transaction.
    std::vector<std::pair<QString, QString>> facts = {
        {QStringLiteral("来源"), source.databaseName()},
        {QStringLiteral("追加"), append ? QStringLiteral("是") : QStringLiteral("否")}};
    for (std::size_t i = 0; i < report.source.size() && i < report.written.size(); ++i)
        facts.emplace_back(report.source[i].table, QString::number(report.written[i]));
    if (QString failure = AuditTrail(target).recordEvent(AuditTrail::Action::CopyRegister, facts); !failure.isEmpty()) {
        report.failure = QStringLiteral("操作日志无法写入（%1）").arg(failure);
        return report;
    }
    if (!writing.commit())
        report.failure = sqlErrorText(target.lastError());
    return report;
}

} // namespace regdesk

#include "db/SearchIndex.h"

#include "db/RegisterColumns.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <optional>

namespace regdesk::SearchIndex {
namespace {

constexpr qint64 kSliceRows = 20000;

// The blanks that reading a field trims (space, tab, CR, LF).
const QString kTrimmed = QStringLiteral("char(32,9,13,10)");
// Two characters behind every text, so that each occurrence of a one- or
// two-character term begins some trigram.
const QString kFiller = QStringLiteral("char(1,1)");

QString describe(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QStringList triggerNames(const QString& table)
{
    const QString index = indexTable(table);
    return {index + QStringLiteral("_增"), index + QStringLiteral("_删"), index + QStringLiteral("_改")};
}

QString indexedText(const QString& alias)
{
    return joinedTextSql(alias) + QStringLiteral(" || ") + kFiller;
}

QStringList creationStatements(const QString& table)
{
    const QString index = indexTable(table);
    const QStringList triggers = triggerNames(table);
    QStringList columns;
    for (const GbkString& column : RegisterColumns::searchColumns())
        columns << toQString(column);
    const QString insertNew = QStringLiteral("INSERT INTO %1(rowid, 文本) VALUES (new.rowid, %2);")
                                  .arg(index, indexedText(QStringLiteral("new")));
    const QString deleteOld = QStringLiteral("INSERT INTO %1(%1, rowid, 文本) VALUES ('delete', old.rowid, %2);")
                                  .arg(index, indexedText(QStringLiteral("old")));
    QStringList statements;
    for (const QString& trigger : triggers)
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger);
    statements << QStringLiteral("DROP TABLE IF EXISTS %1").arg(vocabularyTable(table))
               << QStringLiteral("DROP TABLE IF EXISTS %1").arg(index)
               // Contentless and without positions: the index holds only which
               // record has which trigram, a fraction of the register's size.
               << QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(文本, content='', detail=none, "
                                 "tokenize='trigram case_sensitive 1')")
                      .arg(index)
               << QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5vocab(%2, row)").arg(vocabularyTable(table), index)
               << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN %3 END").arg(triggers[0], table, insertNew)
               << QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN %3 END").arg(triggers[1], table, deleteOld)
               // Storing or removing the bytes of an attachment leaves the text alone.
               << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 BEGIN %4 %5 END")
                      .arg(triggers[2], columns.join(QStringLiteral(", ")), table, deleteOld, insertNew);
    return statements;
}

std::optional<qint64> singleNumber(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql) || !query.next())
        return std::nullopt;
    return query.value(0).isNull() ? 0 : query.value(0).toLongLong();
}

} // namespace

QString indexTable(const QString& table)
{
    return table + QStringLiteral("_检索");
}

QString vocabularyTable(const QString& table)
{
    return table + QStringLiteral("_检索词");
}

QString joinedTextSql(const QString& alias)
{
    const QString prefix = alias.isEmpty() ? QString() : alias + u'.';
    QStringList parts;
    for (const GbkString& column : RegisterColumns::searchColumns())
        parts << QStringLiteral("ifnull(trim(%1%2, %3), '')").arg(prefix, toQString(column), kTrimmed);
    return parts.join(QStringLiteral(" || "));
}

State state(const QSqlDatabase& database, const QString& table)
{
    QSqlQuery query(database);
    QStringList names = triggerNames(table);
    names << indexTable(table) << vocabularyTable(table);
    for (const QString& name : names) {
        query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = ?"));
        query.addBindValue(name);
        if (!query.exec() || !query.next())
            return State::Missing;
    }
    // Row ids are the link between a record and its index entry. The last
    // row id of both sides differs once a VACUUM has renumbered the register.
    const auto registerLast = singleNumber(query, QStringLiteral("SELECT max(rowid) FROM %1").arg(table));
    const auto indexLast = singleNumber(query, QStringLiteral("SELECT max(id) FROM %1_docsize").arg(indexTable(table)));
    if (!registerLast || !indexLast || *registerLast != *indexLast)
        return State::Stale;
    return State::InStep;
}

QString install(const QSqlDatabase& database, const QString& table, const SearchProgress& progress)
{
    TransactionGuard transaction(database);
    if (!transaction.isOpen())
        return describe(database.lastError());
    QSqlQuery query(database);
    for (const QString& statement : creationStatements(table)) {
        if (!query.exec(statement))
            return describe(query.lastError());
    }
    if (!query.exec(QStringLiteral("SELECT min(rowid), max(rowid) FROM %1").arg(table)) || !query.next())
        return describe(query.lastError());
    const qint64 first = query.value(0).toLongLong();
    const qint64 last = query.value(1).toLongLong();
    const bool empty = query.value(0).isNull();
    query.finish();
    QSqlQuery fill(database);
    if (!fill.prepare(QStringLiteral("INSERT INTO %1(rowid, 文本) SELECT rowid, %2 FROM %3 WHERE rowid BETWEEN ? AND ?")
                          .arg(indexTable(table), indexedText(QString()), table)))
        return describe(fill.lastError());
    for (qint64 low = first; !empty && low <= last; low += kSliceRows) {
        if (progress)
            progress(low - first, last - first + 1);
        fill.bindValue(0, low);
        fill.bindValue(1, low + kSliceRows - 1);
        if (!fill.exec())
            return describe(fill.lastError());
    }
    if (!transaction.commit())
        return describe(database.lastError());
    return {};
}

} // namespace regdesk::SearchIndex

#include "db/SearchIndex.h"

#include "db/RegisterColumns.h"
#include "platform/GbkQt.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <random>
#include <thread>

namespace regdesk::SearchIndex {
namespace {

// The progress of each index's build: its records up to this row id are in
// the index, the rest are not; the complete mark covers every row id.
const QString kProgressTable = QStringLiteral("检索状态");
constexpr qint64 kComplete = std::numeric_limits<qint64>::max();

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

// The mark of `index` as an SQL expression: a record with a row id up to it
// is in the index.
QString markSql(const QString& index)
{
    return QStringLiteral("(SELECT 已建至 FROM %1 WHERE 索引 = '%2')").arg(kProgressTable, index);
}

QStringList creationStatements(const QString& table)
{
    const QString index = indexTable(table);
    const QString mark = markSql(index);
    const QStringList triggers = triggerNames(table);
    QStringList columns;
    for (const GbkString& column : RegisterColumns::searchColumns())
        columns << toQString(column);
    // The triggers keep the index in step for the records it holds already;
    // those behind the mark are taken by the build's next slices.
    const QString insertNew = QStringLiteral("INSERT INTO %1(rowid, 文本) SELECT new.rowid, %2 WHERE new.rowid <= %3;")
                                  .arg(index, indexedText(QStringLiteral("new")), mark);
    const QString deleteOld =
        QStringLiteral("INSERT INTO %1(%1, rowid, 文本) SELECT 'delete', old.rowid, %2 WHERE old.rowid <= %3;")
            .arg(index, indexedText(QStringLiteral("old")), mark);
    QStringList statements;
    for (const QString& trigger : triggers)
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger);
    statements << QStringLiteral("DROP TABLE IF EXISTS %1").arg(vocabularyTable(table))
               << QStringLiteral("DROP TABLE IF EXISTS %1").arg(index)
               << QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (索引 TEXT PRIMARY KEY, 已建至 INTEGER NOT NULL)")
                      .arg(kProgressTable)
               << QStringLiteral("INSERT OR REPLACE INTO %1 (索引, 已建至) SELECT '%2', ifnull(min(rowid) - 1, %3) "
                                 "FROM %4")
                      .arg(kProgressTable, index, QString::number(kComplete), table)
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

// A transaction that takes the write lock at once (waiting for it as long as
// the connection's busy time-out lets it), rolled back unless committed.
class WriteTransaction
{
public:
    explicit WriteTransaction(const QSqlDatabase& database) : m_query(database)
    {
        m_open = m_query.exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteTransaction()
    {
        if (m_open)
            m_query.exec(QStringLiteral("ROLLBACK"));
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool isOpen() const { return m_open; }
    QString failure() const { return describe(m_query.lastError()); }
    bool commit()
    {
        m_open = !m_query.exec(QStringLiteral("COMMIT"));
        return !m_open;
    }

private:
    QSqlQuery m_query;
    bool m_open = false;
};

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
    bool marked = false;
    for (const QString& name : names) {
        query.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = ?"));
        query.addBindValue(name);
        if (!query.exec() || !query.next())
            return State::Missing;
        marked = marked || query.value(0).toString().contains(kProgressTable);
    }
    // An index built in one piece (by an earlier version) has no mark and is complete.
    if (marked) {
        query.prepare(QStringLiteral("SELECT 已建至 FROM %1 WHERE 索引 = ?").arg(kProgressTable));
        query.addBindValue(indexTable(table));
        if (!query.exec() || !query.next())
            return State::Stale;
        if (query.value(0).toLongLong() != kComplete)
            return State::Partial;
    }
    // Row ids are the link between a record and its index entry. The last
    // row id of both sides differs once a VACUUM has renumbered the register.
    const auto registerLast = singleNumber(query, QStringLiteral("SELECT max(rowid) FROM %1").arg(table));
    const auto indexLast = singleNumber(query, QStringLiteral("SELECT max(id) FROM %1_docsize").arg(indexTable(table)));
    if (!registerLast || !indexLast || *registerLast != *indexLast)
        return State::Stale;
    return State::InStep;
}

QString install(const QSqlDatabase& database, const QString& table, const SearchProgress& progress,
                const BuildPace& pace)
{
    const QString index = indexTable(table);
    QSqlQuery query(database);
    {
        // A build that stopped midway goes on where it stopped, if what it
        // left holds exactly the records up to its mark; otherwise it starts
        // afresh. Decided under the lock, as another desk may be building too.
        WriteTransaction transaction(database);
        if (!transaction.isOpen())
            return transaction.failure();
        bool resume = false;
        if (state(database, table) == State::Partial) {
            const auto held = singleNumber(query, QStringLiteral("SELECT count(*) FROM %1_docsize").arg(index));
            const auto below = singleNumber(
                query, QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= %2").arg(table, markSql(index)));
            resume = held && below && *held == *below;
        }
        for (const QString& statement : resume ? QStringList() : creationStatements(table)) {
            if (!query.exec(statement))
                return describe(query.lastError());
        }
        query.finish();
        if (!transaction.commit())
            return transaction.failure();
    }
    const auto total = singleNumber(query, QStringLiteral("SELECT count(*) FROM %1").arg(table));
    const auto before =
        singleNumber(query, QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= %2").arg(table, markSql(index)));
    query.finish();
    if (!total || !before)
        return describe(query.lastError());

    // Each slice is one short write transaction of about `pace.sliceTime`;
    // between slices other desks get their turn to write.
    QSqlQuery end(database);
    QSqlQuery fill(database);
    QSqlQuery advance(database);
    if (!end.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE rowid > %2 ORDER BY rowid LIMIT 1 OFFSET ?")
                         .arg(table, markSql(index))) ||
        !fill.prepare(QStringLiteral("INSERT INTO %1(rowid, 文本) SELECT rowid, %2 FROM %3 WHERE rowid > %4 AND "
                                     "rowid <= ?")
                          .arg(index, indexedText(QString()), table, markSql(index))) ||
        !advance.prepare(QStringLiteral("UPDATE %1 SET 已建至 = ? WHERE 索引 = ?").arg(kProgressTable)))
        return describe(end.lastError().isValid() ? end.lastError() : fill.lastError());
    std::minstd_rand jitter(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    qint64 sliceRows = std::max<qint64>(1, pace.firstSliceRows);
    qint64 done = *before;
    for (bool complete = false; !complete;) {
        const auto started = std::chrono::steady_clock::now();
        {
            WriteTransaction transaction(database);
            if (!transaction.isOpen())
                return transaction.failure();
            end.bindValue(0, sliceRows - 1);
            if (!end.exec())
                return describe(end.lastError());
            // No record that far on: this slice takes the rest, and the
            // index is complete with it.
            complete = !end.next();
            const qint64 last = complete ? kComplete : end.value(0).toLongLong();
            end.finish();
            fill.bindValue(0, last);
            advance.bindValue(0, last);
            advance.bindValue(1, index);
            if (!fill.exec())
                return describe(fill.lastError());
            done = complete ? *total : done + sliceRows;
            if (!advance.exec())
                return describe(advance.lastError());
            if (!transaction.commit())
                return transaction.failure();
        }
        const auto took =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
        if (progress)
            progress(std::min(done, *total), std::max(*total, done));
        if (complete)
            break;
        // The next slice is sized to hold the lock about as long as wanted.
        if (pace.sliceTime.count() > 0) {
            const double scale = static_cast<double>(std::chrono::microseconds(pace.sliceTime).count()) /
                                 static_cast<double>(std::max<qint64>(took.count(), 1));
            sliceRows = std::clamp<qint64>(static_cast<qint64>(static_cast<double>(sliceRows) * std::min(scale, 4.0)),
                                           1, pace.maxSliceRows);
        }
        // A pause of varying length, so that a desk retrying its write at
        // fixed intervals cannot keep missing it.
        if (pace.pause.count() > 0)
            std::this_thread::sleep_for(pace.pause / 2 +
                                        std::chrono::milliseconds(jitter() % (pace.pause.count() + 1)));
    }
    return {};
}

} // namespace regdesk::SearchIndex

#include "db/PostgresRegisterSearch.h"

#include "db/AdoDatabase.h"
#include "db/RegisterColumns.h"
#include "db/RegisterSchema.h"
#include "db/ServerAddress.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <map>
#include <optional>

namespace regdesk {
namespace {

QString quoted(const QString& text)
{
    QString literal = text;
    literal.replace(u'\'', QStringLiteral("''"));
    return u'\'' + literal + u'\'';
}

// `text` for LIKE (whose escape character is "\"), each character `times` times.
QString likeText(const QString& text, int times)
{
    QString escaped;
    const QList<uint> characters = text.toUcs4();
    for (const uint code : characters) {
        const char32_t character = code;
        const QString one = QString::fromUcs4(&character, 1);
        for (int i = 0; i < times; ++i) {
            if (one == u"%" || one == u"_" || one == u"\\")
                escaped += u'\\';
            escaped += one;
        }
    }
    return escaped;
}

QString foldAscii(QString text)
{
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return text;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The records whose joined text may hold `text` (ignoring case: ILIKE).
QString narrowing(const QString& text, bool ignoringCase)
{
    return QStringLiteral("regdesk_tripled(%1) %2 %3")
        .arg(PostgresRegisterSearch::joinedTextSql(), ignoringCase ? QStringLiteral("ILIKE") : QStringLiteral("LIKE"),
             quoted(u'%' + likeText(text, 3) + u'%'));
}

// The statement of the register's schema that begins with `head`, without its ";".
QString schemaStatement(const QString& head)
{
    const QString schema = QString::fromUtf8(kPostgresRegisterSchema);
    const qsizetype start = schema.indexOf(head);
    return start < 0 ? QString() : schema.mid(start, schema.indexOf(u';', start) - start);
}

QString indexOf(const QString& table)
{
    return table + QStringLiteral("_检索");
}

const QStringList& indexedTables()
{
    static const QStringList tables = {QStringLiteral("发文登记表"), QStringLiteral("收文登记表")};
    return tables;
}

// The mark the schema gives the search indexes.
QString schemaIndexMark()
{
    const QString comment = schemaStatement(QStringLiteral("COMMENT ON INDEX ") + indexOf(indexedTables().front()));
    const qsizetype open = comment.indexOf(u'\'');
    return open < 0 ? QString() : comment.mid(open + 1, comment.lastIndexOf(u'\'') - open - 1);
}

// How many search indexes lack the mark; -1 when that cannot be told.
int staleIndexes(QSqlQuery& query, const QString& mark)
{
    query.prepare(QStringLiteral("SELECT count(*) FROM unnest(?::text[]) AS i "
                                 "WHERE obj_description(to_regclass(i), 'pg_class') IS DISTINCT FROM ?"));
    query.addBindValue(QStringLiteral("{%1,%2}").arg(indexOf(indexedTables()[0]), indexOf(indexedTables()[1])));
    query.addBindValue(mark);
    return query.exec() && query.next() ? query.value(0).toInt() : -1;
}

} // namespace

bool PostgresRegisterSearch::renewStaleIndexes(const QSqlDatabase& database)
{
    const QString mark = schemaIndexMark();
    const QString function = schemaStatement(QStringLiteral("CREATE FUNCTION regdesk_tripled"));
    QSqlQuery query(database);
    const int stale = staleIndexes(query, mark);
    if (stale <= 0 || mark.isEmpty() || function.isEmpty())
        return stale == 0;
    if (!query.exec(QStringLiteral("SELECT bool_and(pg_has_role(relowner, 'USAGE')) FROM pg_class "
                                   "WHERE oid IN (to_regclass('发文登记表'), to_regclass('收文登记表'))")) ||
        !query.next() || !query.value(0).toBool())
        return false;
    query.finish();
    TransactionGuard transaction(database);
    // One desk rebuilds; one that starts meanwhile waits, then finds the mark.
    if (!transaction.isOpen() || !query.exec(QStringLiteral("SET LOCAL lock_timeout = 0")) ||
        !query.exec(QStringLiteral("LOCK TABLE 发文登记表, 收文登记表 IN SHARE ROW EXCLUSIVE MODE")))
        return false;
    const int stillStale = staleIndexes(query, mark);
    if (stillStale <= 0)
        return stillStale == 0;
    if (!query.exec(QStringLiteral("CREATE OR REPLACE") + function.mid(QStringLiteral("CREATE").size())))
        return false;
    for (const QString& table : indexedTables()) {
        if (!query.exec(QStringLiteral("REINDEX INDEX ") + indexOf(table)) ||
            !query.exec(schemaStatement(QStringLiteral("COMMENT ON INDEX ") + indexOf(table))))
            return false;
    }
    return transaction.commit();
}

PostgresRegisterSearch::PostgresRegisterSearch(std::shared_ptr<DbConnection> connection)
    : m_connection(std::move(connection))
{}

QSqlDatabase PostgresRegisterSearch::database() const
{
    return m_connection ? QSqlDatabase::database(m_connection->name(), false) : QSqlDatabase();
}

QString PostgresRegisterSearch::joinedTextSql()
{
    return QStringLiteral("regdesk_joined(%1)").arg(columnsSql(RegisterColumns::searchColumns()));
}

RegisterSearch::Candidates
PostgresRegisterSearch::fuzzyCandidates(const QString& table, const std::vector<QString>& terms, const SearchProgress&)
{
    // The index narrows the records down; the server sifts them with the rule's own test.
    QStringList conditions;
    for (const QString& term : terms)
        conditions << narrowing(term, false) << QStringLiteral("strpos(%1, %2) > 0").arg(joinedTextSql(), quoted(term));
    const QString sql = candidatesSql(table, conditions);
    Candidates candidates;
    QSqlQuery& query = candidates.query.emplace(database());
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return {std::nullopt, sqlErrorText(query.lastError())};
    return candidates;
}

QString PostgresRegisterSearch::findNamesakes(const QString& table, const std::vector<QVariant>& numbers,
                                              std::vector<std::vector<qint64>>& groups,
                                              std::map<qint64, ListRow>& shown)
{
    // Numbers compared as the register compares them, ASCII case ignored;
    // records without one together.
    QJsonArray wanted;
    bool numberless = false;
    for (const QVariant& number : numbers) {
        if (number.isNull())
            numberless = true;
        else
            wanted.append(number.toString());
    }
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT rowid, regdesk_fold(发文号), %1 FROM %2 WHERE regdesk_fold(发文号) = ANY "
                                 "(SELECT regdesk_fold(json_array_elements_text(?::json)))%3 ORDER BY rowid")
                      .arg(columnsSql(RegisterColumns::listColumns()), table,
                           numberless ? QStringLiteral(" OR 发文号 IS NULL") : QString()));
    query.addBindValue(QString::fromUtf8(QJsonDocument(wanted).toJson(QJsonDocument::Compact)));
    if (!query.exec())
        return sqlErrorText(query.lastError());
    std::map<std::optional<QString>, std::vector<qint64>> namesakes;
    const int listColumns = static_cast<int>(RegisterColumns::listColumns().size());
    while (query.next()) {
        const qint64 rowid = query.value(0).toLongLong();
        const QVariant number = query.value(1);
        std::optional<QString> key;
        if (!number.isNull())
            key = number.toString();
        namesakes[std::move(key)].push_back(rowid);
        if (shown.find(rowid) == shown.end()) {
            ListRow row;
            for (int i = 2; i < 2 + listColumns; ++i)
                row.push_back(listCellText(query.value(i)));
            shown.emplace(rowid, std::move(row));
        }
    }
    if (query.lastError().isValid())
        return sqlErrorText(query.lastError());
    for (std::size_t k = 0; k < numbers.size() && k < groups.size(); ++k) {
        std::optional<QString> key;
        if (!numbers[k].isNull())
            key.emplace(foldAscii(numbers[k].toString()));
        if (const auto group = namesakes.find(key); group != namesakes.end())
            groups[k] = group->second;
    }
    return {};
}

SearchResult PostgresRegisterSearch::exact(const GbkString& table, const GbkString& column, const GbkString& value,
                                           const SearchProgress& progress)
{
    if (!RegisterColumns::isListColumn(column))
        return SearchResult::failure(QStringLiteral("没有这个字段：") + toQString(column));
    const QString wanted = toQString(value);
    QString sql = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE ")
                      .arg(columnsSql(RegisterColumns::listColumns()), toQString(table));
    // The index holds trimmed fields: a value with a blank at an end may
    // stand where the index has none, so such a value reads every record.
    if (!wanted.isEmpty() && !isBlank(wanted.front()) && !isBlank(wanted.back()))
        sql += narrowing(wanted, true) + QStringLiteral(" AND ");
    sql += QStringLiteral("regdesk_fold(%1) LIKE %2 ORDER BY rowid")
               .arg(toQString(column), quoted(u'%' + likeText(foldAscii(wanted), 1) + u'%'));
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return SearchResult::failure(sqlErrorText(query.lastError()));
    return readListRows(query, progress);
}

} // namespace regdesk

#include "db/NumberOrder.h"

#include "db/TransactionGuard.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace regdesk::NumberOrder {
namespace {

constexpr const char* kIndexName = "发文登记表_发文号_序号";
constexpr char16_t kClosingBracket = u'〕';

QString describe(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QStringList statements()
{
    // The blanks the desk trims from a number: space, tab, CR, LF.
    const QString trimmed = QStringLiteral("ltrim($1, E' \\t\\r\\n')");
    const QString head =
        QStringLiteral("CREATE OR REPLACE FUNCTION regdesk_number_head(text) RETURNS text LANGUAGE sql IMMUTABLE "
                       "STRICT PARALLEL SAFE AS $$ SELECT CASE WHEN strpos(%1, '〕') BETWEEN 1 AND %2 "
                       "THEN left(%1, strpos(%1, '〕')) END $$")
            .arg(trimmed)
            .arg(kLongestHead);
    // Zeros in front are passed over and at most 18 digits read: a longer run
    // is then still above any serial, and no text overflows the cast. Only
    // built-in functions in the body: a restored dump makes the index with
    // an empty search path.
    const QString bound =
        QStringLiteral("CREATE OR REPLACE FUNCTION regdesk_number_bound(text) RETURNS bigint LANGUAGE sql IMMUTABLE "
                       "STRICT PARALLEL SAFE AS $$ SELECT coalesce(CAST(substring(substr(%1, strpos(%1, '〕') + 1) "
                       "FROM '^0*([0-9]{1,18})') AS bigint), 0) $$")
            .arg(trimmed);
    return {head, bound,
            QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON 发文登记表 (regdesk_number_head(发文号), "
                           "regdesk_number_bound(发文号), rowid) WHERE regdesk_number_head(发文号) IS NOT NULL")
                .arg(indexName())};
}

} // namespace

QString indexName()
{
    return QString::fromUtf8(kIndexName);
}

bool isInstalled(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    query.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL AND "
                                 "to_regprocedure('regdesk_number_bound(text)') IS NOT NULL"));
    query.addBindValue(indexName());
    return query.exec() && query.next() && query.value(0).toBool();
}

QString install(const QSqlDatabase& database)
{
    TransactionGuard transaction(database);
    if (!transaction.isOpen())
        return describe(database.lastError());
    QSqlQuery query(database);
    for (const QString& statement : statements()) {
        if (!query.exec(statement))
            return describe(query.lastError());
    }
    if (!transaction.commit())
        return describe(database.lastError());
    return {};
}

bool answersFor(const QString& prefix, int year)
{
    const qsizetype bracket = prefix.indexOf(kClosingBracket);
    return bracket >= 0 && bracket == prefix.size() - 1 && prefix.size() <= kLongestHead &&
           prefix.contains(QString::number(year)) && !prefix.front().isSpace();
}

QString pageStatement(bool afterPosition, int limit)
{
    return QStringLiteral("SELECT 发文号, regdesk_number_bound(发文号), rowid FROM 发文登记表 "
                          "WHERE regdesk_number_head(发文号) = ? %1 ORDER BY regdesk_number_head(发文号) DESC, "
                          "regdesk_number_bound(发文号) DESC, rowid DESC LIMIT %2")
        .arg(afterPosition ? QStringLiteral("AND (regdesk_number_bound(发文号), rowid) < (?, ?)") : QString())
        .arg(limit);
}

std::optional<std::vector<Row>> page(const QSqlDatabase& database, const QString& prefix, std::optional<Position> after,
                                     int limit)
{
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(pageStatement(after.has_value(), limit));
    query.addBindValue(prefix);
    if (after) {
        query.addBindValue(after->serialBound);
        query.addBindValue(after->rowId);
    }
    if (!query.exec())
        return std::nullopt;
    std::vector<Row> rows;
    while (query.next())
        rows.push_back({query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toLongLong()});
    return rows;
}

} // namespace regdesk::NumberOrder

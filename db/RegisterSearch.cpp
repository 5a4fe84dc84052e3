#include "db/RegisterSearch.h"

#include "db/AdoDatabase.h"
#include "db/PostgresRegisterSearch.h"
#include "db/RegisterColumns.h"
#include "db/ServerAddress.h"
#include "db/SqliteRegisterSearch.h"
#include "platform/GbkQt.h"
#include "platform/Text.h"

#include <QSqlError>
#include <QStringList>
#include <algorithm>

namespace regdesk {
namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

SearchResult RegisterSearch::fuzzy(const GbkString& table, const std::vector<GbkString>& terms,
                                   const SearchProgress& progress)
{
    const QString name = toQString(table);
    std::vector<QString> wanted;
    for (const GbkString& term : terms)
        wanted.push_back(toQString(term));
    Candidates candidates = fuzzyCandidates(name, wanted, progress);
    if (!candidates.error.isEmpty())
        return SearchResult::failure(candidates.error);
    if (!candidates.query)
        return {};

    // First the matching records, latest first. The text check here is the
    // rule; the database only names candidates.
    QSqlQuery& query = *candidates.query;
    const std::vector<GbkString>& searched = RegisterColumns::searchColumns();
    const int searchColumns = static_cast<int>(searched.size());
    // Searched but not listed.
    const auto version = std::find(searched.begin(), searched.end(), "版本"_gbk) - searched.begin();
    std::vector<qint64> matches;
    std::vector<QVariant> numbers;
    std::map<qint64, ListRow> shown;
    QString joined;
    qint64 read = 0;
    while (query.next()) {
        joined.clear();
        for (int i = 1; i <= searchColumns; ++i)
            joined += searchCellText(query.value(i));
        if (progress && ++read % kProgressEvery == 0)
            progress(read, 0);
        if (!std::all_of(wanted.begin(), wanted.end(),
                         [&](const QString& term) { return joined.contains(term, Qt::CaseSensitive); }))
            continue;
        const qint64 rowid = query.value(0).toLongLong();
        matches.push_back(rowid);
        numbers.push_back(query.value(1));
        ListRow row;
        for (int i = 1; i <= searchColumns; ++i) {
            if (i - 1 != version)
                row.push_back(listCellText(query.value(i)));
        }
        shown.emplace(rowid, std::move(row));
    }
    if (query.lastError().isValid())
        return SearchResult::failure(sqlErrorText(query.lastError()));
    if (matches.empty())
        return {};

    // Then each match with every record of its number.
    std::vector<std::vector<qint64>> groups(matches.size());
    if (QString failure = findNamesakes(name, numbers, groups, shown); !failure.isEmpty())
        return SearchResult::failure(failure);
    SearchResult result;
    for (std::size_t k = 0; k < matches.size(); ++k) {
        if (groups[k].empty())
            groups[k].push_back(matches[k]);
        for (const qint64 rowid : groups[k]) {
            if (const auto found = shown.find(rowid); found != shown.end()) {
                result.rows.push_back(found->second);
                result.recordIds.push_back(rowid);
            }
        }
    }
    return result;
}

QString RegisterSearch::columnsSql(const std::vector<GbkString>& names)
{
    QStringList columns;
    for (const GbkString& column : names)
        columns << toQString(column);
    return columns.join(QStringLiteral(", "));
}

QString RegisterSearch::candidatesSql(const QString& table, const QStringList& conditions)
{
    QString sql = QStringLiteral("SELECT rowid, %1 FROM %2").arg(columnsSql(RegisterColumns::searchColumns()), table);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return sql + QStringLiteral(" ORDER BY rowid DESC");
}

SearchResult RegisterSearch::readListRows(QSqlQuery& query, const SearchProgress& progress)
{
    SearchResult result;
    const int columns = static_cast<int>(RegisterColumns::listColumns().size());
    while (query.next()) {
        ListRow row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 1; i <= columns; ++i)
            row.push_back(listCellText(query.value(i)));
        result.rows.push_back(std::move(row));
        result.recordIds.push_back(query.value(0).toLongLong());
        if (progress && static_cast<qint64>(result.rows.size()) % kProgressEvery == 0)
            progress(static_cast<qint64>(result.rows.size()), 0);
    }
    if (query.lastError().isValid())
        result.error = sqlErrorText(query.lastError());
    return result;
}

std::unique_ptr<RegisterSearch> makeRegisterSearch(std::shared_ptr<DbConnection> connection)
{
    if (connection && connection->kind() == SqlDialect::Kind::Postgres)
        return std::make_unique<PostgresRegisterSearch>(std::move(connection));
    return std::make_unique<SqliteRegisterSearch>(std::move(connection));
}

GbkString listCellText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QByteArray)
        return GbkString(trimBlanks(value.toByteArray().toStdString()));
    return GbkString(trimBlanks(fromQString(value.toString())));
}

QString searchCellText(const QVariant& value)
{
    if (value.isNull())
        return {};
    const QString text =
        value.typeId() == QMetaType::QByteArray ? toQString(value.toByteArray().toStdString()) : value.toString();
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace regdesk

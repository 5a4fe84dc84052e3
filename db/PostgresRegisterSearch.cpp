#include "db/PostgresRegisterSearch.h"

#include "db/AdoDatabase.h"
#include "db/RegisterColumns.h"
#include "db/ServerAddress.h"
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

constexpr qint64 kProgressEvery = 2000;

QString columnsSql(const std::vector<GbkString>& names)
{
    QStringList columns;
    for (const GbkString& column : names)
        columns << toQString(column);
    return columns.join(QStringLiteral(", "));
}

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

} // namespace

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

SearchResult PostgresRegisterSearch::fuzzy(const GbkString& table, const std::vector<GbkString>& terms,
                                           const SearchProgress& progress)
{
    const QString name = toQString(table);
    QStringList conditions;
    for (const GbkString& term : terms) {
        const QString text = toQString(term);
        conditions << narrowing(text, false) << QStringLiteral("strpos(%1, %2) > 0").arg(joinedTextSql(), quoted(text));
    }
    QString sql = QStringLiteral("SELECT rowid, %1 FROM %2").arg(columnsSql(RegisterColumns::searchColumns()), name);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY rowid DESC");
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return SearchResult::failure(sqlErrorText(query.lastError()));

    // The matches, latest first, with their rows; 版本 is searched but not listed.
    const std::vector<GbkString>& searched = RegisterColumns::searchColumns();
    const auto version = std::find(searched.begin(), searched.end(), "版本"_gbk) - searched.begin();
    std::vector<std::pair<qint64, std::optional<QString>>> matches; // row id, folded 发文号
    std::map<qint64, ListRow> shown;
    QJsonArray numbers;
    bool numberless = false;
    while (query.next()) {
        const qint64 rowid = query.value(0).toLongLong();
        const QVariant number = query.value(1);
        if (number.isNull())
            numberless = true;
        else
            numbers.append(number.toString());
        matches.emplace_back(rowid, number.isNull() ? std::nullopt : std::optional(foldAscii(number.toString())));
        ListRow row;
        for (int i = 1; i <= static_cast<int>(searched.size()); ++i) {
            if (i - 1 != version)
                row.push_back(listCellText(query.value(i)));
        }
        shown.emplace(rowid, std::move(row));
        if (progress && static_cast<qint64>(matches.size()) % kProgressEvery == 0)
            progress(static_cast<qint64>(matches.size()), 0);
    }
    if (query.lastError().isValid())
        return SearchResult::failure(sqlErrorText(query.lastError()));
    if (matches.empty())
        return {};

    // Each match comes with every record of its number (compared as the
    // register compares it, ASCII case ignored; records without one together).
    query.prepare(QStringLiteral("SELECT rowid, regdesk_fold(发文号), %1 FROM %2 WHERE regdesk_fold(发文号) = ANY "
                                 "(SELECT regdesk_fold(json_array_elements_text(?::json)))%3 ORDER BY rowid")
                      .arg(columnsSql(RegisterColumns::listColumns()), name,
                           numberless ? QStringLiteral(" OR 发文号 IS NULL") : QString()));
    query.addBindValue(QString::fromUtf8(QJsonDocument(numbers).toJson(QJsonDocument::Compact)));
    if (!query.exec())
        return SearchResult::failure(sqlErrorText(query.lastError()));
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
        return SearchResult::failure(sqlErrorText(query.lastError()));
    SearchResult result;
    for (const auto& [rowid, number] : matches) {
        const auto group = namesakes.find(number);
        const std::vector<qint64> rows = group != namesakes.end() ? group->second : std::vector<qint64>{rowid};
        for (const qint64 id : rows) {
            result.rows.push_back(shown[id]);
            result.recordIds.push_back(id);
        }
    }
    return result;
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
    SearchResult result;
    const int columns = static_cast<int>(RegisterColumns::listColumns().size());
    while (query.next()) {
        ListRow row;
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

} // namespace regdesk

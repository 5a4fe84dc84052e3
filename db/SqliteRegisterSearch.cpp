#include "db/SqliteRegisterSearch.h"

#include "db/AdoDatabase.h"
#include "db/RegisterColumns.h"
#include "db/SearchIndex.h"
#include "platform/GbkQt.h"
#include "platform/Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <set>

namespace regdesk {
namespace {

QString describe(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

QString quotedForMatch(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString likePattern(const QString& value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == u'\\' || c == u'%' || c == u'_')
            escaped += u'\\';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

// An exact search may use the index only where it cannot miss: LIKE folds
// ASCII letters, which the index does not, and the index holds trimmed fields.
bool indexCanServeExact(const QString& value)
{
    if (value.isEmpty())
        return false;
    for (const QChar c : value) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            return false;
    }
    return !isBlank(value.front()) && !isBlank(value.back());
}

} // namespace

SqliteRegisterSearch::SqliteRegisterSearch(std::shared_ptr<DbConnection> connection)
    : m_connection(std::move(connection))
{}

QSqlDatabase SqliteRegisterSearch::database() const
{
    return m_connection ? QSqlDatabase::database(m_connection->name(), false) : QSqlDatabase();
}

bool SqliteRegisterSearch::prepareIndex(const QString& table, const SearchProgress& progress)
{
    if (!m_useIndex)
        return false;
    const auto known = m_indexUsable.find(table);
    if (known != m_indexUsable.end())
        return known->second;
    bool usable = SearchIndex::state(database(), table) == SearchIndex::State::InStep;
    // A read-only or full disk keeps the index from being built: the search
    // then reads the whole register.
    if (!usable)
        usable = SearchIndex::install(database(), table, progress).isEmpty();
    m_indexUsable[table] = usable;
    return usable;
}

SqliteRegisterSearch::Narrowing SqliteRegisterSearch::narrowingFor(const QString& table,
                                                                   const std::vector<QString>& terms)
{
    Narrowing narrowing;
    QStringList parts;
    QSqlQuery vocabulary(database());
    vocabulary.setForwardOnly(true);
    const char32_t lastCodePoint = 0x10FFFF;
    const QString afterEverything = QString::fromUcs4(&lastCodePoint, 1);
    for (const QString& term : terms) {
        const QList<uint> characters = term.toUcs4();
        if (characters.size() >= 3) {
            // Without positions in the index the trigrams of a longer term are
            // looked for anywhere in the record; the text check does the rest.
            std::set<QString> trigrams;
            for (qsizetype i = 0; i + 3 <= characters.size(); ++i) {
                const char32_t trigram[3] = {characters[i], characters[i + 1], characters[i + 2]};
                trigrams.insert(QString::fromUcs4(trigram, 3));
            }
            QStringList quoted;
            for (const QString& trigram : trigrams)
                quoted << quotedForMatch(trigram);
            parts << quoted.join(QStringLiteral(" AND "));
            continue;
        }
        // A short term: every trigram that begins with it.
        vocabulary.prepare(QStringLiteral("SELECT term FROM %1 WHERE term >= ? AND term <= ?")
                               .arg(SearchIndex::vocabularyTable(table)));
        vocabulary.addBindValue(term);
        vocabulary.addBindValue(term + afterEverything);
        if (!vocabulary.exec())
            continue;
        QStringList expansions;
        while (vocabulary.next() && expansions.size() <= kMaxTrigramsPerTerm)
            expansions << quotedForMatch(vocabulary.value(0).toString());
        vocabulary.finish();
        if (expansions.isEmpty()) {
            narrowing.noMatchPossible = true;
            return narrowing;
        }
        if (expansions.size() <= kMaxTrigramsPerTerm)
            parts << u'(' + expansions.join(QStringLiteral(" OR ")) + u')';
    }
    narrowing.match = parts.join(QStringLiteral(" AND "));
    return narrowing;
}

RegisterSearch::Candidates SqliteRegisterSearch::fuzzyCandidates(const QString& table,
                                                                 const std::vector<QString>& terms,
                                                                 const SearchProgress& progress)
{
    Narrowing narrowing;
    if (prepareIndex(table, progress))
        narrowing = narrowingFor(table, terms);
    if (narrowing.noMatchPossible)
        return {};

    // The index names candidates; without it the database sifts the whole
    // register with the rule's own test.
    QStringList conditions;
    if (!narrowing.match.isEmpty()) {
        conditions
            << QStringLiteral("rowid IN (SELECT rowid FROM %1 WHERE %1 MATCH ?)").arg(SearchIndex::indexTable(table));
    } else {
        for (std::size_t i = 0; i < terms.size(); ++i)
            conditions << QStringLiteral("instr(%1, ?) > 0").arg(SearchIndex::joinedTextSql(QString()));
    }
    const QString sql = candidatesSql(table, conditions);
    Candidates candidates;
    QSqlQuery& query = candidates.query.emplace(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return {std::nullopt, describe(query.lastError())};
    if (!narrowing.match.isEmpty())
        query.addBindValue(narrowing.match);
    else
        for (const QString& term : terms)
            query.addBindValue(term);
    if (!query.exec())
        return {std::nullopt, describe(query.lastError())};
    return candidates;
}

QString SqliteRegisterSearch::findNamesakes(const QString& table, const std::vector<QVariant>& numbers,
                                            std::vector<std::vector<qint64>>& groups, std::map<qint64, ListRow>& shown)
{
    // The column's own comparison, without regard to ASCII case; IS pairs records without a number.
    QJsonArray wanted;
    for (const QVariant& number : numbers)
        wanted.append(QJsonValue::fromVariant(number));
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT j.key, b.rowid FROM json_each(?) AS j JOIN %1 AS b ON b.发文号 IS j.value "
                                 "ORDER BY j.key, b.rowid")
                      .arg(table));
    query.addBindValue(QString::fromUtf8(QJsonDocument(wanted).toJson(QJsonDocument::Compact)));
    if (!query.exec())
        return describe(query.lastError());
    QJsonArray others;
    while (query.next()) {
        const auto match = static_cast<std::size_t>(query.value(0).toLongLong());
        const qint64 rowid = query.value(1).toLongLong();
        if (match < groups.size())
            groups[match].push_back(rowid);
        if (shown.find(rowid) == shown.end())
            others.append(rowid);
    }
    if (others.isEmpty())
        return {};
    query.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid IN (SELECT value FROM json_each(?))")
                      .arg(columnsSql(RegisterColumns::listColumns()), table));
    query.addBindValue(QString::fromUtf8(QJsonDocument(others).toJson(QJsonDocument::Compact)));
    if (!query.exec())
        return describe(query.lastError());
    const int listColumns = static_cast<int>(RegisterColumns::listColumns().size());
    while (query.next()) {
        ListRow row;
        for (int i = 1; i <= listColumns; ++i)
            row.push_back(listCellText(query.value(i)));
        shown.emplace(query.value(0).toLongLong(), std::move(row));
    }
    return {};
}

SearchResult SqliteRegisterSearch::exact(const GbkString& table, const GbkString& column, const GbkString& value,
                                         const SearchProgress& progress)
{
    if (!RegisterColumns::isListColumn(column))
        return SearchResult::failure(QStringLiteral("没有这个字段：") + toQString(column));
    const QString name = toQString(table);
    const QString wanted = toQString(value);
    Narrowing narrowing;
    if (indexCanServeExact(wanted) && prepareIndex(name, progress))
        narrowing = narrowingFor(name, {wanted});
    if (narrowing.noMatchPossible)
        return {};

    QString sql =
        QStringLiteral("SELECT rowid, %1 FROM %2 WHERE ").arg(columnsSql(RegisterColumns::listColumns()), name);
    if (!narrowing.match.isEmpty())
        sql +=
            QStringLiteral("rowid IN (SELECT rowid FROM %1 WHERE %1 MATCH ?) AND ").arg(SearchIndex::indexTable(name));
    sql += QStringLiteral("%1 LIKE ? ESCAPE '\\' ORDER BY rowid").arg(toQString(column));

    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return SearchResult::failure(describe(query.lastError()));
    if (!narrowing.match.isEmpty())
        query.addBindValue(narrowing.match);
    query.addBindValue(likePattern(wanted));
    if (!query.exec())
        return SearchResult::failure(describe(query.lastError()));
    return readListRows(query, progress);
}

} // namespace regdesk

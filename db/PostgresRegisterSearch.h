#pragma once

#include "db/RegisterSearch.h"

#include <QSqlDatabase>
#include <memory>

namespace regdesk {

class DbConnection;

// The searches on the PostgreSQL register. The server decides the rule
// itself (the joined text holds every term, the column holds the value); the
// index 〈table〉_检索 only narrows the records down. It is a pg_trgm index
// over the joined text with every character written three times: trigrams of
// that text stand for single characters and pairs, so that terms of one or
// two Chinese characters — the usual ones — are found through it, and
// punctuation, which pg_trgm passes over, stays in the text the rule checks.
class PostgresRegisterSearch final : public RegisterSearch
{
public:
    explicit PostgresRegisterSearch(std::shared_ptr<DbConnection> connection);

    SearchResult exact(const GbkString& table, const GbkString& column, const GbkString& value,
                       const SearchProgress& progress) override;

    // regdesk_joined(...) over the search columns, as the index has it.
    static QString joinedTextSql();

    // Rebuilds the indexes 〈table〉_检索 when their mark is not the one the
    // register's schema gives them (an index of an earlier regdesk_tripled,
    // whose pattern a session with standard_conforming_strings off read as
    // control characters), with the function of the schema. Only the owner
    // of the registers may; desks that start meanwhile wait for it. True
    // when the indexes are current.
    static bool renewStaleIndexes(const QSqlDatabase& database);

private:
    Candidates fuzzyCandidates(const QString& table, const std::vector<QString>& terms,
                               const SearchProgress& progress) override;
    QString findNamesakes(const QString& table, const std::vector<QVariant>& numbers,
                          std::vector<std::vector<qint64>>& groups, std::map<qint64, ListRow>& shown) override;
    QSqlDatabase database() const;

    std::shared_ptr<DbConnection> m_connection;
};

} // namespace regdesk

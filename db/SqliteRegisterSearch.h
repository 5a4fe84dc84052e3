#pragma once

#include "db/RegisterSearch.h"

#include <QSqlDatabase>
#include <map>
#include <memory>

namespace regdesk {

class DbConnection;

// The searches on the SQLite register database. Each table's helper index
// (SearchIndex) is checked before the first search of that table and built
// or rebuilt when it is missing or out of step; where that cannot be done
// the search reads the whole register instead, with the same results.
class SqliteRegisterSearch final : public RegisterSearch
{
public:
    explicit SqliteRegisterSearch(std::shared_ptr<DbConnection> connection);

    SearchResult exact(const GbkString& table, const GbkString& column, const GbkString& value,
                       const SearchProgress& progress) override;

    // Builds the index of `table` now if it needs it; false when it cannot
    // be used (the search then reads the whole register).
    bool prepareIndex(const QString& table, const SearchProgress& progress);

    // Off: every search reads the whole register (for comparisons).
    void setIndexUse(bool use) { m_useIndex = use; }

    // A term expanding to more trigrams than this narrows a search too little
    // to be worth it; it is checked against the text only.
    static constexpr int kMaxTrigramsPerTerm = 4000;

private:
    Candidates fuzzyCandidates(const QString& table, const std::vector<QString>& terms,
                               const SearchProgress& progress) override;
    QString findNamesakes(const QString& table, const std::vector<QVariant>& numbers,
                          std::vector<std::vector<qint64>>& groups, std::map<qint64, ListRow>& shown) override;

    struct Narrowing
    {
        bool noMatchPossible = false; // a term that no record contains
        QString match;                // FTS5 query, empty: no narrowing
    };
    Narrowing narrowingFor(const QString& table, const std::vector<QString>& terms);
    QSqlDatabase database() const;

    std::shared_ptr<DbConnection> m_connection;
    std::map<QString, bool> m_indexUsable;
    bool m_useIndex = true;
};

} // namespace regdesk

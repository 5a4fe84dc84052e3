#pragma once

#include "platform/Gbk.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace regdesk {

// One row of the query window's list: the fourteen list columns
// (RegisterColumns::listColumns()) as trimmed GBK text.
using ListRow = std::vector<GbkString>;

// Reports long work now and then: `done` of `total` (total 0: not known).
using SearchProgress = std::function<void(qint64 done, qint64 total)>;

struct SearchResult
{
    std::vector<ListRow> rows;     // in list order
    QString error;                 // the database's complaint; empty on success
    std::vector<qint64> recordIds; // the row id of each of `rows`: what names the record shown

    static SearchResult failure(QString error)
    {
        SearchResult result;
        result.error = std::move(error);
        return result;
    }
};

// The two searches of the query window over one register. The fuzzy rule is
// kept here, once; each database supplies the steps that differ (which
// records may match, as narrowed by its index, and how records of one 发文号
// are found), as SqliteRegisterSearch and PostgresRegisterSearch.
class RegisterSearch
{
public:
    virtual ~RegisterSearch() = default;

    // Records whose fifteen search columns, trimmed and joined without
    // separators, contain every term (case-sensitive, character by
    // character). Each matching record is listed together with every record
    // of its 发文号, itself included; the latest match comes first. No terms
    // match every record.
    SearchResult fuzzy(const GbkString& table, const std::vector<GbkString>& terms, const SearchProgress& progress);

    // Records whose `column` (one of the list columns) contains `value`,
    // ignoring ASCII case as LIKE does, in register order.
    virtual SearchResult exact(const GbkString& table, const GbkString& column, const GbkString& value,
                               const SearchProgress& progress) = 0;

    // Progress is reported every so many records read.
    static constexpr qint64 kProgressEvery = 2000;

protected:
    struct Candidates
    {
        std::optional<QSqlQuery> query; // executed; unset when no record can match
        QString error;                  // the database's complaint; empty on success
    };

    // The records that may hold every term, latest first: a query of the row
    // id and RegisterColumns::searchColumns(). It may name records that do not
    // match (fuzzy() checks the rule on each), never leave one out.
    virtual Candidates fuzzyCandidates(const QString& table, const std::vector<QString>& terms,
                                       const SearchProgress& progress) = 0;

    // For each match k, whose 发文号 is numbers[k] (null when it has none),
    // the row ids of every record of that number as the register compares
    // numbers, in register order, into groups[k] (left empty, the match stands
    // alone). The list row of each such record not yet in `shown` is added
    // there. Empty, else the database's complaint.
    virtual QString findNamesakes(const QString& table, const std::vector<QVariant>& numbers,
                                  std::vector<std::vector<qint64>>& groups, std::map<qint64, ListRow>& shown) = 0;

    // Column names for a statement's select list.
    static QString columnsSql(const std::vector<GbkString>& names);
    // The statement of fuzzyCandidates(): the records of `table` that meet
    // every condition, latest first, as fuzzy() reads them.
    static QString candidatesSql(const QString& table, const QStringList& conditions);
    // The rows of an executed query of the row id and the list columns.
    static SearchResult readListRows(QSqlQuery& query, const SearchProgress& progress);
};

class DbConnection;

// The search that fits the database of `connection`.
std::unique_ptr<RegisterSearch> makeRegisterSearch(std::shared_ptr<DbConnection> connection);

// A field as the list shows it: trimmed text, the bytes of a blob as they are.
GbkString listCellText(const QVariant& value);
// A field as the fuzzy search reads it: the text of listCellText(), in
// UTF-16, where a substring test goes character by character.
QString searchCellText(const QVariant& value);

} // namespace regdesk

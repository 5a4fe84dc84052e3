#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>
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

// The two searches of the query window over one register. The SQLite
// implementation keeps a helper index; another database brings its own.
class RegisterSearch
{
public:
    virtual ~RegisterSearch() = default;

    // Records whose fifteen search columns, trimmed and joined without
    // separators, contain every term (case-sensitive, character by
    // character). Each matching record is listed together with every record
    // of its 发文号, itself included; the latest match comes first. No terms
    // match every record.
    virtual SearchResult fuzzy(const GbkString& table, const std::vector<GbkString>& terms,
                               const SearchProgress& progress) = 0;

    // Records whose `column` (one of the list columns) contains `value`,
    // ignoring ASCII case as LIKE does, in register order.
    virtual SearchResult exact(const GbkString& table, const GbkString& column, const GbkString& value,
                               const SearchProgress& progress) = 0;
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

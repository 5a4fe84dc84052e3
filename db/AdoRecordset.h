#pragma once

#include "platform/Gbk.h"

#include <QVariant>
#include <functional>
#include <vector>

class QSqlQuery;

namespace regdesk {

// One query on the active connection, read field by field as trimmed GBK text.
// SELECT results are read in full when the query opens, so moving about and
// counting rows never go back to the database.
class AdoRecordset
{
public:
    static constexpr int kCommandText = 1;
    static constexpr int kCommandTable = 2;

    AdoRecordset() = default;

    // Runs a statement (SELECT, INSERT, UPDATE or DELETE) and keeps its rows.
    // Reports a failure in one box per error and returns false.
    bool openQuery(const GbkString& sql, int commandKind = kCommandText);

    // "(" + SQL + ") DERIVEDTBL" for a text query, the bare name for a table.
    const GbkString& sourceText() const { return m_sourceText; }

    // The current row's value: empty for NULL or empty, numbers as text,
    // trimmed of blanks. An unknown column or no current row gives empty text.
    GbkString fieldText(const GbkString& column) const;
    GbkString fieldText(int index) const;
    GbkString fieldName(int index) const;
    // "逻辑型", "数值型", "字符型", "日期型" or "未知类型".
    GbkString fieldTypeName(int index) const;
    // -1 when nothing is open (or the statement returned no columns).
    int fieldCount() const;
    int recordCount();

    bool moveFirst();
    bool moveNext();
    bool moveTo(int row);
    // True past the last row (and on an empty result).
    bool isEof() const;
    void close();

    // Runs a SELECT and hands each row's values to `row` as they are read,
    // keeping none of them: for scans of a whole register. Failures are
    // reported as by openQuery. Leaves this recordset closed.
    bool forEachRow(const GbkString& sql, const std::function<void(const std::vector<QVariant>& values)>& row);

    // Writes BlobBuffer::instance() into column 0 of the one row that `sql`
    // selects, replacing its bytes.
    bool writeBlob(const GbkString& sql);
    // Reads column 0 of the row that `sql` selects into BlobBuffer::instance().
    bool readBlob(const GbkString& sql);

private:
    void reportFailure(const QString& description) const;
    // Runs a statement forward only; reports a failure and returns false.
    bool execute(QSqlQuery& query, const GbkString& sql, int commandKind);

    GbkString m_sourceText;
    bool m_open = false;
    std::vector<QString> m_columnNames;
    std::vector<int> m_columnTypes; // QMetaType ids
    std::vector<std::vector<QVariant>> m_rows;
    std::size_t m_position = 0;
};

} // namespace regdesk

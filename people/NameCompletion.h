#pragma once

#include "platform/Gbk.h"

#include <optional>
#include <vector>

namespace regdesk {

class AdoRecordset;

// Rows of a query as GBK text, as the completion drop-down shows them.
struct CompletionTable
{
    std::vector<GbkString> columns;
    std::vector<std::vector<GbkString>> rows;

    // The whole recordset, at most kMaxColumns columns.
    static CompletionTable fromRecordset(AdoRecordset& recordset);
};

// What a name completion looks up while the clerk types: the people whose
// display column starts with the text, or, with abbreviation search on and a
// text starting with a lower-case letter, whose initials (简称) start with it.
// Every query selects from the source's derived table, so it always reads the
// current rows of the database.
class NameCompletion
{
public:
    static constexpr int kMaxColumns = 255;

    // Keeps the source's text and column names and returns all its rows.
    CompletionTable setSource(AdoRecordset& source);
    void setDisplayColumn(const GbkString& column);
    void setAbbreviationSearch(bool on) { m_abbreviationSearch = on; }

    bool hasSource() const { return !m_sourceText.empty() && !m_displayColumn.empty(); }
    const GbkString& displayColumn() const { return m_displayColumn; }
    // Index of the display column among the source's columns; -1 when absent.
    int displayColumnIndex() const { return m_displayIndex; }
    const std::vector<GbkString>& columnNames() const { return m_columns; }

    // The statement for a typed text; none without a source or display column.
    std::optional<GbkString> queryFor(const GbkString& text) const;
    // Runs that statement; none when it fails or finds nobody, so the caller
    // keeps showing what it had.
    std::optional<CompletionTable> complete(const GbkString& text) const;

private:
    GbkString m_sourceText;
    std::vector<GbkString> m_columns;
    GbkString m_displayColumn;
    int m_displayIndex = -1;
    bool m_abbreviationSearch = false;
};

} // namespace regdesk

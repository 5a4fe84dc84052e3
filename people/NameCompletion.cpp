#include "people/NameCompletion.h"

#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"

#include <algorithm>

namespace regdesk {

CompletionTable CompletionTable::fromRecordset(AdoRecordset& recordset)
{
    CompletionTable table;
    const int columns = std::min(recordset.fieldCount(), NameCompletion::kMaxColumns);
    for (int j = 0; j < columns; ++j)
        table.columns.push_back(recordset.fieldName(j));
    const int count = recordset.recordCount();
    if (count <= 0 || columns <= 0)
        return table;
    table.rows.reserve(static_cast<std::size_t>(count));
    for (recordset.moveFirst(); !recordset.isEof(); recordset.moveNext()) {
        std::vector<GbkString> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int j = 0; j < columns; ++j)
            row.push_back(recordset.fieldText(j));
        table.rows.push_back(std::move(row));
    }
    return table;
}

CompletionTable NameCompletion::setSource(AdoRecordset& source)
{
    m_sourceText = source.sourceText();
    CompletionTable table = CompletionTable::fromRecordset(source);
    m_columns = table.columns;
    setDisplayColumn(m_displayColumn);
    return table;
}

void NameCompletion::setDisplayColumn(const GbkString& column)
{
    m_displayColumn = column;
    const auto found = std::find(m_columns.begin(), m_columns.end(), column);
    m_displayIndex = found == m_columns.end() ? -1 : static_cast<int>(found - m_columns.begin());
}

std::optional<GbkString> NameCompletion::queryFor(const GbkString& text) const
{
    if (m_displayColumn.empty() || m_sourceText.empty())
        return std::nullopt;
    if (!text.empty() && m_abbreviationSearch && text[0] >= 'a' && text[0] <= 'z')
        return RegisterStatements::completeByInitials(m_sourceText, text);
    return RegisterStatements::completeByColumn(m_sourceText, m_displayColumn, text);
}

std::optional<CompletionTable> NameCompletion::complete(const GbkString& text) const
{
    const std::optional<GbkString> sql = queryFor(text);
    if (!sql)
        return std::nullopt;
    AdoRecordset result;
    if (!result.openQuery(*sql))
        return std::nullopt;
    CompletionTable table = CompletionTable::fromRecordset(result);
    if (table.rows.empty())
        return std::nullopt;
    return table;
}

} // namespace regdesk

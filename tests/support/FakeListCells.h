#pragma once

#include "list/ListCells.h"
#include "list/ListText.h"
#include "platform/Gbk.h"

#include <algorithm>
#include <string>
#include <vector>

namespace regdesk::test {

// A register list in memory: rows of GBK cells, each selected or not.
class FakeListCells final : public ListCells
{
public:
    explicit FakeListCells(int columns) : m_columns(columns) {}

    // Appends a row from UTF-8 texts for columns 0, 1, 2 …; the rest stay empty.
    void add(std::initializer_list<std::string> utf8, bool selected = true)
    {
        std::vector<GbkString> cells(static_cast<std::size_t>(m_columns));
        std::size_t column = 0;
        for (const std::string& text : utf8)
            cells.at(column++) = utf8ToGbk(text);
        m_rows.push_back(Row{std::move(cells), selected});
    }

    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    GbkString cellText(int row, int column) const override
    {
        return m_rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
    }
    void setCellText(int row, int column, const GbkString& text) override
    {
        m_rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column)) = text;
    }
    std::vector<int> selectedRows() const override
    {
        std::vector<int> rows;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].selected)
                rows.push_back(static_cast<int>(i));
        }
        return rows;
    }
    void sortAscending(int column) override
    {
        std::stable_sort(m_rows.begin(), m_rows.end(), [column](const Row& a, const Row& b) {
            const auto c = static_cast<std::size_t>(column);
            return compareGbkNoCase(a.cells.at(c), b.cells.at(c)) < 0;
        });
    }

    // One column's texts in list order, as UTF-8.
    std::vector<std::string> column(int column) const
    {
        std::vector<std::string> texts;
        for (const Row& row : m_rows)
            texts.push_back(gbkToUtf8(row.cells.at(static_cast<std::size_t>(column))));
        return texts;
    }

private:
    struct Row
    {
        std::vector<GbkString> cells;
        bool selected = false;
    };

    int m_columns;
    std::vector<Row> m_rows;
};

} // namespace regdesk::test

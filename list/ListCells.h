#pragma once

#include "platform/Gbk.h"

#include <vector>

namespace regdesk {

// A register list as the printing operations see it: GBK cells by row and
// column (from 0, in the list's column order) and the clerk's selection.
class ListCells
{
public:
    virtual ~ListCells() = default;

    virtual int rowCount() const = 0;
    virtual GbkString cellText(int row, int column) const = 0;
    virtual void setCellText(int row, int column, const GbkString& text) = 0;
    // The selected rows in list order.
    virtual std::vector<int> selectedRows() const = 0;
    // Orders all rows by one column's text, ascending: character by character,
    // ASCII letters without regard to case. Rows with equal texts keep their
    // order, and the selection moves with its rows.
    virtual void sortAscending(int column) = 0;
};

} // namespace regdesk

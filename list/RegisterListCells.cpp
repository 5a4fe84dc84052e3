#include "list/RegisterListCells.h"

#include "list/RegisterListCtrl.h"

namespace regdesk {

int RegisterListCells::rowCount() const
{
    return m_list.rowCount();
}

GbkString RegisterListCells::cellText(int row, int column) const
{
    return m_list.listModel().cellText(row, column);
}

void RegisterListCells::setCellText(int row, int column, const GbkString& text)
{
    m_list.listModel().setCellText(row, column, text);
}

std::vector<int> RegisterListCells::selectedRows() const
{
    return m_list.selectedRowNumbers();
}

void RegisterListCells::sortAscending(int column)
{
    m_list.sortByColumn(column, true);
}

} // namespace regdesk

#include "query/RegisterListRows.h"

#include "query/RegisterListCtrl.h"

namespace regdesk {

int RegisterListRows::rowCount() const
{
    return m_list.rowCount();
}

GbkString RegisterListRows::cellText(int row, int column) const
{
    return m_list.listModel().cellText(row, column);
}

void RegisterListRows::setCellText(int row, int column, const GbkString& text)
{
    m_list.listModel().setCellText(row, column, text);
}

std::vector<int> RegisterListRows::selectedRows() const
{
    return m_list.selectedRowNumbers();
}

void RegisterListRows::sortAscending(int column)
{
    m_list.sortByColumn(column, true);
}

} // namespace regdesk

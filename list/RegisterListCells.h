#pragma once

#include "list/ListCells.h"

namespace regdesk {

class RegisterListCtrl;

// The desk's list control as the printing operations see it.
class RegisterListCells final : public ListCells
{
public:
    explicit RegisterListCells(RegisterListCtrl& list) : m_list(list) {}

    int rowCount() const override;
    GbkString cellText(int row, int column) const override;
    void setCellText(int row, int column, const GbkString& text) override;
    std::vector<int> selectedRows() const override;
    void sortAscending(int column) override;

private:
    RegisterListCtrl& m_list;
};

} // namespace regdesk

#include "desk/ListCtrlRows.h"

#include "desk/RegistrationFormLogic.h"
#include "list/RegisterListCtrl.h"

namespace regdesk {

std::optional<int> ListCtrlRows::firstSelectedRow() const
{
    const std::vector<int> rows = m_list.selectedRowNumbers();
    return rows.empty() ? std::nullopt : std::optional<int>(rows.front());
}

DocumentRecord ListCtrlRows::record(int row) const
{
    return RegistrationFormLogic::fromListRow(m_list.listModel().rowCells(row));
}

void ListCtrlRows::deselect(int row)
{
    m_list.selectionModel()->select(m_list.listModel().index(row, 0),
                                    QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void ListCtrlRows::remove(int row)
{
    m_list.listModel().removeRows(row, 1);
}

int ListCtrlRows::rowCount() const
{
    return m_list.rowCount();
}

std::vector<int> ListCtrlRows::selectedRows() const
{
    return m_list.selectedRowNumbers();
}

std::optional<int> ListCtrlRows::markedRow() const
{
    const QModelIndex mark = m_list.currentIndex();
    return mark.isValid() ? std::optional<int>(mark.row()) : std::nullopt;
}

void ListCtrlRows::append(const DocumentRecord& record)
{
    m_list.listModel().appendRow(RegistrationFormLogic::toListRow(record));
}

void ListCtrlRows::selectOnly(int row)
{
    m_list.selectRow(row);
    m_list.scrollTo(m_list.listModel().index(row, 0));
    m_list.setFocus(Qt::OtherFocusReason);
}

void ListCtrlRows::markBarcodeMade(int row)
{
    m_list.listModel().setCellText(row, RegistrationFormLogic::kBarcodeMadeColumn, "是"_gbk);
}

void ListCtrlRows::restoreBarcodeMade(int row, const GbkString& text)
{
    m_list.listModel().setCellText(row, RegistrationFormLogic::kBarcodeMadeColumn, text);
}

void ListCtrlRows::setAttachmentPath(int row, const GbkString& path)
{
    RegisterListModel& model = m_list.listModel();
    model.setCellText(row, RegistrationFormLogic::kAttachmentColumn, path);
    model.setItemValue(row, RegisterListModel::kBlue);
}

void ListCtrlRows::clear()
{
    m_list.removeAllRows();
}

} // namespace regdesk

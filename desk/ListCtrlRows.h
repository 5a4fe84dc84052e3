#pragma once

#include "desk/RegisterRows.h"

namespace regdesk {

class RegisterListCtrl;

// The rows of a form's RegisterListCtrl.
class ListCtrlRows final : public RegisterRows
{
public:
    explicit ListCtrlRows(RegisterListCtrl& list) : m_list(list) {}

    std::optional<int> firstSelectedRow() const override;
    DocumentRecord record(int row) const override;
    void deselect(int row) override;
    void remove(int row) override;

    int rowCount() const override;
    std::vector<int> selectedRows() const override;
    std::optional<int> markedRow() const override;
    void append(const DocumentRecord& record) override;
    void selectOnly(int row) override;
    void markBarcodeMade(int row) override;
    void restoreBarcodeMade(int row, const GbkString& text) override;
    void setAttachmentPath(int row, const GbkString& path) override;
    void clear() override;

private:
    RegisterListCtrl& m_list;
};

} // namespace regdesk

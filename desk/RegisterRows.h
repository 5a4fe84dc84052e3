#pragma once

#include "desk/RegistrationSaving.h"

#include <optional>
#include <vector>

namespace regdesk {

// The registration list of a form as its controllers see it: rows of
// register records waiting to be saved. A form may keep the list hidden; it
// still holds the rows.
class RegisterRows : public PendingRows
{
public:
    virtual int rowCount() const = 0;
    // Rows of the selection, ascending.
    virtual std::vector<int> selectedRows() const = 0;
    // The row that holds the selection mark (the current row); nullopt when none does.
    virtual std::optional<int> markedRow() const = 0;

    // Adds a row at the end: columns 0..13 and 14 (条码已打) and 16 (文件位置)
    // from the record, the sort key empty.
    virtual void append(const DocumentRecord& record) = 0;
    // Makes `row` the only selected row and the marked one, brings it into
    // view and gives the list the keyboard focus.
    virtual void selectOnly(int row) = 0;
    // 条码已打 of a row becomes "是".
    virtual void markBarcodeMade(int row) = 0;
    // 条码已打 of a row goes back to `text`, what it held before a hand-off
    // whose picture failed its check.
    virtual void restoreBarcodeMade(int row, const GbkString& text) = 0;
    // 文件位置 of a row becomes `path`, and the row shows blue: a file waits
    // to be attached when the row is saved.
    virtual void setAttachmentPath(int row, const GbkString& path) = 0;
    virtual void clear() = 0;
};

} // namespace regdesk

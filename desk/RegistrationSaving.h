#pragma once

#include "db/DocumentRecord.h"
#include "desk/FormRecord.h"
#include "platform/DeskNotice.h"
#include "platform/Gbk.h"

#include <optional>
#include <vector>

namespace regdesk {

// The registration list as saving sees it.
class PendingRows
{
public:
    virtual ~PendingRows() = default;

    // Index of the first selected row from the top; nullopt when none is selected.
    virtual std::optional<int> firstSelectedRow() const = 0;
    // Columns 0..13, 14 (条码已打) and 16 (文件位置) of a row.
    virtual DocumentRecord record(int row) const = 0;
    virtual void deselect(int row) = 0;
    virtual void remove(int row) = 0;
};

// The registers as saving sees them.
class RegisterStore
{
public:
    virtual ~RegisterStore() = default;

    virtual bool isRegistered(const GbkString& table, const GbkString& number) = 0;
    // Inserts the row; with `replaceExisting` the existing row of its 发文号 is
    // deleted in the same transaction, so a failed insert keeps the old row.
    virtual bool insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting) = 0;
    // Stores the file at `path` as the attachment of the row of `number`: its
    // bytes and its type together or, failing that, neither. Empty when
    // stored, else why not.
    virtual GbkString attachFile(const GbkString& table, const GbkString& number, const GbkString& path) = 0;
};

enum class SaveOutcome
{
    NothingSelected, // "请先选定行" was shown
    Finished,        // every selected row was dealt with
    Cancelled,       // the clerk cancelled at "条码未生成"
};

namespace RegistrationSaving {

// Saves the selected rows into the register of `mode`, asking on `notices`.
// A row whose insert fails stays in the list, unselected. A file that cannot
// be attached is told; its row is saved all the same. The 发文号 of each row
// saved go into `savedNumbers` when given.
SaveOutcome saveSelectedRows(RegistrationMode mode, PendingRows& rows, RegisterStore& store, NoticeBoard& notices,
                             std::vector<GbkString>* savedNumbers = nullptr);

} // namespace RegistrationSaving
} // namespace regdesk

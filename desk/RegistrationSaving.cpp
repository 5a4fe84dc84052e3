#include "desk/RegistrationSaving.h"

#include "db/RegisterStatements.h"

namespace regdesk::RegistrationSaving {
namespace {

GbkString attachmentFailureText(const GbkString& number, const GbkString& path, const GbkString& reason)
{
    // The row is saved and leaves the list: say where the file can still be attached.
    return "附件没有保存："_gbk + path + "\n" + reason + "\n发文号"_gbk + number +
           "已登记，可在收发文查询中双击它再添加附件。"_gbk;
}

} // namespace

SaveOutcome saveSelectedRows(RegistrationMode mode, PendingRows& rows, RegisterStore& store, NoticeBoard& notices,
                             std::vector<GbkString>* savedNumbers)
{
    const bool outgoing = mode == RegistrationMode::Outgoing;
    const GbkString table = outgoing ? RegisterStatements::outgoingTable() : RegisterStatements::incomingTable();

    if (!rows.firstSelectedRow()) {
        notices.show({"请先选定行"_gbk, "保存"_gbk});
        return SaveOutcome::NothingSelected;
    }
    while (const std::optional<int> row = rows.firstSelectedRow()) {
        const DocumentRecord record = rows.record(*row);
        const GbkString& number = record[DocumentRecord::Number];

        const bool replace = store.isRegistered(table, number);
        if (replace) {
            const GbkString question = "发文号"_gbk + number + "的文件已登记，请确认是否覆盖登记?"_gbk;
            if (!notices.show({question, "系统提示"_gbk, DeskNotice::Kind::Question})) {
                rows.deselect(*row);
                continue;
            }
        }
        if (outgoing && record.barcodeMade != "是"_gbk) {
            if (!notices.show({"条码未生成,仍要发文登记吗？"_gbk, "提示"_gbk, DeskNotice::Kind::CautiousQuestion}))
                return SaveOutcome::Cancelled;
        }
        if (!store.insert(table, record, outgoing, replace)) {
            // The database layer has told the clerk why; the row stays for another try.
            rows.deselect(*row);
            continue;
        }
        if (!record.attachmentPath.empty()) {
            const GbkString failure = store.attachFile(table, number, record.attachmentPath);
            if (!failure.empty())
                notices.show({attachmentFailureText(number, record.attachmentPath, failure), "保存"_gbk});
        }
        rows.remove(*row);
        if (savedNumbers)
            savedNumbers->push_back(number);
    }
    return SaveOutcome::Finished;
}

} // namespace regdesk::RegistrationSaving

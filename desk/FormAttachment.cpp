#include "desk/FormAttachment.h"

#include "desk/RegisterRows.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "query/AttachmentTransfer.h"
#include "query/QueryController.h"

namespace regdesk::FormAttachment {

bool chooseFileForRow(RegisterRows& rows, int row, Prompter& prompter, QWidget* owner)
{
    if (row < 0 || row >= rows.rowCount())
        return false;
    const QString path = prompter.openFileName(owner, QStringLiteral("打开"), {}, QueryController::fileFilter());
    if (path.isEmpty())
        return false;
    rows.setAttachmentPath(row, fromQString(path));
    return true;
}

QString storeAfterInsert(const QString& connectionName, const GbkString& table, const GbkString& number,
                         const GbkString& path)
{
    return AttachmentTransfer(connectionName).attach(table, number, path);
}

} // namespace regdesk::FormAttachment

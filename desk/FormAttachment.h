#pragma once

#include "platform/Gbk.h"

#include <QString>

class QWidget;

namespace regdesk {

class Prompter;
class RegisterRows;

// The registration form's side of attachments. A double click on a list row
// chooses a file whose path waits in the row's 文件位置 column (typed there
// with 局部修改 just as well); saving stores it once the row is inserted.
namespace FormAttachment {

inline constexpr int kPathColumn = 16; // 文件位置 of the registration list

// Chooses a file for `row`: on OK its path goes into the row's 文件位置 and
// the row turns blue. False when there is no such row or the clerk cancels.
bool chooseFileForRow(RegisterRows& rows, int row, Prompter& prompter, QWidget* owner);

// Stores the file at `path` as the attachment of the records of `number`,
// off the GUI thread, over a copy of the connection named `connectionName`
// (DbConnection::name()). Empty when stored, else why not: the caller tells
// the clerk, naming the path.
QString storeAfterInsert(const QString& connectionName, const GbkString& table, const GbkString& number,
                         const GbkString& path);

} // namespace FormAttachment
} // namespace regdesk

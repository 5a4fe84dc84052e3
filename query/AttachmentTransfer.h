#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace regdesk {

// Moves attachments between files and the registers on a thread of its own,
// over a second connection to the register database, so that a large file
// never freezes the window; the caller waits until it is done.
class AttachmentTransfer
{
public:
    // `connectionName`: DbConnection::name() of the desk's connection.
    explicit AttachmentTransfer(QString connectionName) : m_connectionName(std::move(connectionName)) {}

    // Stores the file at `path` as the attachment of every record of
    // `number`. Empty when stored, else why not.
    QString attach(const GbkString& table, const GbkString& number, const GbkString& path) const;

    // The same for the record `id` and every record of its stored 发文号;
    // `records` receives their ids once stored.
    QString attachToRecord(const GbkString& table, qint64 id, const GbkString& path,
                           std::vector<qint64>& records) const;

    // A record to export: its row id, and the 发文号 its file is named by.
    struct ExportItem
    {
        qint64 record;
        GbkString number;
    };
    struct ExportOutcome
    {
        int written = 0;
        QStringList failures; // one line per file that could not be written
    };
    // Writes the attachment of each record that has one into `folder`
    // (created, one level, when missing) as 发文号.文件类型.
    ExportOutcome exportTo(const GbkString& folder, const GbkString& table, const std::vector<ExportItem>& items) const;

private:
    QString m_connectionName;
};

} // namespace regdesk

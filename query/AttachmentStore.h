#pragma once

#include "platform/Gbk.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <vector>

namespace regdesk {

// What a record holds as its attachment.
struct StoredAttachment
{
    GbkString type; // 文件类型; empty: no attachment
    QByteArray bytes;
};

// Attachments of the registers: the bytes of a file in 文件数据 and its type
// in 文件类型, for every record of a 发文号. Works on any open connection, so
// that large files can move on a thread of its own. Failures come back as
// texts for the clerk; nothing is shown here.
class AttachmentStore
{
public:
    // Files beyond this are refused: the whole file passes through memory
    // (on the server the desk holds about twice the file while it is sent).
    static constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;

    explicit AttachmentStore(QSqlDatabase database) : m_database(std::move(database)) {}

    // Reads the file at `path` and stores its bytes together with its type
    // (the text after the last ".") in one transaction: a file that cannot
    // be read whole leaves the records as they were. Empty when stored.
    QString attach(const GbkString& table, const GbkString& number, const GbkString& path);

    // The same for a record named by its row id: the file goes to that record
    // and to every record whose stored 发文号 equals its own (`records`
    // receives their ids once stored), never to a namesake of its trimmed text.
    QString attachToRecord(const GbkString& table, qint64 id, const GbkString& path, std::vector<qint64>& records);

    // The type and bytes of record `id`, read together. Empty when read (a
    // record that has gone reads as no attachment).
    QString read(const GbkString& table, qint64 id, StoredAttachment& attachment);

private:
    QSqlDatabase m_database;
};

// The whole of a regular file; an empty text, or the reason it cannot be had
// (not a regular file, too large, unreadable, shorter than it said).
QString readAttachmentFile(const GbkString& path, QByteArray& bytes);

} // namespace regdesk

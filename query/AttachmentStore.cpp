#include "query/AttachmentStore.h"

#include "db/AuditTrail.h"
#include "db/RegisterRecords.h"
#include "db/RegisterStatements.h"
#include "db/ServerAttachments.h"
#include "db/SqlDialect.h"
#include "db/TransactionGuard.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/UniqueFd.h"
#include "query/AttachmentFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace regdesk {
namespace {

QString describe(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString readAttachmentFile(const GbkString& path, QByteArray& bytes)
{
    // Without O_NONBLOCK a FIFO planted at the path would hold the open forever.
    const UniqueFd file(::open(toNativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        return QStringLiteral("无法打开文件（%1）").arg(systemReason(errno));
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0)
        return QStringLiteral("无法读取文件（%1）").arg(systemReason(errno));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("不是普通文件");
    if (info.st_size > AttachmentStore::kMaxFileBytes)
        return QStringLiteral("文件大于%1MB，不能作为附件").arg(AttachmentStore::kMaxFileBytes / (1024 * 1024));
    const auto size = static_cast<qsizetype>(info.st_size);
    bytes = QByteArray(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < size) {
        const ssize_t count = ::read(file.get(), bytes.data() + done, static_cast<std::size_t>(size - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return QStringLiteral("无法读取文件（%1）").arg(systemReason(errno));
        if (count == 0)
            return QStringLiteral("文件没有读完整");
        done += count;
    }
    return {};
}

QString AttachmentStore::attach(const GbkString& table, const GbkString& number, const GbkString& path)
{
    QByteArray bytes;
    if (QString failure = readAttachmentFile(path, bytes); !failure.isEmpty())
        return failure;
    // A zero-byte file is an attachment too: bind an empty, not a null, array.
    if (bytes.isNull())
        bytes = QByteArray("", 0);
    const GbkString type = attachmentType(path);
    TransactionGuard transaction(m_database);
    if (!transaction.isOpen())
        return describe(m_database.lastError());
    // An attachment this one replaces is kept in the trail first.
    const RegisterRecords registerRows(m_database);
    std::vector<qint64> records;
    if (QString failure = registerRows.ofNumber(table, number, records); !failure.isEmpty())
        return failure;
    if (QString failure =
            AuditTrail(m_database).recordRows(AuditTrail::Action::DeleteAttachment, toQString(table), records, true);
        !failure.isEmpty())
        return RegisterRecords::logFailure(failure);
    if (SqlDialect::kindOf(m_database) == SqlDialect::Kind::Postgres) {
        qint64 stored = 0;
        if (QString failure = ServerAttachments::store(m_database, toQString(table), toQString(number), toQString(type),
                                                       bytes, stored);
            !failure.isEmpty())
            return failure;
        if (stored < 1)
            return QStringLiteral("登记表中没有发文号为%1的记录").arg(toQString(number));
        return transaction.commit() ? QString() : describe(m_database.lastError());
    }
    const std::optional<QString> blobUpdate =
        SqlDialect::blobUpdateFor(RegisterStatements::selectFileData(table, number), SqlDialect::kindOf(m_database));
    if (!blobUpdate)
        return QStringLiteral("无法写入附件");
    QSqlQuery query(m_database);
    const SqlDialect::Kind dialect = SqlDialect::kindOf(m_database);
    if (!query.exec(SqlDialect::translate(RegisterStatements::updateFileType(table, type, number), dialect)))
        return describe(query.lastError());
    if (query.numRowsAffected() < 1)
        return QStringLiteral("登记表中没有发文号为%1的记录").arg(toQString(number));
    if (!query.prepare(*blobUpdate))
        return describe(query.lastError());
    query.addBindValue(bytes);
    if (!query.exec())
        return describe(query.lastError());
    if (!transaction.commit())
        return describe(m_database.lastError());
    return {};
}

QString AttachmentStore::attachToRecord(const GbkString& table, qint64 id, const GbkString& path,
                                        std::vector<qint64>& records)
{
    records.clear();
    QByteArray bytes;
    if (QString failure = readAttachmentFile(path, bytes); !failure.isEmpty())
        return failure;
    TransactionGuard transaction(m_database);
    if (!transaction.isOpen())
        return describe(m_database.lastError());
    const RegisterRecords registerRows(m_database);
    std::vector<qint64> namesakes;
    if (QString failure = registerRows.withNamesakes(table, {id}, namesakes); !failure.isEmpty())
        return failure;
    if (std::find(namesakes.begin(), namesakes.end(), id) == namesakes.end())
        return QStringLiteral("登记表中已没有所选的记录");
    if (QString failure = registerRows.storeAttachment(table, namesakes, attachmentType(path), bytes);
        !failure.isEmpty())
        return failure;
    if (!transaction.commit())
        return describe(m_database.lastError());
    records = std::move(namesakes);
    return {};
}

QString AttachmentStore::read(const GbkString& table, qint64 id, StoredAttachment& attachment)
{
    attachment = {};
    return RegisterRecords(m_database).readAttachment(table, id, attachment.type, &attachment.bytes);
}

} // namespace regdesk

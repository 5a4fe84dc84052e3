#include "query/AttachmentTransfer.h"

#include "db/PrivateConnection.h"
#include "platform/BackgroundWork.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "query/AttachmentFile.h"
#include "query/AttachmentStore.h"

#include <cstring>
#include <set>
#include <string>

namespace regdesk {
namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString AttachmentTransfer::attach(const GbkString& table, const GbkString& number, const GbkString& path) const
{
    return runInBackground([&]() -> QString {
        const PrivateConnection connection(m_connectionName);
        if (!connection.isOpen())
            return connection.error();
        return AttachmentStore(connection.database()).attach(table, number, path);
    });
}

QString AttachmentTransfer::attachToRecord(const GbkString& table, qint64 id, const GbkString& path,
                                           std::vector<qint64>& records) const
{
    return runInBackground([&]() -> QString {
        const PrivateConnection connection(m_connectionName);
        if (!connection.isOpen())
            return connection.error();
        return AttachmentStore(connection.database()).attachToRecord(table, id, path, records);
    });
}

AttachmentTransfer::ExportOutcome AttachmentTransfer::exportTo(const GbkString& folder, const GbkString& table,
                                                               const std::vector<ExportItem>& items) const
{
    ExportOutcome outcome;
    const QString failure = runInBackground([&]() -> QString {
        const std::string nativeFolder = toNativePath(folder);
        if (const int error = ensureOutputFolder(nativeFolder); error != 0)
            return QStringLiteral("无法建立文件夹%1（%2）").arg(toQString(folder), systemReason(error));
        const PrivateConnection connection(m_connectionName);
        if (!connection.isOpen())
            return connection.error();
        AttachmentStore store(connection.database());
        // Look-alike numbers ("7号" and "7号 " both show as 7号) share a file
        // name: the later files of one export get "(2)", "(3)"... instead of
        // overwriting the earlier.
        std::set<std::string> written;
        for (const ExportItem& item : items) {
            StoredAttachment attachment;
            if (QString readFailure = store.read(table, item.record, attachment); !readFailure.isEmpty()) {
                outcome.failures << toQString(item.number) + QStringLiteral("：") + readFailure;
                continue;
            }
            if (attachment.type.empty())
                continue;
            std::string name = attachmentFileName(item.number, attachment.type);
            for (int copy = 2; written.count(name) != 0; ++copy)
                name = attachmentFileName(item.number + "(" + std::to_string(copy) + ")", attachment.type);
            written.insert(name);
            const int error = writeFileInFolder(
                nativeFolder, name,
                std::string_view(attachment.bytes.constData(), static_cast<std::size_t>(attachment.bytes.size())));
            if (error == 0)
                ++outcome.written;
            else
                outcome.failures << QString::fromUtf8(name) + QStringLiteral("：") + systemReason(error);
        }
        return QString();
    });
    if (!failure.isEmpty())
        outcome.failures.prepend(failure);
    return outcome;
}

} // namespace regdesk

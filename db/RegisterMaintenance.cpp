#include "db/RegisterMaintenance.h"

#include "db/DatabaseMaintenance.h"
#include "db/DatabaseSettings.h"
#include "db/ServerAddress.h"
#include "db/ServerMaintenance.h"
#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace

RegisterMaintenance::RegisterMaintenance(QString directory) : m_directory(std::move(directory)) {}

RegisterMaintenance::~RegisterMaintenance() = default;

std::unique_ptr<RegisterMaintenance> RegisterMaintenance::forDirectory(const QString& directory)
{
    const DatabaseSettings settings = DatabaseSettings::ofDirectory(fromNativePath(native(directory).toStdString()));
    switch (settings.kind) {
    case DatabaseSettings::Kind::PostgreSql:
        return std::make_unique<ServerMaintenance>(directory, ServerAddress::fromSettings(settings));
    case DatabaseSettings::Kind::Unknown:
        return nullptr;
    case DatabaseSettings::Kind::DataFile:
        break;
    }
    return std::make_unique<DatabaseMaintenance>(directory);
}

QString RegisterMaintenance::pathOf(const QString& name) const
{
    return m_directory + u'/' + name;
}

QString RegisterMaintenance::backupFileName(const QDateTime& stamp)
{
    const QDate date = stamp.date();
    const QTime time = stamp.time();
    return QStringLiteral("%1年%2月%3日%4时%5分")
               .arg(date.year())
               .arg(date.month())
               .arg(date.day())
               .arg(time.hour())
               .arg(time.minute()) +
           QLatin1String(kBackupSuffix);
}

QStringList RegisterMaintenance::backupNames() const
{
    // Every entry counts, folders and links too, whoever made it.
    return QDir(m_directory)
        .entryList(QStringList{u'*' + QLatin1String(kBackupSuffix)},
                   QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System | QDir::CaseSensitive,
                   QDir::Name);
}

void RegisterMaintenance::deleteOlderBackups(const QString& keep, BackupResult& result)
{
    for (const QString& old : backupNames()) {
        if (old != keep && !deleteFile(pathOf(old)))
            result.undeletable << old;
    }
}

QString RegisterMaintenance::removeLeftover(const QString& path)
{
    struct stat info
    {
    };
    if (::lstat(native(path).constData(), &info) != 0)
        return {};
    if (::unlink(native(path).constData()) != 0)
        return QStringLiteral("无法删除遗留的临时文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

QString RegisterMaintenance::replaceFile(const QString& from, const QString& to)
{
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        return QStringLiteral("无法用 %1 替换 %2：%3").arg(from, to, QString::fromLocal8Bit(std::strerror(errno)));
    // The rename has happened; making it durable is best effort.
    const UniqueFd folder(::open(native(m_directory).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY));
    if (folder)
        ::fsync(folder.get());
    return {};
}

bool RegisterMaintenance::deleteFile(const QString& path)
{
    return ::unlink(native(path).constData()) == 0;
}

} // namespace regdesk

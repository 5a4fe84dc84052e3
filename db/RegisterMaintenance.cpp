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
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace regdesk {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether a work file is held by a run that is still going: its lock goes
// with the run's process, however that ends.
bool isHeldByARun(const QString& path)
{
    const UniqueFd fd(::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    return fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

} // namespace

RegisterMaintenance::WorkFile::WorkFile(QString path, UniqueFd fd, QString failure)
    : m_path(std::move(path)), m_failure(std::move(failure)), m_fd(std::move(fd))
{
    if (m_fd)
        ::flock(m_fd.get(), LOCK_EX);
    else if (m_failure.isEmpty())
        m_failure = QStringLiteral("无法建立临时文件 %1：%2").arg(m_path, systemError(errno));
}

RegisterMaintenance::WorkFile::~WorkFile()
{
    if (!m_fd || m_kept)
        return;
    // The journals first: one without its work file counts as a leftover.
    for (const QString& journal : journalsOf(m_path))
        ::unlink(native(journal).constData());
    ::unlink(native(m_path).constData());
}

std::unique_ptr<RegisterMaintenance::WorkFile> RegisterMaintenance::createWorkFile(const QString& prefix) const
{
    const QString suffix = QLatin1String(kWorkSuffix);
    const QStringList leftovers =
        QDir(m_directory)
            .entryList(QStringList{prefix + u'*' + suffix, prefix + u'*' + suffix + QStringLiteral("-*")},
                       QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : leftovers) {
        const QString path = pathOf(name);
        const QString owner = name.endsWith(suffix) ? path : path.left(path.lastIndexOf(suffix) + suffix.size());
        if (!isHeldByARun(owner))
            ::unlink(native(path).constData());
    }
    QByteArray pattern = native(pathOf(prefix + QStringLiteral("XXXXXX") + suffix));
    UniqueFd fd(::mkostemps(pattern.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
    return std::make_unique<WorkFile>(QFile::decodeName(pattern), std::move(fd));
}

std::unique_ptr<RegisterMaintenance::WorkFile> RegisterMaintenance::createWorkFileAt(const QString& path)
{
    QStringList leftovers = journalsOf(path);
    leftovers << path;
    for (const QString& leftover : leftovers) {
        if (QString failure = removeLeftover(leftover); !failure.isEmpty())
            return std::make_unique<WorkFile>(path, UniqueFd(), failure);
    }
    UniqueFd fd(::open(native(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    return std::make_unique<WorkFile>(path, std::move(fd));
}

QStringList RegisterMaintenance::journalsOf(const QString& path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

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

timespec RegisterMaintenance::now()
{
    timespec time{};
    ::clock_gettime(CLOCK_REALTIME, &time);
    return time;
}

void RegisterMaintenance::deleteOlderBackups(const QString& keep, const timespec& runStart, BackupResult& result)
{
    QStringList older;
    for (const QString& old : backupNames()) {
        if (old == keep)
            continue;
        struct stat info
        {
        };
        if (::lstat(native(pathOf(old)).constData(), &info) == 0 &&
            std::tie(info.st_mtim.tv_sec, info.st_mtim.tv_nsec) >= std::tie(runStart.tv_sec, runStart.tv_nsec))
            continue;
        older << old;
    }
    if (QString failure = logInRegister(AuditTrail::Action::Backup, {{QStringLiteral("备份"), keep},
                                                                     {QStringLiteral("删除旧备份"), older.join(u'/')}});
        !failure.isEmpty()) {
        ::unlink(native(pathOf(keep)).constData());
        result.writtenPath.clear();
        result.failure = QStringLiteral("操作日志无法写入（%1）").arg(failure);
        return;
    }
    for (const QString& old : older) {
        if (!deleteFile(pathOf(old)))
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

#include "db/DatabaseMaintenance.h"

#include "db/AdoDatabase.h"
#include "db/PrivateConnection.h"
#include "platform/FileHolders.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
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

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString sqlFailure(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

// Flushes a file, or a folder's entries, to the disk.
QString syncToDisk(const QString& path, bool isFolder)
{
    UniqueFd fd(::open(native(path).constData(), O_RDONLY | O_CLOEXEC | (isFolder ? O_DIRECTORY : 0)));
    if (!fd || (::fsync(fd.get()) != 0 && errno != EINVAL))
        return QStringLiteral("无法写入磁盘 %1：%2").arg(path, systemError(errno));
    return {};
}

} // namespace

DatabaseMaintenance::DatabaseMaintenance(QString directory) : RegisterMaintenance(std::move(directory)) {}

DatabaseMaintenance::~DatabaseMaintenance() = default;

QString DatabaseMaintenance::databasePath() const
{
    return pathOf(QString::fromUtf8(AdoDatabase::kDatabaseFileName));
}

QString DatabaseMaintenance::compactionPath() const
{
    return pathOf(QString::fromUtf8(kCompactionFileName));
}

QString DatabaseMaintenance::compact()
{
    const QString database = databasePath();
    struct stat info
    {
    };
    if (::lstat(native(database).constData(), &info) != 0)
        return QStringLiteral("找不到数据库文件 %1：%2").arg(database, systemError(errno));
    // Renaming over a link would put a copy in the link's place and leave the
    // register it points to behind.
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("数据库文件 %1 不是普通文件，不能压缩。").arg(database);
    if (QString refusal = refusalForHolders(database, false); !refusal.isEmpty())
        return refusal;
    // From here until data.db has been replaced no program may commit into
    // it: a commit that waited out the copy's read would land in the file
    // about to be replaced, and be lost with it. A write transaction held on
    // a connection of its own keeps every writer out; a program that opens
    // data.db meanwhile is found before the rename, and one that opens it
    // later still cannot write into the replaced file (the database engine
    // refuses to write a file that no longer has its name).
    const PrivateConnection writers(database, RegisterFileMode::ReadWrite);
    if (!writers.error().isEmpty())
        return writers.error();
    QSqlQuery hold(writers.database());
    if (!hold.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return QStringLiteral("数据库正被写入，未压缩：%1").arg(sqlFailure(hold.lastError()));
    QString failure = refusalForHolders(database, true);
    if (failure.isEmpty()) {
        const std::unique_ptr<WorkFile> work = createWorkFileAt(compactionPath());
        failure = work->failure();
        if (failure.isEmpty())
            failure = writeCheckedCopy(*work, database, true);
    }
    hold.exec(QStringLiteral("ROLLBACK"));
    return failure;
}

DatabaseMaintenance::BackupResult DatabaseMaintenance::backUp(const QDateTime& stamp)
{
    BackupResult result;
    const QString name = backupFileName(stamp);
    const timespec started = now();
    {
        const std::unique_ptr<WorkFile> work = createWorkFile(QString::fromUtf8(kBackupWorkPrefix));
        result.failure = work->failure();
        if (result.failure.isEmpty())
            result.failure = writeCheckedCopy(*work, pathOf(name), false);
    }
    if (!result.failure.isEmpty())
        return result;
    result.writtenPath = pathOf(name);
    deleteOlderBackups(name, started, result);
    return result;
}

QString DatabaseMaintenance::refusalForHolders(const QString& database, bool othersOnly) const
{
    std::vector<pid_t> holders = processesHoldingFile(native(database).toStdString());
    // This process's own connections, when it holds the register against writers.
    if (othersOnly)
        std::erase(holders, ::getpid());
    if (holders.empty())
        return {};
    QStringList ids;
    for (const pid_t pid : holders)
        ids << QString::number(pid);
    return QStringLiteral("数据库正被使用（进程 %1），请先关闭使用它的程序再压缩。").arg(ids.join(u','));
}

QString DatabaseMaintenance::writeCheckedCopy(WorkFile& work, const QString& target, bool replacesDatabase)
{
    struct stat database
    {
    };
    if (::stat(native(databasePath()).constData(), &database) != 0)
        return QStringLiteral("找不到数据库文件 %1：%2").arg(databasePath(), systemError(errno));
    QString failure = writeCompactedCopy(databasePath(), work.path());
    // The compacted register records its compaction itself: the row takes
    // effect with the rename, or not at all.
    if (failure.isEmpty() && replacesDatabase)
        failure = logInFile(work.path(), AuditTrail::Action::Compact,
                            {{QStringLiteral("数据库"), databasePath()},
                             {QStringLiteral("压缩前字节"), QString::number(database.st_size)}});
    if (failure.isEmpty())
        failure = verifyCopy(work.path());
    // The copy holds the same register: it gets the same permissions.
    if (failure.isEmpty() && ::chmod(native(work.path()).constData(), database.st_mode & 07777) != 0)
        failure = QStringLiteral("无法设置 %1 的权限：%2").arg(work.path(), systemError(errno));
    if (failure.isEmpty() && replacesDatabase) {
        // A journal beside data.db would be played into the copy once it has
        // the name: only a register without one may be replaced.
        for (const QString& path : journalsOf(databasePath())) {
            struct stat journal
            {
            };
            if (failure.isEmpty() && ::lstat(native(path).constData(), &journal) == 0)
                failure = QStringLiteral("数据库还有未完成的日志文件 %1，未压缩。").arg(path);
        }
        // A program that opened data.db during the copy would go on working
        // on the replaced file.
        if (failure.isEmpty())
            failure = refusalForHolders(databasePath(), true);
    }
    if (failure.isEmpty())
        failure = replaceFile(work.path(), target);
    if (failure.isEmpty())
        work.keep();
    return failure;
}

QString DatabaseMaintenance::logInRegister(AuditTrail::Action action,
                                           const std::vector<std::pair<QString, QString>>& facts)
{
    return logInFile(databasePath(), action, facts);
}

QString DatabaseMaintenance::logInFile(const QString& path, AuditTrail::Action action,
                                       const std::vector<std::pair<QString, QString>>& facts)
{
    const PrivateConnection connection(path, RegisterFileMode::ReadWrite);
    if (!connection.isOpen())
        return connection.error();
    return AuditTrail(connection.database()).recordEventAlone(action, facts);
}

QString DatabaseMaintenance::writeCompactedCopy(const QString& source, const QString& target)
{
    QString failure;
    {
        const PrivateConnection connection(source, RegisterFileMode::ReadWrite);
        failure = connection.error();
        if (failure.isEmpty()) {
            QSqlQuery query(connection.database());
            query.prepare(QStringLiteral("VACUUM INTO ?"));
            query.addBindValue(target);
            if (!query.exec())
                failure = sqlFailure(query.lastError());
        }
    }
    if (!failure.isEmpty())
        return failure;
    return syncToDisk(target, false);
}

QString DatabaseMaintenance::verifyCopy(const QString& path)
{
    QStringList findings;
    {
        const PrivateConnection connection(path, RegisterFileMode::ReadOnly);
        if (!connection.error().isEmpty())
            return QStringLiteral("压缩后的副本 %1 无法打开：%2").arg(path, connection.error());
        QSqlQuery query(connection.database());
        if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
            return QStringLiteral("压缩后的副本 %1 无法检查：%2").arg(path, sqlFailure(query.lastError()));
        while (query.next())
            findings << query.value(0).toString();
    }
    if (findings != QStringList{QStringLiteral("ok")})
        return QStringLiteral("压缩后的副本 %1 已损坏：%2").arg(path, findings.join(u'\n'));
    return {};
}

} // namespace regdesk

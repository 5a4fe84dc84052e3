#include "db/ServerMaintenance.h"

#include "db/PrivateConnection.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace regdesk {
namespace {

const QString kRegisterTables = QStringLiteral("发文登记表, 收文登记表, 人员信息表");

} // namespace

ServerMaintenance::ServerMaintenance(QString directory, ServerAddress address)
    : RegisterMaintenance(std::move(directory)), m_address(std::move(address))
{}

QString ServerMaintenance::compact()
{
    const PrivateConnection connection(m_address);
    QString failure = connection.error();
    if (failure.isEmpty()) {
        QSqlQuery query(connection.database());
        // VACUUM passes over a table it may not touch with a mere warning:
        // only the owner's compaction is done and reported as done.
        if (!query.exec(
                QStringLiteral("SELECT string_agg(relname, '、') FROM pg_class WHERE oid IN ("
                               "to_regclass('发文登记表'), to_regclass('收文登记表'), to_regclass('人员信息表')) "
                               "AND NOT pg_has_role(relowner, 'USAGE')")) ||
            !query.next())
            failure = sqlErrorText(query.lastError());
        else if (!query.value(0).isNull())
            failure = QStringLiteral("只有表的所有者能压缩 %1，用户不是。").arg(query.value(0).toString());
        else if (failure = AuditTrail(connection.database())
                               .recordEventAlone(AuditTrail::Action::Compact,
                                                 {{QStringLiteral("数据库"), m_address.describe()}});
                 !failure.isEmpty())
            failure = QStringLiteral("操作日志无法写入（%1）").arg(failure);
        else if (!query.exec(QStringLiteral("VACUUM (ANALYZE) ") + kRegisterTables))
            failure = sqlErrorText(query.lastError());
    }
    return failure;
}

RegisterMaintenance::BackupResult ServerMaintenance::backUp(const QDateTime& stamp)
{
    BackupResult result;
    const QString name = backupFileName(stamp);
    const timespec started = now();
    {
        // A file of this run's own: two backups started together each write theirs.
        const std::unique_ptr<WorkFile> work = createWorkFile(QString::fromUtf8(kBackupWorkPrefix));
        result.failure = work->failure();
        if (result.failure.isEmpty())
            result.failure =
                runProgram(QStringLiteral("pg_dump"),
                           QStringList{QStringLiteral("--format=custom"), QStringLiteral("--file=") + work->path()} +
                               m_address.programArguments());
        // The dump is checked by reading its table of contents back.
        QByteArray contents;
        if (result.failure.isEmpty())
            result.failure =
                runProgram(QStringLiteral("pg_restore"),
                           // Absolute: a folder named "-x" would be read as an option.
                           {QStringLiteral("--list"), QFileInfo(work->path()).absoluteFilePath()}, &contents);
        if (result.failure.isEmpty() && !contents.contains(QStringLiteral("发文登记表").toUtf8()))
            result.failure = QStringLiteral("备份 %1 中没有发文登记表。").arg(work->path());
        if (result.failure.isEmpty())
            result.failure = replaceFile(work->path(), pathOf(name));
        if (result.failure.isEmpty())
            work->keep();
    }
    if (!result.failure.isEmpty())
        return result;
    result.writtenPath = pathOf(name);
    deleteOlderBackups(name, started, result);
    return result;
}

QString ServerMaintenance::logInRegister(AuditTrail::Action action,
                                         const std::vector<std::pair<QString, QString>>& facts)
{
    const PrivateConnection connection(m_address);
    if (!connection.isOpen())
        return connection.error();
    return AuditTrail(connection.database()).recordEventAlone(action, facts);
}

QString ServerMaintenance::programPath(const QString& name)
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (auto version = versions.crbegin(); version != versions.crend(); ++version) {
        const QString path = QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(*version, name);
        if (QFile::exists(path))
            return path;
    }
    return QStandardPaths::findExecutable(name);
}

QString ServerMaintenance::runProgram(const QString& name, const QStringList& arguments, QByteArray* output) const
{
    const QString program = programPath(name);
    if (program.isEmpty())
        return QStringLiteral("找不到 %1（Debian 软件包 postgresql-client）。").arg(name);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("PGCONNECT_TIMEOUT")))
        environment.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted())
        return QStringLiteral("%1 无法启动：%2").arg(program, process.errorString());
    // Waited for here and, past the time limit, stopped; never left running.
    if (!process.waitForFinished(kProgramTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("%1 超时，已停止。").arg(name);
    }
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1 失败：%2").arg(name, errors.isEmpty() ? process.errorString() : errors);
    if (output)
        *output = process.readAllStandardOutput();
    return {};
}

} // namespace regdesk

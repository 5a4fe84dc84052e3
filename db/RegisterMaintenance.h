#pragma once

#include "db/AuditTrail.h"
#include "platform/UniqueFd.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <ctime>
#include <memory>

namespace regdesk {

// The form's 压缩库 and 备份库 (and regdesk-admin compact and backup) on the
// register database of one desk folder, whichever database that is. Backups
// are files of the desk folder named by date and time; a new one is written
// and checked before the older ones are deleted. Failures come back as a
// description for the user.
class RegisterMaintenance
{
public:
    // The backup being written, before it takes its dated name: the prefix
    // of a name of its own per run, so that two backups started together
    // never share one file.
    static constexpr const char* kBackupWorkPrefix = "backup-";
    static constexpr const char* kWorkSuffix = ".tmp";
    static constexpr const char* kBackupSuffix = ".bak";

    // `directory`: the desk folder, a path of the file system.
    explicit RegisterMaintenance(QString directory);
    virtual ~RegisterMaintenance();
    RegisterMaintenance(const RegisterMaintenance&) = delete;
    RegisterMaintenance& operator=(const RegisterMaintenance&) = delete;

    // The maintenance of the database that <directory>/document.ini names.
    static std::unique_ptr<RegisterMaintenance> forDirectory(const QString& directory);

    // Whether the desk must close its connection while compacting and backing
    // up (a file is replaced under it), and open it again after.
    virtual bool needsClosedDatabase() const = 0;
    // What is maintained, for people: a file's path or a server's database.
    virtual QString registerName() const = 0;

    // Empty text on success; otherwise the register is as it was.
    virtual QString compact() = 0;

    struct BackupResult
    {
        QString failure;         // empty when the new backup was written
        QString writtenPath;     // the new backup
        QStringList undeletable; // older backups that could not be deleted
    };
    // Writes a checked backup named from `stamp`, then deletes every other
    // backup. On failure no backup is touched.
    virtual BackupResult backUp(const QDateTime& stamp) = 0;

    // "%d年%d月%d日%d时%d分.bak", numbers without leading zeros.
    static QString backupFileName(const QDateTime& stamp);
    // Names of the folder's backups: every entry whose name ends in ".bak".
    QStringList backupNames() const;

protected:
    // The work file of one run: made empty and exclusively, held locked while
    // the run lasts (so that another run can tell it from a leftover), and
    // removed together with any journal beside it when it goes, unless it
    // was kept (renamed into place).
    class WorkFile
    {
    public:
        // Takes over `fd`, open on `path`; an invalid one is a failure, told
        // by `failure` or else by errno.
        WorkFile(QString path, UniqueFd fd, QString failure = {});
        ~WorkFile();
        WorkFile(const WorkFile&) = delete;
        WorkFile& operator=(const WorkFile&) = delete;

        const QString& path() const { return m_path; }
        // Why it could not be made; empty when it was.
        const QString& failure() const { return m_failure; }
        void keep() { m_kept = true; }

    private:
        QString m_path;
        QString m_failure;
        UniqueFd m_fd;
        bool m_kept = false;
    };
    // A work file of this run, <prefix><random>.tmp; leftovers of that prefix
    // from runs that ended without removing theirs are removed first.
    std::unique_ptr<WorkFile> createWorkFile(const QString& prefix) const;
    // The work file at `path` itself, replacing a leftover there (for a run
    // that already keeps every other run out).
    static std::unique_ptr<WorkFile> createWorkFileAt(const QString& path);
    // The files a database engine keeps beside a database file while writing it.
    static QStringList journalsOf(const QString& path);

    QString pathOf(const QString& name) const;
    const QString& directory() const { return m_directory; }
    // The moment a run starts, to tell older backups from those of runs made
    // at the same time.
    static timespec now();
    // Deletes every backup but `keep`, noting those that stay. A backup
    // written since `runStart` belongs to another run going on at the same
    // time and stays: of two such runs, neither deletes the other's. The
    // backup and the older ones it deletes are logged in the register first;
    // when that fails nothing is deleted and the new backup goes again.
    void deleteOlderBackups(const QString& keep, const timespec& runStart, BackupResult& result);
    // Writes one row of the register's 操作日志 for this run, in a
    // transaction of its own; empty when written.
    virtual QString logInRegister(AuditTrail::Action action, const std::vector<std::pair<QString, QString>>& facts) = 0;
    // A file of that name from an interrupted run, or planted there, must not
    // take the place of the copy: removes it (a link goes, not what it points to).
    static QString removeLeftover(const QString& path);
    virtual QString replaceFile(const QString& from, const QString& to);
    virtual bool deleteFile(const QString& path);

private:
    QString m_directory;
};

} // namespace regdesk

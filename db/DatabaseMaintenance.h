#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace regdesk {

// Compaction and backup of the register database data.db of one desk folder,
// on the closed file. Neither ever leaves the register only in a temporary
// file: a compacted copy replaces data.db by one rename after it has been
// checked, and a backup removes the older backups only after the new one has
// been written and checked. Failures come back as a description for the user.
class DatabaseMaintenance
{
public:
    static constexpr const char* kCompactionFileName = "data.tmp";
    // The backup being written, before it takes its dated name.
    static constexpr const char* kBackupWorkFileName = "backup.tmp";
    static constexpr const char* kBackupSuffix = ".bak";

    // `directory`: the desk folder, a path of the file system.
    explicit DatabaseMaintenance(QString directory);
    virtual ~DatabaseMaintenance();
    DatabaseMaintenance(const DatabaseMaintenance&) = delete;
    DatabaseMaintenance& operator=(const DatabaseMaintenance&) = delete;

    QString databasePath() const;
    QString compactionPath() const;

    // Compacts data.db through data.tmp; a data.tmp left by an earlier run is
    // removed first. Refused while any process has data.db open, since it
    // would go on writing into the replaced file. Empty text on success;
    // otherwise data.db is as it was and data.tmp is gone.
    QString compact();

    // "%d年%d月%d日%d时%d分.bak", numbers without leading zeros.
    static QString backupFileName(const QDateTime& stamp);
    // Names of the folder's backups: every entry whose name ends in ".bak".
    QStringList backupNames() const;

    struct BackupResult
    {
        QString failure;         // empty when the new backup was written
        QString writtenPath;     // the new backup
        QStringList undeletable; // older backups that could not be deleted
    };
    // Writes a compacted, checked copy of data.db named from `stamp`, then
    // deletes every other backup. On failure no backup is touched.
    BackupResult backUp(const QDateTime& stamp);

protected:
    // The steps, each returning a description on failure; tests override one
    // to make it fail.
    virtual QString writeCompactedCopy(const QString& source, const QString& target);
    virtual QString verifyCopy(const QString& path);
    virtual QString replaceFile(const QString& from, const QString& to);
    virtual bool deleteFile(const QString& path);

private:
    QString pathOf(const QString& name) const;
    // Writes, checks and renames a copy of data.db into `target` by way of `work`.
    QString writeCheckedCopy(const QString& work, const QString& target, bool replacesDatabase);

    QString m_directory;
};

} // namespace regdesk

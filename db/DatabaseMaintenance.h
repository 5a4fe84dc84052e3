#pragma once

#include "db/RegisterMaintenance.h"

namespace regdesk {

// Compaction and backup of the register database data.db of one desk folder,
// on the closed file. Neither ever leaves the register only in a temporary
// file: a compacted copy replaces data.db by one rename after it has been
// checked, and a backup removes the older backups only after the new one has
// been written and checked.
class DatabaseMaintenance : public RegisterMaintenance
{
public:
    static constexpr const char* kCompactionFileName = "data.tmp";

    explicit DatabaseMaintenance(QString directory);
    ~DatabaseMaintenance() override;

    bool needsClosedDatabase() const override { return true; }
    QString registerName() const override { return databasePath(); }

    QString databasePath() const;
    QString compactionPath() const;

    // Compacts data.db through data.tmp; a data.tmp left by an earlier run is
    // removed first. Refused while any other process has data.db open, since
    // it would go on writing into the replaced file; writers are kept out
    // until the copy has replaced data.db. Empty text on success; otherwise
    // data.db is as it was and data.tmp (with any journal of it) is gone.
    QString compact() override;

    // Writes a compacted, checked copy of data.db named from `stamp`, then
    // deletes every other backup. On failure no backup is touched.
    BackupResult backUp(const QDateTime& stamp) override;

protected:
    // The steps, each returning a description on failure; tests override one
    // to make it fail.
    virtual QString writeCompactedCopy(const QString& source, const QString& target);
    virtual QString verifyCopy(const QString& path);

    QString logInRegister(AuditTrail::Action action, const std::vector<std::pair<QString, QString>>& facts) override;

private:
    static QString logInFile(const QString& path, AuditTrail::Action action,
                             const std::vector<std::pair<QString, QString>>& facts);
    // Writes, checks and renames a copy of data.db into `target` by way of `work`.
    QString writeCheckedCopy(WorkFile& work, const QString& target, bool replacesDatabase);
    // Why data.db must not be replaced now: the processes that have it open
    // (this one included unless `othersOnly`); empty when there are none.
    QString refusalForHolders(const QString& database, bool othersOnly) const;
};

} // namespace regdesk

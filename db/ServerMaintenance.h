#pragma once

#include "db/RegisterMaintenance.h"
#include "db/ServerAddress.h"

namespace regdesk {

// 压缩库 and 备份库 on the PostgreSQL register, while the desks go on using
// it: compaction is a VACUUM (with ANALYZE) of the registers' tables, the
// backup a dump in pg_dump's custom format (restored with pg_restore),
// checked by listing it before it takes its dated name in the desk folder.
// pg_dump and pg_restore run as child processes that are waited for and
// stopped when they take too long.
class ServerMaintenance final : public RegisterMaintenance
{
public:
    // A dump that runs longer is stopped and reported.
    static constexpr int kProgramTimeoutMs = 30 * 60 * 1000;

    ServerMaintenance(QString directory, ServerAddress address);

    bool needsClosedDatabase() const override { return false; }
    QString registerName() const override { return m_address.describe(); }
    QString compact() override;
    BackupResult backUp(const QDateTime& stamp) override;

    // The newest pg_dump or pg_restore installed (Debian keeps them by server
    // version), else the one on PATH; empty when there is none.
    static QString programPath(const QString& name);

protected:
    QString logInRegister(AuditTrail::Action action, const std::vector<std::pair<QString, QString>>& facts) override;

private:
    // Runs a program to its end; empty when it exited with 0, else why not.
    QString runProgram(const QString& name, const QStringList& arguments, QByteArray* output = nullptr) const;

    ServerAddress m_address;
};

} // namespace regdesk

#pragma once

#include "db/ServerAddress.h"

#include <QString>
#include <string>

namespace regdesk::test {

// The throwaway PostgreSQL cluster of the test run (Unix socket only): the
// one ctest started for every test (its socket folder in the file that
// REGDESK_TEST_POSTGRES names), or, for a test program run by hand, one
// started on first use and stopped when the program ends, however it ends.
class PostgresServer
{
public:
    static PostgresServer& instance();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Empty when the cluster runs, else why it does not.
    const QString& failure() const { return m_failure; }

    // A new, empty database of its own; empty on failure.
    QString createDatabase();
    // A new database holding the empty registers (as regdesk-admin init makes them).
    QString createRegister();
    // Makes `setting` ("name = value") the default of every new session of `database`.
    bool setDatabaseDefault(const QString& database, const QString& setting);
    // Drops it, also while connections to it are open.
    void dropDatabase(const QString& name);

    ServerAddress address(const QString& database) const;
    // The section [数据库] of document.ini naming `database` (UTF-8).
    std::string settingsSection(const QString& database, const std::string& user = "regdesk") const;

private:
    PostgresServer();
    bool runAsAdministrator(const QString& sql);

    QString m_socketFolder;
    QString m_ownInfoFile; // set when this program started the cluster
    QString m_failure;
};

} // namespace regdesk::test

#pragma once

#include "db/SqlDialect.h"
#include "platform/Gbk.h"

#include <QString>
#include <memory>

namespace regdesk {

class Prompter;

// One open register database. Shared by AdoDatabase (its owner) and the
// process-wide active connection that every AdoRecordset runs on.
class DbConnection
{
public:
    DbConnection(QString connectionName, Prompter& prompter, SqlDialect::Kind kind, QString session);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    const QString& name() const { return m_name; }
    Prompter& prompter() const { return m_prompter; }
    SqlDialect::Kind kind() const { return m_kind; }
    // The desk this connection belongs to, as the number claims name it; the
    // same across the reconnections of one desk.
    const QString& session() const { return m_session; }
    QString databasePath() const;

    // Runs several statements as one unit: either all take effect or none.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

private:
    QString m_name;
    Prompter& m_prompter;
    SqlDialect::Kind m_kind;
    QString m_session;
};

// The process's connection to the register database: data.db beside the
// program, or the PostgreSQL database that the section [数据库] of
// document.ini names. The desk keeps the Jet connection-string format; the
// database layer reads the file path out of its "Data Source=" item, and the
// server out of "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...".
class AdoDatabase
{
public:
    explicit AdoDatabase(Prompter& prompter);
    ~AdoDatabase();
    AdoDatabase(const AdoDatabase&) = delete;
    AdoDatabase& operator=(const AdoDatabase&) = delete;

    // Drops any previous connection and opens a new one. The database must
    // exist (it is never created here) and hold writable registers
    // (发文登记表, 收文登记表, 人员信息表). On failure (a missing file, a server
    // that cannot be reached, a database that is no register) shows
    // "发生错误:\n\n" + the reason (caption "系统提示") and returns false.
    bool openConnection(const GbkString& connectionString);
    // Why the last openConnection() failed (empty after a success), for the diagnostics log.
    const QString& lastFailure() const { return m_lastFailure; }

    // Closes the connection, which also stops being the active connection
    // (maintenance works on the closed file and then opens it again).
    void closeConnection();

    // The current connection (null if none), for setActiveConnection().
    std::shared_ptr<DbConnection> connection() const { return m_connection; }

    // The connection every AdoRecordset uses.
    static void setActiveConnection(std::shared_ptr<DbConnection> connection);
    static const std::shared_ptr<DbConnection>& activeConnection();

    // The connection string of the database that <dir>/document.ini names:
    // "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<dir>/data.db;OLEDB:Database ,, , adModeUnknown"
    // without a section [数据库], the server's otherwise.
    static GbkString connectionStringFor(const GbkString& programDirectory);
    static GbkString dataFileConnectionString(const GbkString& programDirectory);
    static constexpr const char* kDatabaseFileName = "data.db";
    static constexpr const char* kPostgresProvider = "PostgreSQL";

private:
    QString openDataFile(const GbkString& connectionString, const QString& name);
    QString openServer(const GbkString& connectionString, const QString& name);

    Prompter& m_prompter;
    std::shared_ptr<DbConnection> m_connection;
    QString m_session; // this desk, once known
    QString m_lastFailure;
};

} // namespace regdesk

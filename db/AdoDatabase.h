#pragma once

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
    DbConnection(QString connectionName, Prompter& prompter);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    const QString& name() const { return m_name; }
    Prompter& prompter() const { return m_prompter; }
    QString databasePath() const;

    // Runs several statements as one unit: either all take effect or none.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

private:
    QString m_name;
    Prompter& m_prompter;
};

// The process's connection to the register database (data.db beside the
// program). The desk keeps the Jet connection-string format; the database
// layer reads the file path out of its "Data Source=" item.
class AdoDatabase
{
public:
    explicit AdoDatabase(Prompter& prompter);
    ~AdoDatabase();
    AdoDatabase(const AdoDatabase&) = delete;
    AdoDatabase& operator=(const AdoDatabase&) = delete;

    // Drops any previous connection and opens a new one. The database file
    // must exist (it is never created here) and be a writable SQLite register
    // holding 发文登记表, 收文登记表 and 人员信息表. On failure shows
    // "发生错误:\n\n" + the reason (caption "系统提示") and returns false.
    bool openConnection(const GbkString& connectionString);

    // Closes the connection, which also stops being the active connection
    // (maintenance works on the closed file and then opens it again).
    void closeConnection();

    // The current connection (null if none), for setActiveConnection().
    std::shared_ptr<DbConnection> connection() const { return m_connection; }

    // The connection every AdoRecordset uses.
    static void setActiveConnection(std::shared_ptr<DbConnection> connection);
    static const std::shared_ptr<DbConnection>& activeConnection();

    // "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<dir>/data.db;OLEDB:Database ,, , adModeUnknown"
    static GbkString connectionStringFor(const GbkString& programDirectory);
    static constexpr const char* kDatabaseFileName = "data.db";

private:
    Prompter& m_prompter;
    std::shared_ptr<DbConnection> m_connection;
};

} // namespace regdesk

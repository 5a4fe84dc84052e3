#pragma once

#include "platform/Gbk.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

namespace regdesk {

struct DatabaseSettings;

// Where the PostgreSQL register is: what libpq needs besides the password,
// which it finds itself (~/.pgpass, PGPASSFILE, a service file).
struct ServerAddress
{
    QString host; // empty: the local Unix socket
    QString port; // empty: the default
    QString database;
    QString user; // empty: the login name

    static ServerAddress fromSettings(const DatabaseSettings& settings);
    // From "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...".
    static ServerAddress fromConnectionString(const GbkString& connectionString);
    GbkString connectionString() const;

    // "库 <database>（主机 <host>，端口 <port>，用户 <user>）" for people.
    QString describe() const;
    // The connection arguments of pg_dump and psql.
    QStringList programArguments() const;

    // Opens a QPSQL connection named `connectionName` to the server, failing
    // within seconds when it cannot be reached; the connection stays added
    // (remove it with QSqlDatabase::removeDatabase). Every connection to the
    // server is opened here: each runs with standard_conforming_strings on.
    // Empty on success, else why not.
    QString open(const QString& connectionName) const;
};

// The database's complaint in one line.
QString sqlErrorText(const QSqlError& error);

} // namespace regdesk

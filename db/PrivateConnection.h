#pragma once

#include <QSqlDatabase>
#include <QString>

namespace regdesk {

// The register database opened once more, for work on a thread of its own:
// a connection belongs to the thread that opened it. A copy of the desk's
// connection (driver, database and options), closed when it goes.
class PrivateConnection
{
public:
    // `connectionName`: DbConnection::name() of the desk's connection.
    explicit PrivateConnection(const QString& connectionName);
    ~PrivateConnection();
    PrivateConnection(const PrivateConnection&) = delete;
    PrivateConnection& operator=(const PrivateConnection&) = delete;

    bool isOpen() const { return m_database.isOpen(); }
    QString error() const { return m_error; }
    const QSqlDatabase& database() const { return m_database; }

private:
    QString m_name;
    QSqlDatabase m_database;
    QString m_error;
};

} // namespace regdesk

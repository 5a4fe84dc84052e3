#pragma once

#include <QSqlDatabase>
#include <QString>

namespace regdesk {

class ServerAddress;

enum class RegisterFileMode
{
    ReadOnly,
    ReadWrite,
};

// Adds the connection `connectionName` on the register file at `path` and
// opens it as every opener of data.db does: through a URI, so any character
// in the path is safe; with mode=ro or mode=rw, never rwc, so a missing file
// fails instead of becoming a new empty register; with a busy time-out, so a
// write another desk holds is waited out. Empty when open, else the
// database's reason. The connection stays added either way: whoever named it
// removes it (PrivateConnection does).
QString openRegisterFile(const QString& connectionName, const QString& path, RegisterFileMode mode);

// A connection of its own under a name of its own, closed and removed when it
// goes: for work on another thread (a connection belongs to the thread that
// opened it), for maintenance, for regdesk-admin.
class PrivateConnection
{
public:
    // A copy of the connection named `connectionName` (DbConnection::name() of
    // the desk's): its driver, database and options.
    explicit PrivateConnection(const QString& connectionName);
    // The register file at `path`, opened by openRegisterFile().
    PrivateConnection(const QString& path, RegisterFileMode mode);
    // The server register at `address`.
    explicit PrivateConnection(const ServerAddress& address);
    ~PrivateConnection();
    PrivateConnection(const PrivateConnection&) = delete;
    PrivateConnection& operator=(const PrivateConnection&) = delete;

    bool isOpen() const { return m_error.isEmpty(); }
    // Why it did not open; empty when it did.
    const QString& error() const { return m_error; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    static QString newName();

    QString m_name = newName();
    QString m_error;
};

} // namespace regdesk

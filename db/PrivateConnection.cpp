#include "db/PrivateConnection.h"

#include "db/ServerAddress.h"

#include <QSqlError>
#include <QUrl>
#include <atomic>

namespace regdesk {

QString openRegisterFile(const QString& connectionName, const QString& path, RegisterFileMode mode)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setQuery(mode == RegisterFileMode::ReadOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    database.setDatabaseName(uri.toString(QUrl::FullyEncoded));
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (path.isEmpty())
        return QStringLiteral("没有数据库文件。");
    if (!database.open())
        return sqlErrorText(database.lastError());
    return {};
}

QString PrivateConnection::newName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("regdesk-private-%1").arg(++counter);
}

PrivateConnection::PrivateConnection(const QString& connectionName)
{
    // Cloned by name: safe from a thread other than the original's.
    QSqlDatabase database = QSqlDatabase::cloneDatabase(connectionName, m_name);
    if (!database.open())
        m_error = sqlErrorText(database.lastError());
}

PrivateConnection::PrivateConnection(const QString& path, RegisterFileMode mode)
    : m_error(openRegisterFile(m_name, path, mode))
{}

PrivateConnection::PrivateConnection(const ServerAddress& address) : m_error(address.open(m_name)) {}

PrivateConnection::~PrivateConnection()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

} // namespace regdesk

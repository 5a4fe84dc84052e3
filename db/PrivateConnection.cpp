#include "db/PrivateConnection.h"

#include <QSqlError>
#include <atomic>

namespace regdesk {

PrivateConnection::PrivateConnection(const QString& databaseName)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("regdesk-private-%1").arg(++counter);
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_database.setDatabaseName(databaseName);
    m_database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_database.open())
        m_error = m_database.lastError().text();
}

PrivateConnection::~PrivateConnection()
{
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

} // namespace regdesk

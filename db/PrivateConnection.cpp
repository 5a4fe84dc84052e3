#include "db/PrivateConnection.h"

#include <QSqlError>
#include <atomic>

namespace regdesk {

PrivateConnection::PrivateConnection(const QString& connectionName)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("regdesk-private-%1").arg(++counter);
    // Cloned by name: safe from a thread other than the original's.
    m_database = QSqlDatabase::cloneDatabase(connectionName, m_name);
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

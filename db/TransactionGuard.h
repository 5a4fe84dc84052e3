#pragma once

#include "db/AdoDatabase.h"

#include <QSqlDatabase>

namespace regdesk {

// One transaction on a connection: begun on construction, rolled back when
// the guard goes unless commit() succeeded first.
class TransactionGuard
{
public:
    explicit TransactionGuard(DbConnection& connection)
        : TransactionGuard(QSqlDatabase::database(connection.name(), false))
    {}
    explicit TransactionGuard(QSqlDatabase database) : m_database(std::move(database))
    {
        m_active = m_database.isOpen() && m_database.transaction();
    }
    ~TransactionGuard()
    {
        if (m_active)
            m_database.rollback();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // False when the transaction could not be begun.
    bool isActive() const { return m_active; }

    bool commit()
    {
        if (!m_active || !m_database.commit())
            return false;
        m_active = false;
        return true;
    }

private:
    QSqlDatabase m_database;
    bool m_active = false;
};

} // namespace regdesk

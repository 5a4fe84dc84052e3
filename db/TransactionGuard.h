#pragma once

#include "db/AdoDatabase.h"

namespace regdesk {

// The statements run while the guard lives form one unit: they take effect
// at commit(), and are rolled back when the guard goes without it.
class TransactionGuard
{
public:
    explicit TransactionGuard(DbConnection& connection)
        : m_connection(connection), m_active(connection.beginTransaction())
    {}
    ~TransactionGuard()
    {
        if (m_active)
            m_connection.rollbackTransaction();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // False when the transaction could not be begun.
    bool isActive() const { return m_active; }

    // False when there was nothing to commit or the commit failed (the
    // destructor then rolls back).
    bool commit()
    {
        if (!m_active || !m_connection.commitTransaction())
            return false;
        m_active = false;
        return true;
    }

private:
    DbConnection& m_connection;
    bool m_active = false;
};

} // namespace regdesk

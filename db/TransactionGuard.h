#pragma once

#include "db/AdoDatabase.h"

#include <memory>

namespace regdesk {

// One transaction on a connection: begun when the guard is made, rolled back
// when it leaves scope uncommitted, so an early return or a failed statement
// never leaves half of a change behind.
class TransactionGuard
{
public:
    explicit TransactionGuard(std::shared_ptr<DbConnection> connection)
        : m_connection(std::move(connection)), m_open(m_connection && m_connection->beginTransaction())
    {}
    ~TransactionGuard()
    {
        if (m_open)
            m_connection->rollbackTransaction();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // False when there was no connection or the transaction could not begin.
    bool isOpen() const { return m_open; }

    // Makes the statements since the start take effect. False when that
    // fails; the guard then still rolls back on leaving scope.
    bool commit()
    {
        if (!m_open || !m_connection->commitTransaction())
            return false;
        m_open = false;
        return true;
    }

private:
    std::shared_ptr<DbConnection> m_connection;
    bool m_open;
};

} // namespace regdesk

#pragma once

#include "db/AdoDatabase.h"

#include <QSqlDatabase>
#include <memory>

namespace regdesk {

// One transaction on a connection: begun when the guard is made, rolled back
// when it leaves scope uncommitted, so an early return or a failed statement
// never leaves half of a change behind.
class TransactionGuard
{
public:
    // The desk's connection, kept alive while the guard lives.
    explicit TransactionGuard(std::shared_ptr<DbConnection> connection)
        : m_keeper(std::move(connection)),
          m_database(m_keeper ? QSqlDatabase::database(m_keeper->name(), false) : QSqlDatabase())
    {
        begin();
    }
    // A connection of its own (a worker thread's, a private one).
    explicit TransactionGuard(QSqlDatabase database) : m_database(std::move(database)) { begin(); }
    ~TransactionGuard()
    {
        if (m_open)
            m_database.rollback();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // False when there was no connection or the transaction could not begin.
    bool isOpen() const { return m_open; }

    // Makes the statements since the start take effect. False when that
    // fails; the guard then still rolls back on leaving scope.
    bool commit()
    {
        if (!m_open || !m_database.commit())
            return false;
        m_open = false;
        return true;
    }

private:
    void begin() { m_open = m_database.isOpen() && m_database.transaction(); }

    std::shared_ptr<DbConnection> m_keeper;
    QSqlDatabase m_database;
    bool m_open = false;
};

} // namespace regdesk

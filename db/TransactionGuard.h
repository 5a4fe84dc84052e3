#pragma once

#include "db/AdoDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

namespace regdesk {

// One transaction on a connection: begun when the guard is made, rolled back
// when it leaves scope uncommitted, so an early return or a failed statement
// never leaves half of a change behind.
//
// On data.db a transaction takes the file's write lock at its start (BEGIN
// IMMEDIATE), waiting out another process's write for the busy timeout: one
// that read first could not wait when it came to write, and would fail at
// once with "database is locked" whenever another desk or regdesk-admin was
// writing. A transaction that only reads says so and takes no write lock.
class TransactionGuard
{
public:
    enum class Use
    {
        Writing,
        ReadingOnly, // a snapshot: other processes go on writing meanwhile
    };

    // The desk's connection, kept alive while the guard lives.
    explicit TransactionGuard(std::shared_ptr<DbConnection> connection, Use use = Use::Writing)
        : m_keeper(std::move(connection)),
          m_database(m_keeper ? QSqlDatabase::database(m_keeper->name(), false) : QSqlDatabase())
    {
        begin(use);
    }
    // A connection of its own (a worker thread's, a private one).
    explicit TransactionGuard(QSqlDatabase database, Use use = Use::Writing) : m_database(std::move(database))
    {
        begin(use);
    }
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
    void begin(Use use)
    {
        if (!m_database.isOpen())
            return;
        if (use == Use::Writing && m_database.driverName() == QLatin1String("QSQLITE")) {
            // The driver's own commit and rollback end it.
            m_open = QSqlQuery(m_database).exec(QStringLiteral("BEGIN IMMEDIATE"));
            return;
        }
        m_open = m_database.transaction();
    }

    std::shared_ptr<DbConnection> m_keeper;
    QSqlDatabase m_database;
    bool m_open = false;
};

} // namespace regdesk

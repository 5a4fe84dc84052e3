#pragma once

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "TestBackend.h"
#include "db/AdoDatabase.h"
#include "platform/Gbk.h"

#include <QString>
#include <initializer_list>
#include <utility>
#include <vector>

namespace regdesk::test {

// A desk folder with a fresh register (data.db, or a database of the test
// cluster), open as the active connection while the object lives, and a
// quick way to put register rows into it.
class QueryDatabase
{
public:
    explicit QueryDatabase(Backend backend = Backend::Sqlite);
    ~QueryDatabase();
    QueryDatabase(const QueryDatabase&) = delete;
    QueryDatabase& operator=(const QueryDatabase&) = delete;

    bool isOpen() const { return m_database.connection() != nullptr; }
    TempDeskFolder& folder() { return m_folder; }
    FakePrompter& prompter() { return m_prompter; }
    Backend backend() const { return m_backend; }
    const std::shared_ptr<DbConnection>& connection() const { return AdoDatabase::activeConnection(); }

    // Inserts a record whose named columns (UTF-8 name, GBK value) hold the
    // given texts; the others stay NULL. Returns its rowid, or -1.
    qint64 insert(const GbkString& table, std::initializer_list<std::pair<const char*, GbkString>> columns);
    // Runs one statement (UTF-8 SQL); false on failure.
    bool execute(const QString& sql);
    // The single value of a one-row query, as text.
    QString value(const QString& sql);

private:
    Backend m_backend;
    QString m_serverDatabase;
    FakePrompter m_prompter;
    TempDeskFolder m_folder;
    AdoDatabase m_database{m_prompter};
};

} // namespace regdesk::test

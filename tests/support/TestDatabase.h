#pragma once

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "TestBackend.h"
#include "db/AdoDatabase.h"
#include "db/DocumentRecord.h"

#include <QString>
#include <initializer_list>
#include <utility>
#include <vector>

namespace regdesk::test {

// A fresh register in a temporary desk folder that is the program directory,
// open as the active connection until the fixture goes: data.db, or a new
// database of the test cluster that the folder's document.ini names. The
// database layer's boxes land in prompter().
class TestDatabase
{
public:
    // `serverDefault` ("name = value"): a setting every session on the server's database starts with.
    explicit TestDatabase(Backend backend = Backend::Sqlite, const QString& serverDefault = {});
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // False when data.db could not be made or opened.
    bool isOpen() const { return m_open; }
    TempDeskFolder& folder() { return m_folder; }
    FakePrompter& prompter() { return m_prompter; }
    AdoDatabase& database() { return m_database; }
    Backend backend() const { return m_backend; }
    const std::shared_ptr<DbConnection>& connection() const { return AdoDatabase::activeConnection(); }

    // Runs one statement on the active connection.
    static bool run(const GbkString& sql);
    static bool insertOutgoing(const DocumentRecord& record);
    static bool insertIncoming(const DocumentRecord& record);
    static bool insertPerson(const char* name, const char* initials);
    // (发文号, 标题) of every row of a register, in 发文号 order.
    static std::vector<std::pair<GbkString, GbkString>> rowsOf(const GbkString& table);

    // Inserts a record whose named columns (UTF-8 name, GBK value) hold the
    // given texts; the others stay NULL. Returns its rowid, or -1.
    qint64 insert(const GbkString& table, std::initializer_list<std::pair<const char*, GbkString>> columns);
    // Runs one statement (UTF-8 SQL) as written, past the dialect; false on failure.
    bool execute(const QString& sql);
    // The single value of a one-row query, as text.
    QString value(const QString& sql);

private:
    Backend m_backend;
    FakePrompter m_prompter;
    TempDeskFolder m_folder;
    AdoDatabase m_database{m_prompter};
    QString m_serverDatabase;
    bool m_open = false;
};

} // namespace regdesk::test

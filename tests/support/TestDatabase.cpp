#include "TestDatabase.h"

#include "PostgresServer.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>

namespace regdesk::test {

TestDatabase::TestDatabase(Backend backend, const QString& serverDefault) : m_backend(backend)
{
    m_folder.useAsProgramDirectory();
    bool made = false;
    if (backend == Backend::Postgres) {
        PostgresServer& server = PostgresServer::instance();
        m_serverDatabase = server.createRegister();
        m_folder.setDatabaseSection(server.settingsSection(m_serverDatabase));
        made = !m_serverDatabase.isEmpty() &&
               (serverDefault.isEmpty() || server.setDatabaseDefault(m_serverDatabase, serverDefault));
    } else {
        made = m_folder.createDatabase();
    }
    m_open = made && m_database.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath()));
    if (m_open)
        AdoDatabase::setActiveConnection(m_database.connection());
}

TestDatabase::~TestDatabase()
{
    if (AdoDatabase::activeConnection() == m_database.connection())
        AdoDatabase::setActiveConnection(nullptr);
    m_database.closeConnection();
    if (!m_serverDatabase.isEmpty())
        PostgresServer::instance().dropDatabase(m_serverDatabase);
}

bool TestDatabase::run(const GbkString& sql)
{
    AdoRecordset statement;
    return statement.openQuery(sql);
}

bool TestDatabase::insertOutgoing(const DocumentRecord& record)
{
    return run(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), record));
}

bool TestDatabase::insertIncoming(const DocumentRecord& record)
{
    return run(RegisterStatements::insertIncoming(RegisterStatements::incomingTable(), record));
}

bool TestDatabase::insertPerson(const char* name, const char* initials)
{
    return run(RegisterStatements::insertPerson(utf8ToGbk(name), utf8ToGbk(initials)));
}

std::vector<std::pair<GbkString, GbkString>> TestDatabase::rowsOf(const GbkString& table)
{
    std::vector<std::pair<GbkString, GbkString>> rows;
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectRegister(table)))
        return rows;
    for (records.moveFirst(); !records.isEof(); records.moveNext())
        rows.emplace_back(records.fieldText(0), records.fieldText(1));
    std::sort(rows.begin(), rows.end());
    return rows;
}

qint64 TestDatabase::insert(const GbkString& table, std::initializer_list<std::pair<const char*, GbkString>> columns)
{
    QStringList names;
    QStringList holes;
    for (const auto& column : columns) {
        names << QString::fromUtf8(column.first);
        holes << QStringLiteral("?");
    }
    QSqlQuery query(QSqlDatabase::database(m_database.connection()->name(), false));
    const bool server = m_backend == Backend::Postgres;
    query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                      .arg(toQString(table), names.join(u','), holes.join(u','),
                           server ? QStringLiteral(" RETURNING rowid") : QString()));
    for (const auto& column : columns)
        query.addBindValue(toQString(column.second));
    if (!query.exec())
        return -1;
    if (server)
        return query.next() ? query.value(0).toLongLong() : -1;
    return query.lastInsertId().toLongLong();
}

bool TestDatabase::execute(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_database.connection()->name(), false));
    return query.exec(sql);
}

QString TestDatabase::value(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_database.connection()->name(), false));
    if (!query.exec(sql) || !query.next())
        return {};
    return query.value(0).toString();
}

} // namespace regdesk::test

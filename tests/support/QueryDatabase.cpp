#include "QueryDatabase.h"

#include "PostgresServer.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

namespace regdesk::test {

QueryDatabase::QueryDatabase(Backend backend) : m_backend(backend)
{
    bool made = false;
    if (backend == Backend::Postgres) {
        PostgresServer& server = PostgresServer::instance();
        m_serverDatabase = server.createRegister();
        m_folder.setDatabaseSection(server.settingsSection(m_serverDatabase));
        made = !m_serverDatabase.isEmpty();
    } else {
        made = m_folder.createDatabase();
    }
    if (made && m_database.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())))
        AdoDatabase::setActiveConnection(m_database.connection());
}

QueryDatabase::~QueryDatabase()
{
    AdoDatabase::setActiveConnection(nullptr);
    m_database.closeConnection();
    if (!m_serverDatabase.isEmpty())
        PostgresServer::instance().dropDatabase(m_serverDatabase);
}

qint64 QueryDatabase::insert(const GbkString& table, std::initializer_list<std::pair<const char*, GbkString>> columns)
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

bool QueryDatabase::execute(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_database.connection()->name(), false));
    return query.exec(sql);
}

QString QueryDatabase::value(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_database.connection()->name(), false));
    if (!query.exec(sql) || !query.next())
        return {};
    return query.value(0).toString();
}

} // namespace regdesk::test

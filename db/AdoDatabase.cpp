#include "db/AdoDatabase.h"

#include "db/SqlDialect.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>
#include <atomic>

namespace regdesk {
namespace {

std::shared_ptr<DbConnection>& activeConnectionStorage()
{
    static std::shared_ptr<DbConnection> connection;
    return connection;
}

QString newConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("regdesk-%1").arg(++counter);
}

} // namespace

DbConnection::DbConnection(QString connectionName, Prompter& prompter)
    : m_name(std::move(connectionName)), m_prompter(prompter)
{}

DbConnection::~DbConnection()
{
    {
        QSqlDatabase database = QSqlDatabase::database(m_name, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QString DbConnection::databasePath() const
{
    return QSqlDatabase::database(m_name, false).databaseName();
}

bool DbConnection::beginTransaction()
{
    return QSqlDatabase::database(m_name, false).transaction();
}

bool DbConnection::commitTransaction()
{
    return QSqlDatabase::database(m_name, false).commit();
}

bool DbConnection::rollbackTransaction()
{
    return QSqlDatabase::database(m_name, false).rollback();
}

AdoDatabase::AdoDatabase(Prompter& prompter) : m_prompter(prompter) {}

AdoDatabase::~AdoDatabase() = default;

bool AdoDatabase::openConnection(const GbkString& connectionString)
{
    m_connection.reset();
    const QString name = newConnectionName();
    auto connection = std::make_shared<DbConnection>(name, m_prompter);
    QString failure;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        const QString path = QString::fromUtf8(toNativePath(SqlDialect::dataSourceOf(connectionString)));
        // A URI with mode=rw: a missing file fails instead of being created.
        QUrl uri = QUrl::fromLocalFile(path);
        uri.setQuery(QStringLiteral("mode=rw"));
        database.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (path.isEmpty())
            failure = QStringLiteral("连接字符串中没有数据库文件。");
        else if (!database.open())
            failure = database.lastError().databaseText().isEmpty() ? database.lastError().text()
                                                                    : database.lastError().databaseText();
    }
    if (!failure.isEmpty()) {
        m_prompter.ask(nullptr,
                       Prompter::Message{QStringLiteral("发生错误:\n\n") + failure, QStringLiteral("系统提示"),
                                         Prompter::Buttons::Ok, Prompter::Icon::Warning, Prompter::Answer::Ok});
        return false;
    }
    m_connection = std::move(connection);
    return true;
}

void AdoDatabase::closeConnection()
{
    if (activeConnectionStorage() == m_connection)
        activeConnectionStorage().reset();
    m_connection.reset();
}

void AdoDatabase::setActiveConnection(std::shared_ptr<DbConnection> connection)
{
    activeConnectionStorage() = std::move(connection);
}

const std::shared_ptr<DbConnection>& AdoDatabase::activeConnection()
{
    return activeConnectionStorage();
}

GbkString AdoDatabase::connectionStringFor(const GbkString& programDirectory)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + joinPath(programDirectory, kDatabaseFileName) +
           ";OLEDB:Database ,, , adModeUnknown";
}

} // namespace regdesk

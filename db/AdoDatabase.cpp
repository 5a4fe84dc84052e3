#include "db/AdoDatabase.h"

#include "db/SqlDialect.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
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

QString errorText(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

// Why an opened file cannot serve as the register database, or an empty
// text: SQLite opens a text file, an empty file or a read-only one without
// complaint, and every later query would then fail on its own.
QString registerProblem(const QSqlDatabase& database, const QString& path)
{
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return errorText(query.lastError());
    QStringList missing = {QStringLiteral("发文登记表"), QStringLiteral("收文登记表"), QStringLiteral("人员信息表")};
    while (query.next())
        missing.removeAll(query.value(0).toString());
    if (!missing.isEmpty())
        return QStringLiteral("%1 不是登记数据库：其中没有 %2。").arg(path, missing.join(u'、'));
    // A write that is rolled back proves the file (and its folder, for the
    // journal) writable and leaves it as it was.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return errorText(query.lastError());
    QString failure;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        failure = errorText(query.lastError());
    else if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(query.value(0).toInt())))
        failure = QStringLiteral("%1 不可写：%2").arg(path, errorText(query.lastError()));
    query.exec(QStringLiteral("ROLLBACK"));
    return failure;
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
            failure = errorText(database.lastError());
        else
            failure = registerProblem(database, path);
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
    // Quoted where the folder's name needs it, so that a ";" in it is no end of the path.
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           SqlDialect::connectionValue(joinPath(programDirectory, kDatabaseFileName)) +
           ";OLEDB:Database ,, , adModeUnknown";
}

} // namespace regdesk

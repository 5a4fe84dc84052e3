#include "db/AdoDatabase.h"

#include "db/BarcodeCount.h"
#include "db/DatabaseSettings.h"
#include "db/NumberClaims.h"
#include "db/NumberOrder.h"
#include "db/PostgresRegisterSearch.h"
#include "db/PrivateConnection.h"
#include "db/ServerAddress.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/ProcessList.h"
#include "platform/Prompter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <atomic>
#include <unistd.h>

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

const QStringList& registerTables()
{
    static const QStringList tables = {QStringLiteral("发文登记表"), QStringLiteral("收文登记表"),
                                       QStringLiteral("人员信息表")};
    return tables;
}

// A desk on data.db is a process: alive while a process with this id and
// start time runs. Several desks of one process (tests) are told apart by a number.
QString dataFileSession()
{
    static std::atomic<int> counter{0};
    return QString::fromStdString(processIdentity(::getpid()).value_or(std::to_string(::getpid()))) + u':' +
           QString::number(++counter);
}

// A register from before numbering kept its count of barcodes gets the
// counter on first use (one reading of the register). Without it numbering
// counts by reading the register each time, so a register that cannot take
// it (a user without the right to create on the server) still works.
void installBarcodeCount(const QSqlDatabase& database)
{
    if (!BarcodeCount::isInstalled(database))
        BarcodeCount::install(database);
}

// Why an opened file cannot serve as the register database, or an empty
// text: SQLite opens a text file, an empty file or a read-only one without
// complaint, and every later query would then fail on its own.
QString registerProblem(const QSqlDatabase& database, const QString& path)
{
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return sqlErrorText(query.lastError());
    QStringList missing = registerTables();
    bool hasClaims = false;
    while (query.next()) {
        missing.removeAll(query.value(0).toString());
        hasClaims = hasClaims || query.value(0).toString() == QStringLiteral("号码占用表");
    }
    // A read left open would make the write below give up at once while
    // another desk commits, instead of waiting its turn.
    query.finish();
    if (!missing.isEmpty())
        return QStringLiteral("%1 不是登记数据库：其中没有 %2。").arg(path, missing.join(u'、'));
    // A write that is rolled back proves the file (and its folder, for the
    // journal) writable and leaves it as it was.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return sqlErrorText(query.lastError());
    QString failure;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        failure = sqlErrorText(query.lastError());
    else if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(query.value(0).toInt())))
        failure = QStringLiteral("%1 不可写：%2").arg(path, sqlErrorText(query.lastError()));
    query.exec(QStringLiteral("ROLLBACK"));
    if (!failure.isEmpty())
        return failure;
    // A register from before several desks shared one gets the table of their number claims.
    if (!hasClaims && !query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS 号码占用表 (种类 TEXT NOT NULL, 号码 TEXT "
                                                 "NOT NULL, 序列 TEXT NOT NULL, 序号 INTEGER NOT NULL, 会话 TEXT, "
                                                 "时间 TEXT, PRIMARY KEY (种类, 号码))")))
        return sqlErrorText(query.lastError());
    installBarcodeCount(database);
    return {};
}

// The same for a database on the server: the registers and the claims must
// be there and writable for this user (ServerAddress::open has made the text
// literals standard).
QString serverRegisterProblem(const QSqlDatabase& database, const ServerAddress& address)
{
    QSqlQuery query(database);
    // A desk never waits long for another: a lock held longer is a fault, reported as such.
    for (const char* setting : {"SET lock_timeout = '10s'", "SET idle_in_transaction_session_timeout = '60s'"}) {
        if (!query.exec(QString::fromLatin1(setting)))
            return sqlErrorText(query.lastError());
    }
    QStringList missing;
    QStringList readOnly;
    for (const QString& table : registerTables() + QStringList{QStringLiteral("号码占用表")}) {
        query.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL AND has_table_privilege(to_regclass(?), "
                                     "'SELECT, INSERT, UPDATE, DELETE'), to_regclass(?) IS NOT NULL"));
        for (int i = 0; i < 3; ++i)
            query.addBindValue(table);
        if (!query.exec() || !query.next())
            return sqlErrorText(query.lastError());
        if (!query.value(1).toBool())
            missing << table;
        else if (!query.value(0).toBool())
            readOnly << table;
    }
    if (!missing.isEmpty())
        return QStringLiteral("%1 不是登记数据库：其中没有 %2（先用 regdesk-admin init 建立）。")
            .arg(address.describe(), missing.join(u'、'));
    if (!readOnly.isEmpty())
        return QStringLiteral("用户不能写 %1 中的 %2。").arg(address.describe(), readOnly.join(u'、'));
    return {};
}

} // namespace

DbConnection::DbConnection(QString connectionName, Prompter& prompter, SqlDialect::Kind kind, QString session)
    : m_name(std::move(connectionName)), m_prompter(prompter), m_kind(kind), m_session(std::move(session))
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

QString AdoDatabase::openDataFile(const GbkString& connectionString, const QString& name)
{
    const QString path = QString::fromUtf8(toNativePath(SqlDialect::dataSourceOf(connectionString)));
    if (path.isEmpty())
        return QStringLiteral("连接字符串中没有数据库文件。");
    if (QString failure = openRegisterFile(name, path, RegisterFileMode::ReadWrite); !failure.isEmpty())
        return failure;
    const QSqlDatabase database = QSqlDatabase::database(name, false);
    if (QString failure = registerProblem(database, path); !failure.isEmpty())
        return failure;
    if (m_session.isEmpty())
        m_session = dataFileSession();
    return {};
}

QString AdoDatabase::openServer(const GbkString& connectionString, const QString& name)
{
    const ServerAddress address = ServerAddress::fromConnectionString(connectionString);
    if (QString failure = address.open(name); !failure.isEmpty())
        return failure;
    const QSqlDatabase database = QSqlDatabase::database(name, false);
    if (QString failure = serverRegisterProblem(database, address); !failure.isEmpty())
        return failure;
    // A search index written by an earlier version is rebuilt once; a desk
    // that may not (not the owner) searches on and leaves it to the owner's.
    PostgresRegisterSearch::renewStaleIndexes(database);
    installBarcodeCount(database);
    // Numbering reads a prefix's numbers through this index; a register that
    // cannot take it (a user without the right) is read by the statement.
    if (!NumberOrder::isInstalled(database))
        NumberOrder::install(database);
    return NumberClaims::holdServerSession(database, m_session);
}

bool AdoDatabase::openConnection(const GbkString& connectionString)
{
    m_connection.reset();
    const QString name = newConnectionName();
    const GbkString provider = SqlDialect::connectionItem(connectionString, "Provider");
    const bool server = provider == kPostgresProvider;
    QString failure;
    if (server)
        failure = openServer(connectionString, name);
    else if (provider.rfind("Microsoft.Jet.", 0) == 0)
        failure = openDataFile(connectionString, name);
    else
        failure =
            QStringLiteral("document.ini 的 [数据库] 中的类型“%1”不是 PostgreSQL 或 SQLite。").arg(toQString(provider));
    m_lastFailure = failure;
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        m_prompter.ask(nullptr,
                       Prompter::Message{QStringLiteral("发生错误:\n\n") + failure, QStringLiteral("系统提示"),
                                         Prompter::Buttons::Ok, Prompter::Icon::Warning, Prompter::Answer::Ok});
        return false;
    }
    m_connection = std::make_shared<DbConnection>(
        name, m_prompter, server ? SqlDialect::Kind::Postgres : SqlDialect::Kind::Sqlite, m_session);
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
    const DatabaseSettings settings = DatabaseSettings::ofDirectory(programDirectory);
    switch (settings.kind) {
    case DatabaseSettings::Kind::PostgreSql:
        return ServerAddress::fromSettings(settings).connectionString();
    case DatabaseSettings::Kind::Unknown:
        return "Provider=" + SqlDialect::connectionValue(settings.type);
    case DatabaseSettings::Kind::DataFile:
        break;
    }
    return dataFileConnectionString(programDirectory);
}

GbkString AdoDatabase::dataFileConnectionString(const GbkString& programDirectory)
{
    // Quoted where the folder's name needs it, so that a ";" in it is no end of the path.
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           SqlDialect::connectionValue(joinPath(programDirectory, kDatabaseFileName)) +
           ";OLEDB:Database ,, , adModeUnknown";
}

} // namespace regdesk

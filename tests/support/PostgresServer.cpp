#include "PostgresServer.h"

#include "db/RegisterDatabaseFile.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <cstdlib>
#include <unistd.h>

namespace regdesk::test {
namespace {

const QString kScript = QStringLiteral(REGDESK_TEST_SUPPORT_DIR "/postgres-test-cluster.sh");

QString readFirstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

// Runs the cluster script (also from a static destructor, after Qt has gone).
QString runScript(const QStringList& arguments)
{
    const QString errors = QDir::temp().filePath(QStringLiteral("regdesk-test-pg-%1.err").arg(::getpid()));
    QString command = QStringLiteral("sh '%1'").arg(kScript);
    for (const QString& argument : arguments)
        command += QStringLiteral(" '%1'").arg(argument);
    command += QStringLiteral(" 2>'%1'").arg(errors);
    const int status = std::system(command.toLocal8Bit().constData());
    QString failure;
    if (status != 0) {
        QFile file(errors);
        file.open(QIODevice::ReadOnly);
        failure = QStringLiteral("the test cluster script failed: ") + QString::fromLocal8Bit(file.readAll());
    }
    QFile::remove(errors);
    return failure;
}

} // namespace

PostgresServer& PostgresServer::instance()
{
    static PostgresServer server;
    return server;
}

PostgresServer::PostgresServer()
{
    const QString shared = qEnvironmentVariable("REGDESK_TEST_POSTGRES");
    if (!shared.isEmpty()) {
        m_socketFolder = readFirstLine(shared);
        if (m_socketFolder.isEmpty())
            m_failure = QStringLiteral("the test cluster named in %1 is not running").arg(shared);
        return;
    }
    // Run by hand: a cluster of this program's own, watched by the script.
    m_ownInfoFile = QDir::temp().filePath(QStringLiteral("regdesk-test-pg-%1.info").arg(::getpid()));
    m_failure = runScript({QStringLiteral("start"), m_ownInfoFile, QString::number(::getpid())});
    if (m_failure.isEmpty())
        m_socketFolder = readFirstLine(m_ownInfoFile);
}

PostgresServer::~PostgresServer()
{
    if (!m_ownInfoFile.isEmpty())
        runScript({QStringLiteral("stop"), m_ownInfoFile});
}

bool PostgresServer::runAsAdministrator(const QString& sql)
{
    const QString name = QStringLiteral("regdesk-test-administrator");
    bool done = false;
    if (address(QStringLiteral("postgres")).open(name).isEmpty()) {
        QSqlQuery query(QSqlDatabase::database(name, false));
        done = query.exec(sql);
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

QString PostgresServer::createDatabase()
{
    if (!m_failure.isEmpty())
        return {};
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("regdesk_%1_%2").arg(::getpid()).arg(++counter);
    return runAsAdministrator(QStringLiteral("CREATE DATABASE %1").arg(name)) ? name : QString();
}

QString PostgresServer::createRegister()
{
    const QString name = createDatabase();
    if (name.isEmpty())
        return {};
    const QString connection = QStringLiteral("regdesk-test-init");
    QString failure = address(name).open(connection);
    if (failure.isEmpty())
        failure = createServerRegister(QSqlDatabase::database(connection, false));
    QSqlDatabase::removeDatabase(connection);
    return failure.isEmpty() ? name : QString();
}

bool PostgresServer::setDatabaseDefault(const QString& database, const QString& setting)
{
    return runAsAdministrator(QStringLiteral("ALTER DATABASE %1 SET %2").arg(database, setting));
}

void PostgresServer::dropDatabase(const QString& name)
{
    if (!name.isEmpty())
        runAsAdministrator(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
}

ServerAddress PostgresServer::address(const QString& database) const
{
    return {m_socketFolder, {}, database, QStringLiteral("regdesk")};
}

std::string PostgresServer::settingsSection(const QString& database, const std::string& user) const
{
    return "[数据库]\n类型=PostgreSQL\n主机=" + m_socketFolder.toStdString() + "\n库名=" + database.toStdString() +
           "\n用户=" + user + "\n";
}

} // namespace regdesk::test

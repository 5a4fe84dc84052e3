#include "db/ServerAddress.h"

#include "db/AdoDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/SqlDialect.h"
#include "platform/GbkQt.h"

#include <QSqlError>

namespace regdesk {

QString sqlErrorText(const QSqlError& error)
{
    // SQLite's SQLITE_READONLY_DBMOVED: the file this connection opened no
    // longer has its name, as after another program's compaction replaced
    // it. Writing on would lose the change with the old file.
    if (error.nativeErrorCode() == QLatin1String("1032"))
        return QStringLiteral("数据库文件已被替换（另一程序压缩了它），本程序仍连在旧文件上，未写入。"
                              "请关闭本程序后重新打开。");
    return (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
}

ServerAddress ServerAddress::fromSettings(const DatabaseSettings& settings)
{
    return {toQString(settings.host), toQString(settings.port), toQString(settings.database), toQString(settings.user)};
}

ServerAddress ServerAddress::fromConnectionString(const GbkString& connectionString)
{
    using SqlDialect::connectionItem;
    return {toQString(connectionItem(connectionString, "Host")), toQString(connectionItem(connectionString, "Port")),
            toQString(connectionItem(connectionString, "Database")),
            toQString(connectionItem(connectionString, "User ID"))};
}

GbkString ServerAddress::connectionString() const
{
    using SqlDialect::connectionValue;
    return GbkString("Provider=") + AdoDatabase::kPostgresProvider + ";Host=" + connectionValue(fromQString(host)) +
           ";Port=" + connectionValue(fromQString(port)) + ";Database=" + connectionValue(fromQString(database)) +
           ";User ID=" + connectionValue(fromQString(user));
}

QString ServerAddress::describe() const
{
    const QString standard = QStringLiteral("默认");
    return QStringLiteral("库 %1（主机 %2，端口 %3，用户 %4）")
        .arg(database, host.isEmpty() ? standard : host, port.isEmpty() ? standard : port,
             user.isEmpty() ? standard : user);
}

QStringList ServerAddress::programArguments() const
{
    QStringList arguments;
    if (!host.isEmpty())
        arguments << QStringLiteral("--host=") + host;
    if (!port.isEmpty())
        arguments << QStringLiteral("--port=") + port;
    if (!user.isEmpty())
        arguments << QStringLiteral("--username=") + user;
    // As a connection string with the name quoted: a name holding "=" is then
    // still only a name, as it is to the desk's own connection.
    QString name = database;
    name.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    // Never ask on a terminal: libpq finds the password itself or fails.
    arguments << QStringLiteral("--no-password") << QStringLiteral("--dbname=dbname='%1'").arg(name);
    return arguments;
}

QString ServerAddress::open(const QString& connectionName) const
{
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!connection.isValid())
        return QStringLiteral("没有 PostgreSQL 的数据库驱动（QPSQL，Debian 软件包 libqt6sql6-psql）。");
    if (database.isEmpty())
        return QStringLiteral("document.ini 的 [数据库] 中没有库名。");
    if (!port.isEmpty()) {
        bool number = false;
        const int value = port.toInt(&number);
        if (!number || value <= 0 || value > 65535)
            return QStringLiteral("端口 %1 不是端口号。").arg(port);
        connection.setPort(value);
    }
    connection.setHostName(host);
    connection.setDatabaseName(database);
    connection.setUserName(user);
    // An unreachable server fails within seconds instead of holding the desk.
    // Every session starts with standard texts, whatever the server's or the
    // database's default: a backslash in a quoted text is then a backslash,
    // and the driver, which looks at the setting as it connects, quotes by
    // the same rule. This connection's clones carry the option too.
    connection.setConnectOptions(
        QStringLiteral("connect_timeout=10;application_name=regdesk;options=--standard_conforming_strings=on"));
    if (!connection.open())
        return sqlErrorText(connection.lastError());
    return {};
}

} // namespace regdesk

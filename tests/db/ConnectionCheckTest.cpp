// The database file the desk is given, as an administrator may get it wrong.
#include "FakePrompter.h"
#include "PostgresServer.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/ServerAddress.h"
#include "db/SqlDialect.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace regdesk;
using regdesk::test::TempDeskFolder;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A register, then changed by `damage`.
void damagedRegister(TempDeskFolder& folder, const std::function<void(QSqlQuery&, QFile&)>& damage)
{
    ASSERT_TRUE(folder.createDatabase());
    QFile file(folder.filePath(QStringLiteral("data.db")));
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        database.setDatabaseName(file.fileName());
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        damage(query, file);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
}

TEST(Connection, FileThatIsNoWritableRegisterFailsAsAMissingOneAndStaysUntouched)
{
    const std::pair<const char*, std::function<void(TempDeskFolder&)>> cases[] = {
        {"text file", [](TempDeskFolder& f) { f.writeFile(QStringLiteral("data.db"), std::string(200, 'x')); }},
        {"empty file", [](TempDeskFolder& f) { f.writeFile(QStringLiteral("data.db"), ""); }},
        {"without 人员信息表",
         [](TempDeskFolder& f) {
             damagedRegister(f, [](QSqlQuery& query, QFile&) { query.exec(QStringLiteral("DROP TABLE 人员信息表")); });
         }},
        // A write version above 2 in the header: SQLite opens it read-only, for root too.
        {"read-only register", [](TempDeskFolder& f) {
             damagedRegister(f, [](QSqlQuery&, QFile& file) {
                 file.open(QIODevice::ReadWrite);
                 file.seek(18);
                 file.write("\x03", 1);
             });
         }}};
    for (const auto& [name, prepare] : cases) {
        SCOPED_TRACE(name);
        TempDeskFolder folder;
        prepare(folder);
        const QByteArray before = contents(folder.filePath(QStringLiteral("data.db")));
        test::FakePrompter prompter;
        AdoDatabase database(prompter);
        EXPECT_FALSE(database.openConnection(AdoDatabase::connectionStringFor(folder.gbkPath())));
        EXPECT_EQ(database.connection(), nullptr);
        ASSERT_EQ(prompter.shown().size(), 1u);
        EXPECT_TRUE(prompter.shown().front().message.text.startsWith(QStringLiteral("发生错误:\n\n")));
        EXPECT_EQ(contents(folder.filePath(QStringLiteral("data.db"))), before);
    }
}

TEST(Connection, StringKeepsEveryCharacterOfTheFolder)
{
    for (const GbkString folder : {"/a;b", "/a\";b", "/a'b", " /lead", "/x;Data Source=/y"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(SqlDialect::dataSourceOf(AdoDatabase::connectionStringFor(folder)), folder + "/data.db");
    }
}

// The section [数据库] as an office may write it.
TEST(DatabaseChoice, IsReadFromTheDatabaseSection)
{
    const struct
    {
        const char* ini;
        DatabaseSettings::Kind kind;
        const char* host;
    } cases[] = {
        {"", DatabaseSettings::Kind::DataFile, ""},
        {"[数据库]\r\n类型=SQLite\r\n主机=x\r\n", DatabaseSettings::Kind::DataFile, "x"},
        {"[数据库]\r\n类型= postgresql \r\n主机=db.example\r\n", DatabaseSettings::Kind::PostgreSql, "db.example"},
        {"[数据库]\r\n类型=Oracle\r\n", DatabaseSettings::Kind::Unknown, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        TempDeskFolder folder;
        folder.writeFile(QStringLiteral("document.ini"), utf8ToGbk(c.ini));
        const DatabaseSettings settings = DatabaseSettings::ofDirectory(folder.gbkPath());
        EXPECT_EQ(settings.kind, c.kind);
        EXPECT_EQ(settings.host, c.host);
    }
    TempDeskFolder folder;
    folder.writeSettings("[数据库]\n类型=PostgreSQL\n主机=/run/o'p\"g\n端口=5433\n库名=登记\n用户=张三\n");
    const GbkString text = AdoDatabase::connectionStringFor(folder.gbkPath());
    const ServerAddress address = ServerAddress::fromConnectionString(text);
    EXPECT_EQ(address.host, QStringLiteral("/run/o'p\"g"));
    EXPECT_EQ(address.port, QStringLiteral("5433"));
    EXPECT_EQ(address.database, QStringLiteral("登记"));
    EXPECT_EQ(address.user, QStringLiteral("张三"));
}

// What the desk cannot use fails as a missing data.db does: one error box, no connection.
TEST(Connection, ServerThatCannotServeTheDeskFailsAsAMissingDatabase)
{
    test::PostgresServer& server = test::PostgresServer::instance();
    ASSERT_TRUE(server.failure().isEmpty()) << server.failure().toStdString();
    const QString empty = server.createDatabase();
    const std::pair<const char*, std::string> cases[] = {
        {"no server", "[数据库]\n类型=PostgreSQL\n主机=/nonexistent/socket/folder\n库名=x\n"},
        {"no such database", server.settingsSection(QStringLiteral("no_such_database"))},
        {"no registers in it", server.settingsSection(empty)},
        {"port is no number", server.settingsSection(empty) + "端口=五\n"},
        {"unknown type", "[数据库]\n类型=Oracle\n"},
    };
    for (const auto& [name, settings] : cases) {
        SCOPED_TRACE(name);
        TempDeskFolder folder;
        folder.writeSettings(settings);
        test::FakePrompter prompter;
        AdoDatabase database(prompter);
        EXPECT_FALSE(database.openConnection(AdoDatabase::connectionStringFor(folder.gbkPath())));
        EXPECT_EQ(database.connection(), nullptr);
        ASSERT_EQ(prompter.shown().size(), 1u);
        EXPECT_TRUE(prompter.shown().front().message.text.startsWith(QStringLiteral("发生错误:\n\n")));
        EXPECT_EQ(prompter.shown().front().message.caption, QStringLiteral("系统提示"));
        EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("data.db"))));
    }
    server.dropDatabase(empty);
}

} // namespace

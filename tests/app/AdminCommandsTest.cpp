#include "app/AdminCommands.h"

#include "FakePrompter.h"
#include "PostgresServer.h"
#include "RegdeskVersion.h"
#include "TempDeskFolder.h"
#include "TestData.h"
#include "db/AdoDatabase.h"
#include "db/PostgresRegisterSearch.h"
#include "db/RegisterStatements.h"
#include "platform/Gbk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

void writeGbk(const QString& path, const std::string& utf8)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::string gbk = utf8ToGbk(utf8);
    file.write(gbk.data(), static_cast<qint64>(gbk.size()));
}

TEST(AdminInit, CreatesTheThreeRegistersAndNeverOverwrites)
{
    QTemporaryDir dir;
    const AdminResult first = runAdminCommand({"init", dir.path().toStdString()});
    ASSERT_EQ(first.exitCode, 0) << first.errors;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("data.db"));
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        // The registers and the trail, without the search indexes' own tables, the number claims and the
        // count of barcodes.
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE "
                                              "'%检索%' AND name NOT IN ('号码占用表', '制码计数') ORDER BY name")));
        QStringList tables;
        while (query.next())
            tables << query.value(0).toString();
        EXPECT_EQ(tables,
                  (QStringList{QStringLiteral("人员信息表"), QStringLiteral("发文登记表"), QStringLiteral("回收站附件"),
                               QStringLiteral("操作日志"), QStringLiteral("收文登记表")}));
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO 发文登记表 (发文号) VALUES ('keep')")));
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    const AdminResult second = runAdminCommand({"init", dir.path().toStdString()});
    EXPECT_NE(second.exitCode, 0);
    EXPECT_NE(second.errors.find("already exists"), std::string::npos);
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check2"));
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM 发文登记表"), database);
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toInt(), 1);
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check2"));
}

TEST(AdminInit, RefusesAMissingFolderAndBadUsage)
{
    const AdminResult missing = runAdminCommand({"init", "/nonexistent/folder"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.errors.find("no such folder"), std::string::npos);
    EXPECT_NE(runAdminCommand({"frobnicate"}).exitCode, 0);
    EXPECT_NE(runAdminCommand({}).exitCode, 0);
}

TEST(AdminHelp, HelpNamesEveryCommandAndEachCommandHasItsOwn)
{
    const AdminResult help = runAdminCommand({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: regdesk-admin COMMAND")) << help.output;
    EXPECT_EQ(runAdminCommand({"help"}).output, help.output);
    for (const char* command :
         {"init", "settings", "edit-settings", "initials", "import-people", "compact", "backup", "index", "copy"}) {
        SCOPED_TRACE(command);
        EXPECT_NE(help.output.find(std::string("\n  ") + command + " "), std::string::npos);
        const AdminResult one = runAdminCommand({"help", command});
        EXPECT_EQ(one.exitCode, 0);
        EXPECT_TRUE(one.output.starts_with(std::string("Usage: regdesk-admin ") + command + " ")) << one.output;
    }
    const AdminResult unknown = runAdminCommand({"help", "frobnicate"});
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_NE(unknown.errors.find("no such command: frobnicate"), std::string::npos);
    EXPECT_EQ(runAdminCommand({"help", "init", "x"}).exitCode, 64);
    EXPECT_EQ(runAdminCommand({"frobnicate"}).exitCode, 64);
    EXPECT_EQ(runAdminCommand({"init"}).exitCode, 64);
    EXPECT_TRUE(runAdminCommand({"--version"}).output.starts_with("regdesk-admin " REGDESK_VERSION "\n"));
}

TEST(AdminInit, ReportsAFolderWhereNoFileCanBeCreated)
{
    // Nobody, root included, can create a file in /proc.
    const AdminResult result = runAdminCommand({"init", "/proc"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errors.find("cannot create"), std::string::npos) << result.errors;
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/data.db")));
}

TEST(AdminSettings, ListsSectionsKeysAndTraps)
{
    QTemporaryDir dir;
    writeGbk(
        QDir(dir.path()).filePath(QStringLiteral("document.ini")),
        "[发文设置]\r\n制码单位 =某法院\r\n标题=关于;注\r\n\r\n[发文型式]\r\n1=某中法\r\n[主送单位]\r\n1=省法院\r\n");
    const AdminResult result = runAdminCommand({"settings", dir.path().toStdString()});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    const std::string& out = result.output;
    EXPECT_NE(out.find("[发文设置]\n0\t制码单位 \t某法院\n1\t标题\t关于\n"), std::string::npos) << out;
    // The list swallows the next header and its entry.
    EXPECT_NE(out.find("[发文型式]\n0\t1\t某中法\n1\t[主送单位]\t\n2\t1\t省法院\n"), std::string::npos) << out;
    EXPECT_NE(out.find("发文设置/制码单位=\n"), std::string::npos);
    EXPECT_NE(out.find("发文设置/标题=关于\n"), std::string::npos);
    EXPECT_NE(out.find("warning: line 2: \"制码单位 \" differs from the key 发文设置/制码单位 only by blanks"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("error: line 5: list section [发文型式] is followed directly by the header [主送单位]"),
              std::string::npos)
        << out;
}

TEST(AdminSettings, WarnsOfAFileSavedAsUtf8AndNamesTheFix)
{
    QTemporaryDir dir;
    QFile file(QDir(dir.path()).filePath(QStringLiteral("document.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[发文设置]\r\n标题=关于\r\n");
    file.close();
    const AdminResult utf8 = runAdminCommand({"settings", dir.path().toStdString()});
    EXPECT_EQ(utf8.exitCode, 0);
    EXPECT_NE(utf8.errors.find("looks like UTF-8"), std::string::npos) << utf8.errors;
    EXPECT_NE(utf8.errors.find("regdesk-admin edit-settings " + dir.path().toStdString()), std::string::npos);
    EXPECT_NE(utf8.errors.find("iconv -f UTF-8 -t GBK"), std::string::npos);

    writeGbk(QDir(dir.path()).filePath(QStringLiteral("document.ini")), "[发文设置]\r\n标题=关于\r\n");
    EXPECT_EQ(runAdminCommand({"settings", dir.path().toStdString()}).errors, "");
}

// The real program with a script for an editor and "y" on its standard input.
TEST(AdminEditSettings, WritesTheEditedValueAfterAYes)
{
    QTemporaryDir dir;
    const QString settings = QDir(dir.path()).filePath(QStringLiteral("document.ini"));
    writeGbk(settings, "[PDF]\r\nWidth=60\r\nHeight=20\r\n");
    const QString editor = QDir(dir.path()).filePath(QStringLiteral("editor.sh"));
    {
        QFile script(editor);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nsed -i 's/^Width=60$/Width=70/' \"$1\"\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcess admin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VISUAL"));
    environment.insert(QStringLiteral("EDITOR"), editor);
    admin.setProcessEnvironment(environment);
    admin.start(QStringLiteral(REGDESK_ADMIN_PROGRAM), {QStringLiteral("edit-settings"), dir.path()});
    ASSERT_TRUE(admin.waitForStarted());
    admin.write("y\n");
    admin.closeWriteChannel();
    ASSERT_TRUE(admin.waitForFinished(60000));
    const QByteArray output = admin.readAllStandardOutput();
    EXPECT_EQ(admin.exitCode(), 0) << output.toStdString() << admin.readAllStandardError().toStdString();
    EXPECT_TRUE(output.contains("-2: Width=60\n+2: Width=70\n")) << output.toStdString();
    QFile written(settings);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("[PDF]\r\nWidth=70\r\nHeight=20\r\n"));
}

TEST(AdminSettings, CleanFileHasNoWarningsAndMissingFileIsEmpty)
{
    QTemporaryDir dir;
    const AdminResult missing = runAdminCommand({"settings", dir.path().toStdString()});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_NE(missing.errors.find("does not exist"), std::string::npos);
    EXPECT_NE(missing.output.find("PDF/Width=\n"), std::string::npos);

    writeGbk(QDir(dir.path()).filePath(QStringLiteral("document.ini")),
             "[发文型式]\r\n1=某中法\r\n\r\n[PDF]\r\nWidth=60\r\n");
    const AdminResult clean = runAdminCommand({"settings", dir.path().toStdString()});
    EXPECT_EQ(clean.output.find("warning"), std::string::npos) << clean.output;
    EXPECT_NE(clean.output.find("PDF/Width=60\n"), std::string::npos);
}

TEST(AdminInitials, PrintsTheInitialsOfAUtf8Name)
{
    EXPECT_EQ(runAdminCommand({"initials", "欧阳修"}).output, "OYX\n");
    EXPECT_EQ(runAdminCommand({"initials", "Li"}).output, "\n");
}

// The same import as the form's, with the real initials.
TEST(AdminImportPeople, ReplacesThePersonnelTableFromASheet)
{
    test::TempDeskFolder folder;
    ASSERT_TRUE(folder.createDatabase());
    folder.writeFile(QStringLiteral("people.xls"), test::testData("people/people-gap.xls"));
    const std::string desk = folder.path().toStdString();

    const AdminResult imported = runAdminCommand({"import-people", desk, desk + "/people.xls"});

    ASSERT_EQ(imported.exitCode, 0) << imported.errors;
    EXPECT_EQ(imported.output, "更新信息2条\n人员信息表 now holds 2 names\n");
    QStringList rows;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("people"));
        database.setDatabaseName(folder.filePath(QStringLiteral("data.db")));
        ASSERT_TRUE(database.open());
        QSqlQuery query(QStringLiteral("SELECT 姓名, 简称 FROM 人员信息表"), database);
        while (query.next())
            rows << query.value(0).toString() + QLatin1Char('=') + query.value(1).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("people"));
    EXPECT_EQ(rows, (QStringList{QStringLiteral("张三=ZS"), QStringLiteral("李四=LS")}));

    const AdminResult rejected = runAdminCommand({"import-people", desk, desk + "/missing.xls"});
    EXPECT_EQ(rejected.exitCode, 1);
    EXPECT_EQ(rejected.errors, "Excel 文件有错误！\nregdesk-admin: 人员信息表 is unchanged\n");
}

TEST(AdminMaintenance, BackupReplacesTheOlderBackupsAndCompactKeepsTheRegister)
{
    QTemporaryDir dir;
    ASSERT_EQ(runAdminCommand({"init", dir.path().toStdString()}).exitCode, 0);
    QFile older(QDir(dir.path()).filePath(QStringLiteral("2020年1月1日0时0分.bak")));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.close();

    const AdminResult backup = runAdminCommand({"backup", dir.path().toStdString()});
    ASSERT_EQ(backup.exitCode, 0) << backup.errors;
    const QStringList backups = QDir(dir.path()).entryList({QStringLiteral("*.bak")}, QDir::Files);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_TRUE(backups.front().startsWith(QString::number(QDate::currentDate().year()) + u'年'));
    EXPECT_EQ(backup.output, "backed up to " + QDir(dir.path()).filePath(backups.front()).toStdString() + "\n");

    const AdminResult compact = runAdminCommand({"compact", dir.path().toStdString()});
    EXPECT_EQ(compact.exitCode, 0) << compact.errors;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // data.db and the backup
    EXPECT_EQ(runAdminCommand({"compact", "/nonexistent/folder"}).exitCode, 2);
}

TEST(AdminSettings, ShowsWhichDatabaseTheDeskWouldUse)
{
    test::TempDeskFolder folder;
    const auto database = [&folder] {
        const std::string out = runAdminCommand({"settings", folder.path().toStdString()}).output;
        return out.substr(out.find("database: "));
    };
    EXPECT_EQ(database(), "database: SQLite " + folder.filePath(QStringLiteral("data.db")).toStdString() + "\n");
    folder.writeSettings("[数据库]\n类型=PostgreSQL\n主机=db.example\n库名=登记\n");
    EXPECT_EQ(database(),
              "database: PostgreSQL 库 登记（主机 db.example，端口 默认，用户 默认）; the password comes from "
              "~/.pgpass, PGPASSFILE or a service file\n");
    folder.writeSettings("[数据库]\n类型=Oracle\n");
    EXPECT_NE(database().find("warning: [数据库] 类型=Oracle is neither PostgreSQL nor SQLite"), std::string::npos);
}

// A desk folder whose document.ini names a new database of the test cluster.
class ServerFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_database = m_server.createDatabase();
        ASSERT_FALSE(m_database.isEmpty()) << m_server.failure().toStdString();
        m_folder.writeSettings(m_server.settingsSection(m_database));
    }
    void TearDown() override
    {
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        m_server.dropDatabase(m_database);
    }
    std::string folder() const { return m_folder.path().toStdString(); }
    QString value(const QString& sql)
    {
        if (!QSqlDatabase::contains(QStringLiteral("check")))
            m_server.address(m_database).open(QStringLiteral("check"));
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("check"), false));
        return query.exec(sql) && query.next() ? query.value(0).toString() : QStringLiteral("?");
    }

    test::PostgresServer& m_server = test::PostgresServer::instance();
    test::TempDeskFolder m_folder;
    QString m_database;
};

TEST_F(ServerFolder, InitCreatesTheRegistersOnTheServerAndNeverOverwrites)
{
    const AdminResult first = runAdminCommand({"init", folder()});
    ASSERT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_EQ(first.output.rfind("created the registers in 库 " + m_database.toStdString(), 0), 0u) << first.output;
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("data.db"))));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("0"));
    const AdminResult second = runAdminCommand({"init", folder()});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_NE(second.errors.find("already holds 发文登记表、收文登记表、人员信息表、号码占用表"), std::string::npos)
        << second.errors;
}

// data.db with two outgoing registrations (one with an attachment), one incoming and two people.
void fillDataFile(const QString& path)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("source"));
    database.setDatabaseName(path);
    ASSERT_TRUE(database.open());
    QSqlQuery query(database);
    for (const char* statement :
         {"INSERT INTO 发文登记表 (发文号, 标题, 条码已打) VALUES ('法〔2026〕1号', '甲', '是')",
          "INSERT INTO 发文登记表 (发文号, 标题, 文件类型, 文件数据) VALUES ('法〔2026〕2号', 'O''Brien', 'doc', "
          "x'00ff27')",
          "INSERT INTO 收文登记表 (发文号, 标题) VALUES ('外〔2026〕9号', '乙')",
          "INSERT INTO 人员信息表 (姓名, 简称) VALUES ('张三', 'ZS')", "INSERT INTO 人员信息表 (姓名) VALUES ('李四')"})
        ASSERT_TRUE(query.exec(QString::fromUtf8(statement))) << statement;
    query.finish();
    database.close();
}

TEST_F(ServerFolder, CopyMovesEveryRegistrationAndPersonAndPrintsTheCountsOfBothSides)
{
    ASSERT_TRUE(m_folder.createDatabase());
    fillDataFile(m_folder.filePath(QStringLiteral("data.db")));
    QSqlDatabase::removeDatabase(QStringLiteral("source"));

    const AdminResult copied = runAdminCommand({"copy", folder()});
    ASSERT_EQ(copied.exitCode, 0) << copied.errors;
    EXPECT_NE(copied.output.find("发文登记表: read 2 records (1 with attachments, 3 bytes); wrote 2; the server had 0 "
                                 "records (0 with attachments, 0 bytes) and now has 2 records (1 with attachments, 3 "
                                 "bytes)\n"),
              std::string::npos)
        << copied.output;
    EXPECT_NE(
        copied.output.find("人员信息表: read 2 records; wrote 2; the server had 0 records and now has 2 records\n"),
        std::string::npos)
        << copied.output;
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(发文号 || 标题, ',' ORDER BY rowid) FROM 发文登记表")),
              QStringLiteral("法〔2026〕1号甲,法〔2026〕2号O'Brien"));
    EXPECT_EQ(value(QStringLiteral("SELECT encode(文件数据, 'hex') FROM 发文登记表 WHERE 文件类型 = 'doc'")),
              QStringLiteral("00ff27"));

    // A register that is not empty is copied into only when told to; people are not doubled.
    const AdminResult again = runAdminCommand({"copy", folder()});
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_NE(again.errors.find("Give --append"), std::string::npos) << again.errors;
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("2"));
    const AdminResult appended = runAdminCommand({"copy", "--append", folder()});
    ASSERT_EQ(appended.exitCode, 0) << appended.errors;
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("4"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 人员信息表")), QStringLiteral("2"));
}

// On a server whose sessions start with standard_conforming_strings = off,
// a backslash in a quoted text is an escape; the copy's connection turns it on.
TEST_F(ServerFolder, CopyOntoAServerWithNonStandardStringsKeepsTextsAndTheSearchIndexRight)
{
    ASSERT_TRUE(m_server.setDatabaseDefault(m_database, QStringLiteral("standard_conforming_strings = off")));
    ASSERT_TRUE(m_folder.createDatabase());
    const QString hostile = QStringLiteral("X\\' OR TRUE; DELETE FROM 发文登记表; --");
    {
        QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("source"));
        source.setDatabaseName(m_folder.filePath(QStringLiteral("data.db")));
        ASSERT_TRUE(source.open());
        QSqlQuery query(source);
        query.prepare(QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题) VALUES (?, ?)"));
        for (const auto& [number, title] : {std::pair{hostile, QStringLiteral("关于表彰的决定")},
                                            std::pair{QStringLiteral("法〔2026〕2号"), QStringLiteral("通知")}}) {
            query.addBindValue(number);
            query.addBindValue(title);
            ASSERT_TRUE(query.exec());
        }
        query.finish();
        source.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("source"));

    const AdminResult copied = runAdminCommand({"copy", folder()});
    ASSERT_EQ(copied.exitCode, 0) << copied.errors;
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("2"));
    EXPECT_EQ(value(QStringLiteral("SELECT 发文号 FROM 发文登记表 WHERE 标题 = '关于表彰的决定'")), hostile);

    // The desk finds the copied record through the index, as on a large register.
    test::FakePrompter prompter;
    AdoDatabase desk(prompter);
    ASSERT_TRUE(desk.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())));
    ASSERT_TRUE(QSqlQuery(QSqlDatabase::database(desk.connection()->name(), false))
                    .exec(QStringLiteral("SET enable_seqscan = off")));
    PostgresRegisterSearch search(desk.connection());
    const SearchResult found = search.fuzzy(RegisterStatements::outgoingTable(), {"表彰"_gbk}, {});
    EXPECT_EQ(found.error, QString());
    EXPECT_EQ(found.rows.size(), 1u);
}

TEST_F(ServerFolder, CopyRefusesAFolderWithoutAServerOrARegister)
{
    const AdminResult missing = runAdminCommand({"copy", folder()});
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_NE(missing.errors.find("nothing was copied"), std::string::npos) << missing.errors;
    test::TempDeskFolder plain;
    ASSERT_TRUE(plain.createDatabase());
    EXPECT_NE(runAdminCommand({"copy", plain.path().toStdString()}).errors.find("names no PostgreSQL database"),
              std::string::npos);
}

} // namespace

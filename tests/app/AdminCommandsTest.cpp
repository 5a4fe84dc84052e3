#include "app/AdminCommands.h"

#include "TempDeskFolder.h"
#include "TestData.h"
#include "platform/Gbk.h"

#include <QDir>
#include <QFile>
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
        // The registers, without the search indexes' own tables.
        ASSERT_TRUE(query.exec(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE '%检索%' ORDER BY name")));
        QStringList tables;
        while (query.next())
            tables << query.value(0).toString();
        EXPECT_EQ(tables, (QStringList{QStringLiteral("人员信息表"), QStringLiteral("发文登记表"),
                                       QStringLiteral("收文登记表")}));
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
    EXPECT_NE(out.find("warning: list section [发文型式] is followed directly by the header [主送单位]"),
              std::string::npos)
        << out;
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

} // namespace

// The database file the desk is given, as an administrator may get it wrong.
#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "db/SqlDialect.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace regdesk;
using regdesk::test::FakePrompter;
using regdesk::test::TempDeskFolder;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void runSql(const QString& path, const QString& statement)
{
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
}

using Prepare = void (*)(TempDeskFolder& folder, const QString& path);

struct UnusableCase
{
    const char* name;
    Prepare prepare;

    friend void PrintTo(const UnusableCase& row, std::ostream* out) { *out << row.name; }
};

class UnusableDatabase : public ::testing::TestWithParam<UnusableCase>
{
};

TEST_P(UnusableDatabase, FailsAsAMissingOneAndStaysUntouched)
{
    TempDeskFolder folder;
    const QString path = folder.filePath(QStringLiteral("data.db"));
    GetParam().prepare(folder, path);
    const QByteArray before = contents(path);
    FakePrompter prompter;
    AdoDatabase database(prompter);

    EXPECT_FALSE(database.openConnection(AdoDatabase::connectionStringFor(folder.gbkPath())));
    EXPECT_EQ(database.connection(), nullptr);
    ASSERT_EQ(prompter.shown().size(), 1u);
    const auto& box = prompter.shown().front().message;
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("发生错误:\n\n"))) << box.text.toStdString();
    EXPECT_GT(box.text.size(), 7);
    EXPECT_EQ(box.caption, QStringLiteral("系统提示"));
    EXPECT_EQ(contents(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableDatabase,
    ::testing::Values(UnusableCase{"TextFile",
                                   [](TempDeskFolder& folder, const QString&) {
                                       folder.writeFile(QStringLiteral("data.db"), std::string(200, 'x'));
                                   }},
                      UnusableCase{"EmptyFile",
                                   [](TempDeskFolder& folder, const QString&) {
                                       folder.writeFile(QStringLiteral("data.db"), "");
                                   }},
                      UnusableCase{"WithoutThePersonnelTable",
                                   [](TempDeskFolder& folder, const QString& path) {
                                       ASSERT_TRUE(folder.createDatabase());
                                       runSql(path, QStringLiteral("DROP TABLE 人员信息表"));
                                   }},
                      // A write version above 2 in the header makes SQLite open the file read-only, for root too.
                      UnusableCase{"ReadOnlyDatabase",
                                   [](TempDeskFolder& folder, const QString& path) {
                                       ASSERT_TRUE(folder.createDatabase());
                                       QFile file(path);
                                       ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                                       ASSERT_TRUE(file.seek(18));
                                       ASSERT_EQ(file.write("\x03", 1), 1);
                                   }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ConnectionString, KeepsEveryCharacterOfTheFolder)
{
    for (const GbkString folder : {"/desk", "/a;b", "/a\";b", "/a'b", " /lead", "/x;Data Source=/y", "/法;院"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(SqlDialect::dataSourceOf(AdoDatabase::connectionStringFor(folder)), folder + "/data.db");
    }
}

TEST(ConnectionString, ProgramFolderWithASemicolonReachesItsOwnDatabase)
{
    TempDeskFolder root;
    ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("程序;目录")));
    const QString folder = root.filePath(QStringLiteral("程序;目录"));
    TempDeskFolder source; // a register made elsewhere, copied in
    ASSERT_TRUE(source.createDatabase());
    ASSERT_TRUE(QFile::copy(source.filePath(QStringLiteral("data.db")), folder + QStringLiteral("/data.db")));

    FakePrompter prompter;
    AdoDatabase database(prompter);
    ASSERT_TRUE(database.openConnection(AdoDatabase::connectionStringFor(utf8ToGbk(folder.toStdString()))));
    EXPECT_TRUE(prompter.shown().empty());
}

} // namespace

// The database file the desk is given, as an administrator may get it wrong.
#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "db/SqlDialect.h"

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

} // namespace

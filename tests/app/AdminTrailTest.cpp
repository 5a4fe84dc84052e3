// regdesk-admin log and restore on a desk folder's data.db; rows of the trail
// edited, deleted and swapped with the sqlite3 program.
#include "TempDeskFolder.h"
#include "app/AdminCommands.h"
#include "db/PrivateConnection.h"
#include "db/RegisterRecords.h"
#include "db/TransactionGuard.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class AdminTrail : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.createDatabase());
        // Three records, one deleted in the query window's way; its number ends in a blank.
        ASSERT_TRUE(sqlite({QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题, 文件类型, 文件数据) VALUES "
                                           "('法〔2026〕1号 ', '甲', 'doc', CAST('甲的附件' AS BLOB)), "
                                           "('法〔2026〕2号', '乙', '', NULL), ('法〔2026〕3号', '丙', '', NULL)")}));
        const PrivateConnection connection(database(), RegisterFileMode::ReadWrite);
        TransactionGuard transaction(connection.database());
        ASSERT_EQ(RegisterRecords(connection.database()).remove("发文登记表"_gbk, {1, 2, 3}), QString());
        ASSERT_TRUE(transaction.commit());
    }
    QString database() const { return m_folder.filePath(QStringLiteral("data.db")); }
    std::string desk() const { return m_folder.path().toStdString(); }
    // Runs SQL through the sqlite3 program, as someone editing the file by hand would.
    bool sqlite(const QStringList& statements)
    {
        QProcess program;
        program.start(QStringLiteral("sqlite3"), {database(), statements.join(QStringLiteral(";"))});
        return program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit &&
               program.exitCode() == 0;
    }

    test::TempDeskFolder m_folder;
};

TEST_F(AdminTrail, LogPrintsOneLineAChangeWithTheNumberAsStored)
{
    const AdminResult all = runAdminCommand({"log", desk()});
    EXPECT_EQ(all.exitCode, 0) << all.errors;
    const QStringList lines = QString::fromStdString(all.output).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("#1  ")));
    EXPECT_TRUE(
        lines[0].contains(QStringLiteral("删除记录  发文登记表  发文号=\"法〔2026〕1号 \"  附件=12字节 sha256:")))
        << lines[0].toStdString();
    const AdminResult one = runAdminCommand({"log", desk(), "--number", " 法〔2026〕2号"});
    EXPECT_EQ(QString::fromStdString(one.output).count(u'\n'), 1);
    EXPECT_TRUE(QString::fromStdString(one.output).contains(QStringLiteral("乙")));
    EXPECT_EQ(runAdminCommand({"log", desk(), "--since", "2999-01-01"}).output, "操作日志: no rows\n");
    EXPECT_EQ(runAdminCommand({"log", desk(), "--since", "yesterday"}).exitCode, 64);
    EXPECT_EQ(runAdminCommand({"log", desk(), "--frobnicate"}).exitCode, 64);
}

TEST_F(AdminTrail, ExportWritesEveryColumnAndTellsNullFromEmpty)
{
    const QString csv = m_folder.filePath(QStringLiteral("trail.csv"));
    const AdminResult exported = runAdminCommand({"log", desk(), "--export", csv.toStdString()});
    EXPECT_EQ(exported.exitCode, 0) << exported.errors;
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith(QStringLiteral("\uFEFF编号,时间,").toUtf8()));
    const QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    // Row 2 has no attachment: 附件大小, 附件摘要 and 关联 are NULL, written as nothing.
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("\"2\",")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("\"发文登记表\",\"法〔2026〕2号\",\"[[\"\"发文号\"\",")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("]]\",,,,\""))) << lines[2].toStdString();
}

TEST_F(AdminTrail, RestorePutsTheRecordBackOnceAndLogsIt)
{
    const AdminResult restored = runAdminCommand({"restore", desk(), "1"});
    EXPECT_EQ(restored.exitCode, 0) << restored.errors;
    const AdminResult again = runAdminCommand({"restore", desk(), "1"});
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_NE(again.errors.find("恢复过"), std::string::npos) << again.errors;
    EXPECT_EQ(runAdminCommand({"restore", desk(), "x1"}).exitCode, 64);
    {
        const PrivateConnection connection(database(), RegisterFileMode::ReadOnly);
        QSqlQuery query(connection.database());
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT 发文号, 文件数据 FROM 发文登记表")) && query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("法〔2026〕1号 "));
        EXPECT_EQ(query.value(1).toByteArray(), QStringLiteral("甲的附件").toUtf8());
    }
    const AdminResult log = runAdminCommand({"log", desk(), "--number", "法〔2026〕1号"});
    EXPECT_NE(log.output.find("恢复记录  发文登记表  发文号=\"法〔2026〕1号 \""), std::string::npos) << log.output;
    EXPECT_NE(log.output.find("恢复自=#1"), std::string::npos);
    EXPECT_EQ(runAdminCommand({"log", desk(), "--verify"}).output, "操作日志: 4 rows, the chain is unbroken\n");
}

TEST_F(AdminTrail, VerifyNamesTheRowEditedDeletedOrSwappedWithSqlite3)
{
    const struct
    {
        const char* name;
        QString sql;
        const char* named;
    } cases[] = {
        {"edited", QStringLiteral("UPDATE 操作日志 SET 原记录 = replace(原记录, '乙', '丁') WHERE 编号 = 2"),
         "编号 2 "},
        {"deleted", QStringLiteral("DELETE FROM 操作日志 WHERE 编号 = 2"), "编号 3 "},
        {"swapped",
         QStringLiteral("UPDATE 操作日志 SET 编号 = -编号 WHERE 编号 IN (2, 3); "
                        "UPDATE 操作日志 SET 编号 = CASE 编号 WHEN -2 THEN 3 ELSE 2 END WHERE 编号 < 0"),
         "编号 2 "},
    };
    EXPECT_EQ(runAdminCommand({"log", desk(), "--verify"}).exitCode, 0);
    ASSERT_TRUE(QFile::copy(database(), m_folder.filePath(QStringLiteral("kept.db"))));
    for (const auto& tampering : cases) {
        ASSERT_TRUE(sqlite({tampering.sql})) << tampering.name;
        const AdminResult verified = runAdminCommand({"log", desk(), "--verify"});
        EXPECT_EQ(verified.exitCode, 1) << tampering.name;
        EXPECT_NE(verified.errors.find(tampering.named), std::string::npos)
            << tampering.name << ": " << verified.errors;
        ASSERT_TRUE(QFile::remove(database()));
        ASSERT_TRUE(QFile::copy(m_folder.filePath(QStringLiteral("kept.db")), database()));
    }
}

} // namespace

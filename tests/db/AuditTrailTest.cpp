// The trail of deletions and replacements: the chain as an auditor
// recomputes it, tampering found and named, the personnel import's rows, and
// restore refusing to double a number; on data.db and PostgreSQL.
#include "db/AuditTrail.h"

#include "TestDatabase.h"
#include "db/RegisterRecords.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <map>

namespace regdesk::test {
namespace {

// Computed apart from this code (Python's hashlib over the documented netstrings).
TEST(AuditChain, MatchesTheDocumentedRecomputation)
{
    AuditTrail::Entry entry;
    entry.id = 1;
    entry.utcTime = QStringLiteral("2026-01-02T03:04:05.000Z");
    entry.localTime = QStringLiteral("2026-01-02T11:04:05.000+08:00");
    entry.user = QStringLiteral("张三");
    entry.host = QStringLiteral("desk1");
    entry.process = 42;
    entry.action = QStringLiteral("删除记录");
    entry.table = QStringLiteral("发文登记表");
    entry.number = QStringLiteral("7号 ");
    entry.before = QStringLiteral("[[\"发文号\",\"7号 \"]]");
    entry.attachmentSize = 3;
    entry.attachmentDigest = QStringLiteral("abc");
    EXPECT_EQ(AuditTrail::chainValue(AuditTrail::chainStart(), entry),
              QStringLiteral("61309ef11e1ae24aa2866db642c2ab5cfb0a23dd1f09abb21b9c7171d7fa8a16"));
    entry.number = QStringLiteral("7号"); // a blank less is another row
    EXPECT_NE(AuditTrail::chainValue(AuditTrail::chainStart(), entry),
              QStringLiteral("61309ef11e1ae24aa2866db642c2ab5cfb0a23dd1f09abb21b9c7171d7fa8a16"));
}

class AuditTrailTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }
    QSqlDatabase database() const { return QSqlDatabase::database(m_db.connection()->name(), false); }
    std::vector<AuditTrail::Entry> entries() const
    {
        std::vector<AuditTrail::Entry> all;
        EXPECT_EQ(AuditTrail(database()).forEach({}, [&](const AuditTrail::Entry& e) { all.push_back(e); }), QString());
        return all;
    }
    void logEvents(int count)
    {
        for (int i = 1; i <= count; ++i)
            ASSERT_EQ(AuditTrail(database())
                          .recordEventAlone(AuditTrail::Action::Backup, {{QStringLiteral("备份"), QString::number(i)}}),
                      QString());
    }
    std::optional<qint64> firstBad() const { return AuditTrail(database()).verify().firstBad; }

    TestDatabase m_db{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Databases, AuditTrailTest, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         BackendName());

TEST_P(AuditTrailTest, TamperingIsFoundAtTheFirstRowThatNoLongerFits)
{
    const QString columns = QStringLiteral("时间, 本地时间, 用户, 主机, 进程, 操作, 表名, 发文号, 原记录, 附件大小, "
                                           "附件摘要, 关联, 链值");
    const struct
    {
        const char* name;
        QString sql;
        qint64 firstBad;
    } cases[] = {
        {"edited", QStringLiteral("UPDATE 操作日志 SET 原记录 = '[]' WHERE 编号 = 2"), 2},
        {"deleted", QStringLiteral("DELETE FROM 操作日志 WHERE 编号 = 2"), 3},
        {"swapped",
         QStringLiteral("UPDATE 操作日志 SET (%1) = (SELECT %1 FROM 操作日志 AS o WHERE o.编号 = 5 - 操作日志.编号) "
                        "WHERE 编号 IN (2, 3)")
             .arg(columns),
         2},
        {"last row's chain", QStringLiteral("UPDATE 操作日志 SET 链值 = upper(链值) WHERE 编号 = 4"), 4},
        {"renumbered", QStringLiteral("UPDATE 操作日志 SET 编号 = 编号 + 10 WHERE 编号 >= 3"), 13},
    };
    logEvents(4);
    ASSERT_FALSE(firstBad());
    EXPECT_EQ(AuditTrail(database()).verify().rows, 4);
    for (const auto& tampering : cases) {
        ASSERT_TRUE(m_db.execute(QStringLiteral("CREATE TABLE kept AS SELECT * FROM 操作日志")));
        ASSERT_TRUE(m_db.execute(tampering.sql)) << tampering.name;
        const AuditTrail::Verification verification = AuditTrail(database()).verify();
        EXPECT_EQ(verification.firstBad, tampering.firstBad) << tampering.name;
        EXPECT_TRUE(verification.reason.contains(QString::number(tampering.firstBad))) << tampering.name;
        ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 操作日志")));
        ASSERT_TRUE(m_db.execute(QStringLiteral("INSERT INTO 操作日志 SELECT * FROM kept")));
        ASSERT_TRUE(m_db.execute(QStringLiteral("DROP TABLE kept")));
        ASSERT_FALSE(firstBad()) << tampering.name;
    }
}

TEST_P(AuditTrailTest, AnOlderRegisterGetsTheTrailAtItsFirstChange)
{
    ASSERT_TRUE(m_db.execute(QStringLiteral("DROP TABLE 操作日志")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("DROP TABLE 回收站附件")));
    EXPECT_TRUE(entries().empty()); // read as an empty trail
    logEvents(2);
    EXPECT_EQ(entries().size(), 2u);
    EXPECT_FALSE(firstBad());
}

TEST_P(AuditTrailTest, RestoreRefusesANumberThatIsRegisteredAgainAndWhatIsNoRecord)
{
    const GbkString table = "发文登记表"_gbk;
    const qint64 id = m_db.insert(table, {{"发文号", "A1"_gbk}, {"标题", "旧"_gbk}});
    ASSERT_GE(id, 0);
    {
        TransactionGuard transaction(m_db.connection());
        ASSERT_EQ(
            AuditTrail(database()).recordRows(AuditTrail::Action::DeleteRecord, QStringLiteral("发文登记表"), {id}),
            QString());
        ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表")));
        ASSERT_TRUE(transaction.commit());
    }
    ASSERT_GE(m_db.insert(table, {{"发文号", "a1"_gbk}, {"标题", "新"_gbk}}), 0); // the same number to the register
    const AuditTrail::Restoration refused = AuditTrail(database()).restore(1);
    EXPECT_EQ(refused.outcome, AuditTrail::Restoration::Outcome::Refused);
    EXPECT_TRUE(refused.text.contains(QStringLiteral("a1"))) << refused.text.toStdString();
    logEvents(1);
    EXPECT_EQ(AuditTrail(database()).restore(2).outcome, AuditTrail::Restoration::Outcome::Refused);
    EXPECT_EQ(AuditTrail(database()).restore(99).outcome, AuditTrail::Restoration::Outcome::Refused);
    EXPECT_EQ(entries().size(), 2u); // refusals log nothing
}

// Deleted and restored through the desk's own paths, a record comes back
// column for column, awkward text and empty attachment included.
TEST_P(AuditTrailTest, ADeletedRecordComesBackExactlyAsItWas)
{
    const GbkString table = "发文登记表"_gbk;
    const GbkString title = GbkString("\"引号\" \\ 反斜杠\n换行\t制表\x01控制 ") + "尾"_gbk;
    const qint64 first = m_db.insert(table, {{"发文号", " 某〔2026〕1号 "_gbk}, {"标题", title}});
    const qint64 second = m_db.insert(table, {{"发文号", "某〔2026〕2号"_gbk}});
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    const RegisterRecords records(database());
    ASSERT_EQ(records.storeAttachment(table, {first}, "doc"_gbk, QByteArray("\0bytes\xff", 7)), QString());
    ASSERT_EQ(records.storeAttachment(table, {second}, "txt"_gbk, QByteArray("")), QString());
    const QString bytes =
        GetParam() == Backend::Postgres ? QStringLiteral("encode(文件数据, 'hex')") : QStringLiteral("hex(文件数据)");
    const auto rowOf = [&](const QString& number) {
        return m_db.value(QStringLiteral("SELECT coalesce(发文号, '-') || '|' || coalesce(标题, '-') || '|' || "
                                         "coalesce(密级, '-') || '|' || coalesce(文件类型, '-') || '|' || "
                                         "coalesce(%1, '-') FROM 发文登记表 WHERE 发文号 = '%2'")
                              .arg(bytes, number));
    };
    const QString firstBefore = rowOf(QStringLiteral(" 某〔2026〕1号 "));
    const QString secondBefore = rowOf(QStringLiteral("某〔2026〕2号"));
    ASSERT_FALSE(firstBefore.isEmpty());
    ASSERT_FALSE(secondBefore.isEmpty());
    {
        TransactionGuard transaction(m_db.connection());
        ASSERT_EQ(records.remove(table, {first, second}), QString());
        ASSERT_TRUE(transaction.commit());
    }
    ASSERT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("0"));
    const std::vector<AuditTrail::Entry> logged = entries();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].number, QStringLiteral(" 某〔2026〕1号 "));
    EXPECT_EQ(logged[0].attachmentSize, 7);
    EXPECT_EQ(logged[1].attachmentSize, 0);
    for (const AuditTrail::Entry& entry : logged)
        EXPECT_EQ(AuditTrail(database()).restore(entry.id).outcome, AuditTrail::Restoration::Outcome::Restored)
            << entry.id;
    EXPECT_EQ(rowOf(QStringLiteral(" 某〔2026〕1号 ")), firstBefore);
    EXPECT_EQ(rowOf(QStringLiteral("某〔2026〕2号")), secondBefore);
    EXPECT_FALSE(firstBad());
}

// data.db deletes many records a group at a time, logging each group after
// deleting it; kCount records numbered N1, N2, ... in row id order.
class ManyRecords : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        ASSERT_TRUE(m_db.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                                "i < %1) INSERT INTO 发文登记表 (rowid, 发文号, 标题) SELECT i, 'N' "
                                                "|| i, '标题' || i FROM n")
                                     .arg(kCount)));
    }
    QSqlDatabase database() const { return QSqlDatabase::database(m_db.connection()->name(), false); }
    std::vector<qint64> everyRecord() const
    {
        std::vector<qint64> ids;
        for (qint64 id = kCount; id >= 1; --id) // in no order, some twice, one that is no record
            ids.insert(ids.end(), id % 7 == 0 ? 2 : 1, id);
        ids.push_back(kCount + 100);
        return ids;
    }
    // The trail's 发文号, in 编号 order.
    QString logged()
    {
        return m_db.value(
            QStringLiteral("SELECT group_concat(发文号, ',') FROM (SELECT 发文号 FROM 操作日志 ORDER BY 编号)"));
    }
    QString count(const QString& table) { return m_db.value(QStringLiteral("SELECT count(*) FROM %1").arg(table)); }
    // Nine of 4 MiB overfill what a group holds in memory; one of 5 MiB is
    // kept as it is read; one is empty. Their digests by 发文号.
    std::map<QString, QByteArray> attach()
    {
        EXPECT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 文件类型 = 'doc', 文件数据 = CASE WHEN rowid "
                                                "<= 18 THEN randomblob(4194304) WHEN rowid = 20 THEN "
                                                "randomblob(5242880) ELSE X'' END WHERE rowid BETWEEN 10 AND 21 AND "
                                                "rowid <> 19")));
        std::map<QString, QByteArray> digests;
        QSqlQuery attached(database());
        EXPECT_TRUE(
            attached.exec(QStringLiteral("SELECT 发文号, 文件数据 FROM 发文登记表 WHERE 文件数据 IS NOT NULL")));
        while (attached.next())
            digests[attached.value(0).toString()] =
                QCryptographicHash::hash(attached.value(1).toByteArray(), QCryptographicHash::Sha256).toHex();
        EXPECT_EQ(digests.size(), 11u);
        return digests;
    }
    // Checks each kept attachment against `digests`; how many there are.
    std::size_t checkKept(const std::map<QString, QByteArray>& digests) const
    {
        QSqlQuery kept(database());
        EXPECT_TRUE(kept.exec(QStringLiteral("SELECT l.发文号, l.附件摘要, b.文件数据, l.附件大小 FROM 操作日志 AS l "
                                             "JOIN 回收站附件 AS b ON b.日志编号 = l.编号")));
        std::size_t found = 0;
        while (kept.next()) {
            ++found;
            const QString number = kept.value(0).toString();
            const QByteArray bytes = kept.value(2).toByteArray();
            EXPECT_EQ(kept.value(3).toLongLong(), bytes.size()) << number.toStdString();
            EXPECT_EQ(kept.value(1).toByteArray(), digests.at(number)) << number.toStdString();
            EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(), digests.at(number))
                << number.toStdString();
        }
        return found;
    }

    static constexpr int kCount = 2500;
    TestDatabase m_db{Backend::Sqlite};
};

TEST_F(ManyRecords, EachRecordIsLoggedOnceInOrderWithItsBytesAcrossGroups)
{
    const std::map<QString, QByteArray> digests = attach();
    {
        TransactionGuard transaction(m_db.connection());
        ASSERT_EQ(RegisterRecords(database()).remove("发文登记表"_gbk, everyRecord()), QString());
        ASSERT_TRUE(transaction.commit());
    }
    EXPECT_EQ(count(QStringLiteral("发文登记表")), QStringLiteral("0"));
    QStringList numbers;
    for (int i = 1; i <= kCount; ++i)
        numbers << QStringLiteral("N%1").arg(i);
    EXPECT_EQ(logged(), numbers.join(QLatin1Char(',')));
    const AuditTrail::Verification verification = AuditTrail(database()).verify();
    EXPECT_FALSE(verification.firstBad) << verification.reason.toStdString();
    EXPECT_EQ(checkKept(digests), digests.size()); // the bytes kept are the bytes deleted
}

// F8 + Delete: the records stay, so a group cut short is read on from where it stopped.
TEST_F(ManyRecords, AttachmentsThatOverfillAGroupAreEachKeptOnce)
{
    const std::map<QString, QByteArray> digests = attach();
    {
        TransactionGuard transaction(m_db.connection());
        ASSERT_EQ(RegisterRecords(database()).clearAttachments("发文登记表"_gbk, everyRecord()), QString());
        ASSERT_TRUE(transaction.commit());
    }
    EXPECT_EQ(count(QStringLiteral("操作日志")), QString::number(digests.size()));
    EXPECT_EQ(checkKept(digests), digests.size());
    EXPECT_FALSE(AuditTrail(database()).verify().firstBad);
}

TEST_F(ManyRecords, AFailureInALaterGroupUndoesTheEarlierOutsideATransactionToo)
{
    ASSERT_TRUE(m_db.execute(QStringLiteral("CREATE TRIGGER injected BEFORE DELETE ON 发文登记表 WHEN OLD.发文号 = "
                                            "'N2100' BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    const QString failure = RegisterRecords(database()).remove("发文登记表"_gbk, everyRecord());
    EXPECT_TRUE(failure.contains(QStringLiteral("injected"))) << failure.toStdString();
    EXPECT_EQ(count(QStringLiteral("发文登记表")), QString::number(kCount));
    EXPECT_EQ(count(QStringLiteral("操作日志")), QStringLiteral("0"));

    ASSERT_TRUE(m_db.execute(QStringLiteral("DROP TRIGGER injected")));
    ASSERT_EQ(RegisterRecords(database()).remove("发文登记表"_gbk, everyRecord()), QString());
    EXPECT_EQ(count(QStringLiteral("发文登记表")), QStringLiteral("0"));
    EXPECT_EQ(count(QStringLiteral("操作日志")), QString::number(kCount));
    EXPECT_FALSE(AuditTrail(database()).verify().firstBad);
}

// Two desk processes deleting at once on the server: one chain, no fork, no gap.
TEST(AuditTrailDesks, TwoDesksDeletingAtOnceLeaveOneUnbrokenChain)
{
    constexpr int kEach = 60;
    TestDatabase db(Backend::Postgres);
    ASSERT_TRUE(db.isOpen());
    for (int i = 0; i < 2 * kEach; ++i)
        ASSERT_GE(db.insert("发文登记表"_gbk, {{"发文号", GbkString("N") + std::to_string(i)}}), 0);
    const qint64 first = db.value(QStringLiteral("SELECT min(rowid) FROM 发文登记表")).toLongLong();
    QProcess desks[2];
    for (int d = 0; d < 2; ++d) {
        desks[d].start(QStringLiteral(REGDESK_TRAIL_WORKER), {db.folder().path(), QString::number(first + d * kEach),
                                                              QString::number(first + (d + 1) * kEach - 1)});
        ASSERT_TRUE(desks[d].waitForStarted());
    }
    for (QProcess& desk : desks) {
        ASSERT_TRUE(desk.waitForFinished(5 * 60 * 1000));
        EXPECT_EQ(desk.exitCode(), 0) << desk.readAllStandardError().toStdString();
    }
    EXPECT_EQ(db.value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("0"));
    const AuditTrail::Verification verification =
        AuditTrail(QSqlDatabase::database(db.connection()->name(), false)).verify();
    EXPECT_FALSE(verification.firstBad) << verification.reason.toStdString();
    EXPECT_EQ(verification.rows, 2 * kEach);
    // Both desks' rows are interleaved in the one chain.
    EXPECT_EQ(db.value(QStringLiteral("SELECT count(DISTINCT 进程) FROM 操作日志")), QStringLiteral("2"));
}

} // namespace
} // namespace regdesk::test

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "TestDatabase.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/BlobBuffer.h"
#include "db/PrivateConnection.h"
#include "db/RegisterStatements.h"
#include "db/SqlDialect.h"
#include "db/TransactionGuard.h"

#include <QFile>
#include <QSqlQuery>
#include <algorithm>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace regdesk;
using regdesk::test::FakePrompter;
using regdesk::test::TempDeskFolder;
using regdesk::test::TestDatabase;

namespace {

// The database layer on data.db and on PostgreSQL alike.
class DatabaseTest : public ::testing::TestWithParam<test::Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }

    static bool run(const GbkString& sql) { return TestDatabase::run(sql); }

    static DocumentRecord record(const GbkString& number)
    {
        DocumentRecord row;
        row[DocumentRecord::Number] = number;
        row[DocumentRecord::Title] = "关于印发《某某办法》的通知"_gbk;
        row[DocumentRecord::Secrecy] = "无"_gbk;
        row[DocumentRecord::DocumentDate] = "20261208";
        row[DocumentRecord::Version] = "GB0626-2005";
        row.barcodeMade = "是"_gbk;
        return row;
    }

    TestDatabase m_db{GetParam()};
    FakePrompter& m_prompter = m_db.prompter();
};

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseTest, ::testing::Values(test::Backend::Sqlite, test::Backend::Postgres),
                         test::BackendName());

TEST(Connection, MissingDatabaseFailsWithTheErrorBoxAndCreatesNoFile)
{
    TempDeskFolder folder;
    FakePrompter prompter;
    AdoDatabase database(prompter);
    EXPECT_FALSE(database.openConnection(AdoDatabase::connectionStringFor(folder.gbkPath())));
    EXPECT_EQ(database.connection(), nullptr);
    ASSERT_EQ(prompter.shown().size(), 1u);
    const auto& box = prompter.shown().front().message;
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("发生错误:\n\n"))) << box.text.toStdString();
    EXPECT_GT(box.text.size(), 7);
    EXPECT_EQ(box.caption, QStringLiteral("系统提示"));
    EXPECT_EQ(box.icon, Prompter::Icon::Warning);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("data.db"))));
}

TEST(Connection, StringKeepsTheJetFormatAroundTheFile)
{
    const GbkString text = AdoDatabase::connectionStringFor("/desk");
    EXPECT_EQ(text, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/desk/data.db;OLEDB:Database ,, , adModeUnknown");
    EXPECT_EQ(SqlDialect::dataSourceOf(text), "/desk/data.db");
}

TEST_P(DatabaseTest, FieldTextIsTrimmedAndEmptyForNull)
{
    ASSERT_TRUE(run("INSERT INTO 发文登记表 (发文号, 标题, 密级) VALUES ('  A1 ', NULL, '')"_gbk));
    ASSERT_TRUE(run("INSERT INTO 人员信息表 (姓名) VALUES ('x')"_gbk));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery("SELECT 发文号, 标题, 密级, 42 AS n, 2.5 AS d FROM 发文登记表"_gbk));
    EXPECT_EQ(recordset.fieldText("发文号"_gbk), "A1");
    EXPECT_EQ(recordset.fieldText("标题"_gbk), "");
    EXPECT_EQ(recordset.fieldText("密级"_gbk), "");
    EXPECT_EQ(recordset.fieldText("n"), "42");
    EXPECT_EQ(recordset.fieldText("d"), "2.5");
    EXPECT_EQ(recordset.fieldText("no such column"), "");
    EXPECT_EQ(recordset.fieldCount(), 5);
    EXPECT_EQ(recordset.fieldName(0), "发文号"_gbk);
    EXPECT_EQ(recordset.fieldTypeName(0), "字符型"_gbk);
    EXPECT_EQ(recordset.fieldTypeName(3), "数值型"_gbk);
    EXPECT_EQ(recordset.fieldTypeName(99), "未知类型"_gbk);
    EXPECT_TRUE(m_prompter.shown().empty());
}

TEST_P(DatabaseTest, EmptyResultCountsZero)
{
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectNumber(RegisterStatements::outgoingTable(), "none")));
    EXPECT_EQ(recordset.recordCount(), 0);
    EXPECT_TRUE(recordset.isEof());
    EXPECT_EQ(recordset.fieldText("发文号"_gbk), "");
}

TEST_P(DatabaseTest, MovingAboutAndCounting)
{
    for (const char* number : {"1", "2", "3"})
        ASSERT_TRUE(run(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), record(number))));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery("SELECT 发文号 FROM 发文登记表 ORDER BY 发文号"_gbk));
    ASSERT_TRUE(recordset.moveTo(2));
    EXPECT_EQ(recordset.fieldText(0), "3");
    EXPECT_EQ(recordset.recordCount(), 3);
    EXPECT_EQ(recordset.fieldText(0), "1"); // counting moves back to the first row
    ASSERT_TRUE(recordset.moveNext());
    ASSERT_TRUE(recordset.moveNext());
    ASSERT_TRUE(recordset.moveNext());
    EXPECT_TRUE(recordset.isEof());
    EXPECT_FALSE(recordset.moveNext());
    EXPECT_EQ(m_prompter.shown().size(), 1u); // moving past the end is reported once
}

TEST_P(DatabaseTest, RowByRowScanSeesEveryRowAndReportsAFailureOnce)
{
    for (const char* number : {"1", "2", "3"})
        ASSERT_TRUE(run(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), record(number))));
    QStringList seen;
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.forEachRow("SELECT 发文号, 标题 FROM 发文登记表 ORDER BY 发文号 DESC"_gbk,
                                     [&seen](const std::vector<QVariant>& values) {
                                         ASSERT_EQ(values.size(), 2u);
                                         seen << values[0].toString();
                                     }));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
    EXPECT_TRUE(m_prompter.shown().empty());

    int calls = 0;
    EXPECT_FALSE(recordset.forEachRow("SELECT x FROM 没有的表"_gbk, [&calls](const auto&) { ++calls; }));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(m_prompter.shown().size(), 1u);
}

TEST_P(DatabaseTest, SecondQueryOnOneWrapperReplacesTheFirst)
{
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), record("1"))));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery("SELECT 发文号, 标题 FROM 发文登记表"_gbk));
    ASSERT_TRUE(recordset.openQuery("SELECT 姓名 FROM 人员信息表"_gbk));
    EXPECT_EQ(recordset.fieldCount(), 1);
    EXPECT_EQ(recordset.recordCount(), 0);
    EXPECT_EQ(recordset.sourceText(), "(SELECT 姓名 FROM 人员信息表) DERIVEDTBL"_gbk);
}

TEST_P(DatabaseTest, FailingStatementShowsOneBoxWithTheDescription)
{
    AdoRecordset recordset;
    EXPECT_FALSE(recordset.openQuery("SELECT 发文号 FROM 没有的表"_gbk));
    ASSERT_EQ(m_prompter.shown().size(), 1u);
    EXPECT_TRUE(m_prompter.shown()[0].message.text.contains(QStringLiteral("没有的表")));
    EXPECT_TRUE(m_prompter.shown()[0].message.caption.isEmpty()); // the program's name
    EXPECT_EQ(recordset.fieldCount(), -1);
    EXPECT_EQ(recordset.recordCount(), 0);
}

TEST_P(DatabaseTest, QuotesAndChineseRoundTripByteForByte)
{
    DocumentRecord row = record("某中法〔2026〕1号"_gbk);
    row[DocumentRecord::Title] = "关于'张三'的\"通知\"; DROP TABLE 发文登记表; --"_gbk;
    row[DocumentRecord::Remarks] = "拟稿人：O'Brien"_gbk;
    row[DocumentRecord::Recipient] = std::string("\xFF\x81 \xAA\xA1", 5); // not valid GBK: must survive too
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, row)));

    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectRegister(table)));
    ASSERT_EQ(recordset.recordCount(), 1);
    EXPECT_EQ(recordset.fieldText("发文号"_gbk), row[DocumentRecord::Number]);
    EXPECT_EQ(recordset.fieldText("标题"_gbk), row[DocumentRecord::Title]);
    EXPECT_EQ(recordset.fieldText("备注"_gbk), row[DocumentRecord::Remarks]);
    EXPECT_EQ(recordset.fieldText("主送"_gbk), row[DocumentRecord::Recipient]);
    EXPECT_EQ(recordset.fieldText("成文日期"_gbk), "20261208");
}

TEST_P(DatabaseTest, QuotedNumberCannotWidenADelete)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, record("keep"))));
    ASSERT_TRUE(run(RegisterStatements::deleteNumber(table, "x' OR '1'='1")));
    ASSERT_TRUE(run(RegisterStatements::deleteRow(table, "x' OR 1=1 --")));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectNumber(table, "keep")));
    EXPECT_EQ(recordset.recordCount(), 1);
}

TEST_P(DatabaseTest, JetDeleteStarRuns)
{
    const GbkString table = RegisterStatements::incomingTable();
    ASSERT_TRUE(run(RegisterStatements::insertIncoming(table, record("A"))));
    ASSERT_TRUE(run(RegisterStatements::deleteRow(table, "a"))); // numbers compare without ASCII case
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectNumber(table, "A")));
    EXPECT_EQ(recordset.recordCount(), 0);
    EXPECT_TRUE(m_prompter.shown().empty());
}

// Comparisons as the Access register made them: ASCII case ignored in = and
// LIKE, no escape character in LIKE, sorting without regard to ASCII case;
// and an assignment keeps the case it was given.
TEST_P(DatabaseTest, TextComparesAndSortsAsTheRegisterAlwaysDid)
{
    const GbkString table = RegisterStatements::outgoingTable();
    for (const char* number : {"Ab", "ab", "B", "a\\b", "a%b", "Ｘ"})
        ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, record(utf8ToGbk(number)))));
    ASSERT_TRUE(run(RegisterStatements::updateFileType(table, "DOC", "B")));
    const auto numbers = [](const GbkString& sql) {
        std::vector<GbkString> found;
        AdoRecordset records;
        if (records.openQuery(sql))
            for (records.moveFirst(); !records.isEof(); records.moveNext())
                found.push_back(records.fieldText(0));
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(numbers(RegisterStatements::selectNumber(table, "AB")), (std::vector<GbkString>{"Ab", "ab"}));
    EXPECT_EQ(numbers(RegisterStatements::selectNumber(table, "ｘ"_gbk)), std::vector<GbkString>{}); // ASCII only
    // "\" is no escape: "A\%" is a backslash and a wildcard.
    EXPECT_EQ(numbers("SELECT 发文号 FROM 发文登记表 WHERE 发文号 LIKE 'A\\%'"_gbk), std::vector<GbkString>{"a\\b"});
    EXPECT_EQ(numbers("SELECT 文件类型 FROM 发文登记表 WHERE 文件类型 <> ''"_gbk), std::vector<GbkString>{"DOC"});
    // Ranges without regard to ASCII case, in code-point order.
    EXPECT_EQ(numbers("SELECT 发文号 FROM 发文登记表 WHERE 发文号 < 'b'"_gbk),
              (std::vector<GbkString>{"Ab", "a%b", "a\\b", "ab"}));
    EXPECT_EQ(numbers("SELECT 发文号 FROM 发文登记表 WHERE 发文号 >= 'z'"_gbk), std::vector<GbkString>{"Ｘ"_gbk});

    ASSERT_TRUE(run("INSERT INTO 人员信息表 (姓名, 简称) VALUES ('乙', 'zb')"_gbk));
    ASSERT_TRUE(run("INSERT INTO 人员信息表 (姓名, 简称) VALUES ('甲', 'ZA')"_gbk));
    ASSERT_TRUE(run("INSERT INTO 人员信息表 (姓名, 简称) VALUES ('丙', 'Y')"_gbk));
    AdoRecordset people;
    ASSERT_TRUE(people.openQuery(RegisterStatements::selectPeople()));
    AdoRecordset completion;
    ASSERT_TRUE(completion.openQuery(RegisterStatements::completeByInitials(people.sourceText(), "z")));
    std::vector<GbkString> order;
    for (completion.moveFirst(); !completion.isEof(); completion.moveNext())
        order.push_back(completion.fieldText("姓名"_gbk));
    EXPECT_EQ(order, (std::vector<GbkString>{"甲"_gbk, "乙"_gbk}));
    EXPECT_TRUE(m_prompter.shown().empty());
}

TEST_P(DatabaseTest, IncomingRowsHaveNoBarcodeMark)
{
    ASSERT_TRUE(run(RegisterStatements::insertIncoming(RegisterStatements::incomingTable(), record("A"))));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery("SELECT 条码已打 FROM 收文登记表"_gbk));
    EXPECT_EQ(recordset.fieldText(0), "");
}

TEST_P(DatabaseTest, CodeYearIsFoundAnywhereInTheText)
{
    DocumentRecord row = record("A");
    row[DocumentRecord::CodeDate] = "20261208";
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), row)));
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectCodeTimesOfYear(2026)));
    EXPECT_EQ(recordset.recordCount(), 1);
    ASSERT_TRUE(recordset.openQuery(RegisterStatements::selectCodeTimesOfYear(2025)));
    EXPECT_EQ(recordset.recordCount(), 0);
}

TEST_P(DatabaseTest, BlobsRoundTripAndZeroBytesLeaveTheBuffer)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, record("A"))));
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, record("B"))));
    BlobBuffer& blob = BlobBuffer::instance();
    blob.bytes = QByteArray("\x00\x01\xFF'x", 5);
    blob.length = 5;
    AdoRecordset recordset;
    ASSERT_TRUE(recordset.writeBlob(RegisterStatements::selectFileData(table, "A")));

    blob.bytes.clear();
    blob.length = 0;
    ASSERT_TRUE(recordset.readBlob(RegisterStatements::selectFileData(table, "A")));
    EXPECT_EQ(blob.length, 5);
    EXPECT_EQ(blob.bytes, QByteArray("\x00\x01\xFF'x", 5));

    // B holds no bytes: the length becomes 0 and the buffer is not replaced.
    ASSERT_TRUE(recordset.readBlob(RegisterStatements::selectFileData(table, "B")));
    EXPECT_EQ(blob.length, 0);
    EXPECT_EQ(blob.bytes, QByteArray("\x00\x01\xFF'x", 5));

    // A zero-byte blob is written as such.
    blob.length = 0;
    ASSERT_TRUE(recordset.writeBlob(RegisterStatements::selectFileData(table, "B")));
    ASSERT_TRUE(recordset.openQuery("SELECT length(文件数据) AS n FROM 发文登记表 WHERE 发文号='B'"_gbk));
    EXPECT_EQ(recordset.fieldText("n"), "0");

    // No such row: nothing read, nothing written.
    EXPECT_FALSE(recordset.readBlob(RegisterStatements::selectFileData(table, "none")));
    EXPECT_FALSE(recordset.writeBlob(RegisterStatements::selectFileData(table, "none")));
}

TEST_P(DatabaseTest, TransactionGuardRollsBackUnlessCommitted)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, record("A"))));
    const auto rowsOfA = [&table] {
        AdoRecordset recordset;
        return recordset.openQuery(RegisterStatements::selectNumber(table, "A")) ? recordset.recordCount() : -1;
    };
    {
        TransactionGuard transaction(AdoDatabase::activeConnection());
        ASSERT_TRUE(transaction.isOpen());
        ASSERT_TRUE(run(RegisterStatements::deleteNumber(table, "A")));
        EXPECT_EQ(rowsOfA(), 0);
    } // left without commit()
    EXPECT_EQ(rowsOfA(), 1);
    {
        TransactionGuard transaction(AdoDatabase::activeConnection());
        ASSERT_TRUE(run(RegisterStatements::deleteNumber(table, "A")));
        EXPECT_TRUE(transaction.commit());
    }
    EXPECT_EQ(rowsOfA(), 0);
    EXPECT_FALSE(TransactionGuard(nullptr).isOpen());
}

// Another process in the middle of a write to data.db: the desk's change,
// which reads before it writes, waits for it instead of failing at once with
// "database is locked".
TEST(DataFileLock, AChangeWaitsOutAnotherWriter)
{
    TestDatabase db(test::Backend::Sqlite);
    ASSERT_TRUE(db.isOpen());
    const GbkString table = RegisterStatements::outgoingTable();
    std::promise<bool> holding;
    bool otherCommitted = false;
    std::thread other([&, path = db.folder().filePath(QStringLiteral("data.db"))] {
        const PrivateConnection connection(path, RegisterFileMode::ReadWrite);
        QSqlQuery query(connection.database());
        const bool locked = query.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                            query.exec(QStringLiteral("INSERT INTO 发文登记表 (发文号) VALUES ('B')"));
        holding.set_value(locked);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        otherCommitted = locked && query.exec(QStringLiteral("COMMIT"));
    });
    ASSERT_TRUE(holding.get_future().get());
    {
        TransactionGuard transaction(AdoDatabase::activeConnection());
        EXPECT_TRUE(transaction.isOpen());
        AdoRecordset recordset;
        EXPECT_TRUE(recordset.openQuery(RegisterStatements::selectNumber(table, "B")));
        EXPECT_TRUE(TestDatabase::run("DELETE FROM 发文登记表 WHERE 发文号 = 'B'"_gbk));
        EXPECT_TRUE(transaction.commit());
    }
    other.join();
    EXPECT_TRUE(otherCommitted);
    EXPECT_TRUE(db.prompter().shown().empty());
    EXPECT_EQ(db.value(QStringLiteral("SELECT count(*) FROM 发文登记表 WHERE 发文号 = 'B'")), QStringLiteral("0"));
}

TEST(SqlText, ValuesHaveTheirQuotesDoubled)
{
    EXPECT_EQ(escapeSqlText("O'Brien''s"), "O''Brien''''s");
    EXPECT_EQ(formatSql("a='%s' b=%d c=%s 100%%", {GbkString("x'y"), 7, SqlName{"t'"}}), "a='x''y' b=7 c=t' 100%");
    EXPECT_EQ(RegisterStatements::completeByInitials("(SELECT 姓名,简称 FROM 人员信息表) DERIVEDTBL"_gbk, "z'"),
              "SELECT * From (SELECT 姓名,简称 FROM 人员信息表) DERIVEDTBL  WHERE 简称 LIKE'z''%' ORDER BY 简称"_gbk);
}

TEST(SqlText, JetOnlySyntaxIsTranslatedInOnePlace)
{
    EXPECT_EQ(SqlDialect::toSqlite("DELETE * FROM t where a='*'"), QStringLiteral("DELETE FROM t where a='*'"));
    EXPECT_EQ(SqlDialect::toSqlite("SELECT * FROM t"), QStringLiteral("SELECT * FROM t"));
    EXPECT_EQ(SqlDialect::blobUpdateFor("Select 文件数据 FROM 发文登记表 where 发文号='a b'"_gbk),
              QStringLiteral("UPDATE 发文登记表 SET 文件数据=? where 发文号='a b'"));
    EXPECT_FALSE(SqlDialect::blobUpdateFor("DELETE FROM t").has_value());
    // A server whose collation is not bytewise still orders as SQLite does.
    EXPECT_EQ(SqlDialect::toPostgres("SELECT a FROM t WHERE a < '!'"),
              QStringLiteral("SELECT a FROM t WHERE regdesk_fold(a) COLLATE \"C\" < '!'"));
}

} // namespace

#include "FakeRegisters.h"
#include "FakeRegistrationView.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "db/AdoRecordset.h"
#include "db/AuditTrail.h"
#include "db/RegisterStatements.h"
#include "desk/RegistrationSaving.h"
#include "desk/SqlRegisterStore.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

using namespace RegistrationSaving;

// Answers from a queue (OK when it runs dry) and records every notice.
class ScriptedNotices final : public NoticeBoard
{
public:
    std::deque<bool> answers;
    std::vector<DeskNotice> shown;

    bool show(const DeskNotice& notice) override
    {
        shown.push_back(notice);
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

DocumentRecord row(const char* number, const char* barcodeMade = "是")
{
    return registerRow(utf8ToGbk(number), "标题"_gbk, {}, utf8ToGbk(barcodeMade));
}

TEST(Saving, NothingSelectedAsksToSelect)
{
    FakeRegisterRows rows;
    rows.add(row("A1"), false);
    FakeRegisterStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::NothingSelected);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0], (DeskNotice{"请先选定行"_gbk, "保存"_gbk}));
    EXPECT_TRUE(store.calls.empty());
}

TEST(Saving, ThreeRowsWithTheMiddleOverwriteDeclined)
{
    FakeRegisterRows rows;
    rows.add(row("A1"));
    rows.add(row("A2"));
    rows.add(row("A3"));
    FakeRegisterStore store;
    store.rows["A2"] = row("A2");
    ScriptedNotices notices;
    notices.answers = {false};

    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0], (DeskNotice{"发文号A2的文件已登记，请确认是否覆盖登记?"_gbk, "系统提示"_gbk,
                                            DeskNotice::Kind::Question}));
    EXPECT_EQ(store.calls, (std::vector<std::string>{"insert-out 发文登记表 A1", "insert-out 发文登记表 A3"}));
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0].record[DocumentRecord::Number], "A2");
    EXPECT_FALSE(rows.rows[0].selected);
}

TEST(Saving, OverwriteAgreedReplacesTheRow)
{
    FakeRegisterRows rows;
    rows.add(row("A2"));
    FakeRegisterStore store;
    store.rows["A2"] = row("A2");
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-out 发文登记表 A2 replacing"});
    EXPECT_TRUE(rows.rows.empty());
}

TEST(Saving, BarcodeQuestionCancelEndsTheWholeSave)
{
    FakeRegisterRows rows;
    rows.add(row("A1"));
    rows.add(row("A2", ""));
    rows.add(row("A3"));
    FakeRegisterStore store;
    ScriptedNotices notices;
    notices.answers = {false};

    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Cancelled);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0],
              (DeskNotice{"条码未生成,仍要发文登记吗？"_gbk, "提示"_gbk, DeskNotice::Kind::CautiousQuestion}));
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-out 发文登记表 A1"});
    EXPECT_EQ(rows.numbers(), (std::vector<GbkString>{"A2", "A3"}));
    EXPECT_TRUE(rows.rows[0].selected && rows.rows[1].selected);
}

TEST(Saving, BarcodeQuestionOkSavesAnyway)
{
    FakeRegisterRows rows;
    rows.add(row("A1", ""));
    FakeRegisterStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(notices.shown.size(), 1u);
    EXPECT_TRUE(rows.rows.empty());
}

TEST(Saving, IncomingRowsNeverAskForABarcode)
{
    FakeRegisterRows rows;
    rows.add(row("B1", ""));
    FakeRegisterStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Incoming, rows, store, notices), SaveOutcome::Finished);
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-in 收文登记表 B1"});
}

TEST(Saving, FailedInsertKeepsTheRowInTheList)
{
    FakeRegisterRows rows;
    rows.add(row("A1"));
    rows.add(row("A2"));
    FakeRegisterStore store;
    store.failInsert = {"A1"};
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A1"});
    EXPECT_FALSE(rows.rows[0].selected);
    EXPECT_EQ(store.rows.count("A2"), 1u);
}

TEST(Saving, UnselectedRowsStay)
{
    FakeRegisterRows rows;
    rows.add(row("A1"), false);
    rows.add(row("A2"));
    FakeRegisterStore store;
    ScriptedNotices notices;
    saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices);
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A1"});
}

TEST(Saving, AttachmentPathRecordsTheFileAfterTheInsert)
{
    FakeRegisterRows rows;
    DocumentRecord record = row("A1");
    record.attachmentPath = "/tmp/通知.pdf"_gbk;
    rows.add(record);
    FakeRegisterStore store;
    ScriptedNotices notices;
    saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices);
    EXPECT_EQ(store.calls,
              (std::vector<std::string>{"insert-out 发文登记表 A1", "attach 发文登记表 A1 /tmp/通知.pdf"}));
}

TEST(Saving, FailedAttachmentIsToldAndTheRowStaysSaved)
{
    FakeRegisterRows rows;
    DocumentRecord record = row("A1");
    record.attachmentPath = "/tmp/通知.pdf"_gbk;
    rows.add(record);
    rows.add(row("A2"));
    FakeRegisterStore store;
    store.failAttach = {"A1"};
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0], (DeskNotice{"附件没有保存：/tmp/通知.pdf\n磁盘坏了\n"
                                            "发文号A1已登记，可在收发文查询中双击它再添加附件。"_gbk,
                                            "保存"_gbk}));
    EXPECT_EQ(store.rows.count("A1"), 1u);
    EXPECT_EQ(store.rows.count("A2"), 1u);
    EXPECT_TRUE(rows.rows.empty());
}

// The same, on a register: data.db and PostgreSQL.
class SavingOnDatabase : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }

    // Makes every insert of a row titled "坏" fail inside the database.
    void refuseBadTitles()
    {
        QSqlQuery query(QSqlDatabase::database(AdoDatabase::activeConnection()->name()));
        if (GetParam() == Backend::Postgres) {
            ASSERT_TRUE(query.exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ "
                                                  "BEGIN IF NEW.标题 = '坏' THEN RAISE EXCEPTION 'refused'; END IF; "
                                                  "RETURN NEW; END $$")));
            ASSERT_TRUE(query.exec(QStringLiteral(
                "CREATE TRIGGER refuse BEFORE INSERT ON 发文登记表 FOR EACH ROW EXECUTE FUNCTION refuse()")));
            return;
        }
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 发文登记表 WHEN NEW.标题 = '坏' "
                                              "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    }

    TestDatabase m_db{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Databases, SavingOnDatabase, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         BackendName());

TEST_P(SavingOnDatabase, ReplacedRowSurvivesAFailedInsert)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(
        TestDatabase::run(RegisterStatements::insertOutgoing(table, registerRow("法〔2026〕1号"_gbk, "原来的"_gbk))));
    refuseBadTitles();

    SqlRegisterStore store;
    EXPECT_TRUE(store.isRegistered(table, "法〔2026〕1号"_gbk));
    EXPECT_FALSE(store.insert(table, registerRow("法〔2026〕1号"_gbk, "坏"_gbk), true, true));
    EXPECT_EQ(TestDatabase::rowsOf(table),
              (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕1号"_gbk, "原来的"_gbk}}));
    EXPECT_FALSE(m_db.prompter().shown().empty()) << "the database layer reports the failed insert";
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 操作日志")), QStringLiteral("0"));

    EXPECT_TRUE(store.insert(table, registerRow("法〔2026〕1号"_gbk, "新的"_gbk), true, true));
    EXPECT_EQ(TestDatabase::rowsOf(table),
              (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕1号"_gbk, "新的"_gbk}}));
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 操作日志")), QStringLiteral("1"));
}

TEST_P(SavingOnDatabase, AReplacingSaveLogsEachRecordItReplacesExactly)
{
    const GbkString table = RegisterStatements::outgoingTable();
    const GbkString padded = "法〔2026〕2号 "_gbk;
    for (const char* title : {"第一", "第二"})
        ASSERT_TRUE(
            TestDatabase::run(RegisterStatements::insertOutgoing(table, registerRow(padded, utf8ToGbk(title)))));
    ASSERT_TRUE(
        TestDatabase::run(RegisterStatements::insertOutgoing(table, registerRow("法〔2026〕2号"_gbk, "别的"_gbk))));
    SqlRegisterStore store;
    EXPECT_TRUE(store.isRegistered(table, padded));
    EXPECT_TRUE(store.insert(table, registerRow(padded, "新的"_gbk), true, true));

    std::vector<AuditTrail::Entry> entries;
    AuditTrail(QSqlDatabase::database(m_db.connection()->name(), false)).forEach({}, [&](const AuditTrail::Entry& e) {
        entries.push_back(e);
    });
    ASSERT_EQ(entries.size(), 2u);
    for (const AuditTrail::Entry& entry : entries) {
        EXPECT_EQ(entry.action, QStringLiteral("覆盖登记"));
        EXPECT_EQ(entry.number, toQString(padded));
    }
    EXPECT_TRUE(entries[0].before.contains(QStringLiteral("第一")));
    EXPECT_TRUE(entries[1].before.contains(QStringLiteral("第二")));
}

TEST_P(SavingOnDatabase, ASaveWhoseLogRowCannotBeWrittenReplacesNothing)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(
        TestDatabase::run(RegisterStatements::insertOutgoing(table, registerRow("法〔2026〕3号"_gbk, "原来的"_gbk))));
    if (GetParam() == Backend::Postgres) {
        ASSERT_TRUE(m_db.execute(QStringLiteral("CREATE FUNCTION injected() RETURNS trigger LANGUAGE plpgsql AS "
                                                "$$BEGIN RAISE EXCEPTION 'injected'; END$$")));
        ASSERT_TRUE(m_db.execute(QStringLiteral(
            "CREATE TRIGGER injected BEFORE INSERT ON 操作日志 FOR EACH ROW EXECUTE FUNCTION injected()")));
    } else {
        ASSERT_TRUE(m_db.execute(QStringLiteral(
            "CREATE TRIGGER injected BEFORE INSERT ON 操作日志 BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    }
    SqlRegisterStore store;
    EXPECT_TRUE(store.isRegistered(table, "法〔2026〕3号"_gbk));
    EXPECT_FALSE(store.insert(table, registerRow("法〔2026〕3号"_gbk, "新的"_gbk), true, true));
    EXPECT_EQ(TestDatabase::rowsOf(table),
              (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕3号"_gbk, "原来的"_gbk}}));
    ASSERT_FALSE(m_db.prompter().texts().isEmpty());
    EXPECT_TRUE(m_db.prompter().texts().back().contains(QStringLiteral("操作日志无法写入")));
}

TEST_P(SavingOnDatabase, SaveWritesRowsAndFileType)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(TestDatabase::run(RegisterStatements::insertOutgoing(table, registerRow("A2", "旧"_gbk))));
    refuseBadTitles();

    m_db.folder().writeFile(QStringLiteral("一.docx"), std::string("PK\0\x03", 4));
    FakeRegisterRows rows;
    DocumentRecord first = registerRow("A1", "一"_gbk);
    first.attachmentPath = joinPath(m_db.folder().gbkPath(), "一.docx"_gbk);
    rows.add(first);
    rows.add(registerRow("A2", "二"_gbk));
    rows.add(registerRow("A3", "坏"_gbk));
    rows.add(registerRow("A4", "四"_gbk));
    SqlRegisterStore store;
    ScriptedNotices notices; // OK to the overwrite of A2

    EXPECT_EQ(saveSelectedRows(RegistrationMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(TestDatabase::rowsOf(table),
              (std::vector<std::pair<GbkString, GbkString>>{{"A1", "一"_gbk}, {"A2", "二"_gbk}, {"A4", "四"_gbk}}));
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A3"});
    EXPECT_EQ(notices.shown.size(), 1u) << "only the overwrite of A2 is asked";

    AdoRecordset type;
    ASSERT_TRUE(type.openQuery(RegisterStatements::selectFileType(table, "A1")));
    type.moveFirst();
    EXPECT_EQ(type.fieldText(0), "docx");

    AdoRecordset barcode;
    ASSERT_TRUE(barcode.openQuery(RegisterStatements::selectCodeTimes()));
    EXPECT_EQ(barcode.recordCount(), 3);
}

TEST_P(SavingOnDatabase, IncomingRowsGoToTheIncomingRegister)
{
    FakeRegisterRows rows;
    rows.add(registerRow("B1", "收"_gbk));
    SqlRegisterStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegistrationMode::Incoming, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(TestDatabase::rowsOf(RegisterStatements::incomingTable()),
              (std::vector<std::pair<GbkString, GbkString>>{{"B1", "收"_gbk}}));
    EXPECT_TRUE(TestDatabase::rowsOf(RegisterStatements::outgoingTable()).empty());
}

} // namespace
} // namespace regdesk::test

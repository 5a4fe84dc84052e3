#include "OutgoingDeskDatabase.h"
#include "desk/AdoRegisterStore.h"
#include "desk/RegistrationSaving.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

using namespace RegistrationSaving;

// A registration list: rows with a selection flag each.
class FakeRows final : public PendingRows
{
public:
    struct Row
    {
        DocumentRecord record;
        bool selected = true;
    };
    std::vector<Row> rows;

    void add(DocumentRecord record, bool selected = true) { rows.push_back({std::move(record), selected}); }
    std::optional<int> firstSelectedRow() const override
    {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].selected)
                return static_cast<int>(i);
        }
        return std::nullopt;
    }
    DocumentRecord record(int row) const override { return rows.at(static_cast<std::size_t>(row)).record; }
    void deselect(int row) override { rows.at(static_cast<std::size_t>(row)).selected = false; }
    void remove(int row) override { rows.erase(rows.begin() + row); }

    std::vector<GbkString> numbers() const
    {
        std::vector<GbkString> numbers;
        for (const Row& row : rows)
            numbers.push_back(row.record[DocumentRecord::Number]);
        return numbers;
    }
};

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

// Registers in memory; numbers listed in failInsert refuse to be inserted.
class FakeStore final : public RegisterStore
{
public:
    std::map<GbkString, DocumentRecord> rows;
    std::set<GbkString> failInsert;
    std::vector<std::string> calls;

    bool isRegistered(const GbkString&, const GbkString& number) override { return rows.count(number) != 0; }
    bool insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting) override
    {
        const GbkString& number = record[DocumentRecord::Number];
        calls.push_back((outgoing ? "insert-out " : "insert-in ") + gbkToUtf8(table) + " " + gbkToUtf8(number) +
                        (replaceExisting ? " replacing" : ""));
        if (failInsert.count(number) != 0)
            return false;
        rows[number] = record;
        return true;
    }
    void attachFile(const GbkString& table, const GbkString& number, const GbkString& path) override
    {
        calls.push_back("attach " + gbkToUtf8(table) + " " + gbkToUtf8(number) + " " + gbkToUtf8(path));
    }
};

DocumentRecord row(const char* number, const char* barcodeMade = "是")
{
    DocumentRecord record;
    record[DocumentRecord::Number] = utf8ToGbk(number);
    record[DocumentRecord::Title] = "标题"_gbk;
    record.barcodeMade = utf8ToGbk(barcodeMade);
    return record;
}

TEST(SaveMode, ComesFromTheTitle)
{
    EXPECT_EQ(modeOfTitle("收文登记"_gbk), RegisterMode::Incoming);
    EXPECT_EQ(modeOfTitle("发文登记"_gbk), RegisterMode::Outgoing);
    EXPECT_EQ(modeOfTitle("查询"_gbk), std::nullopt);
}

TEST(AttachmentType, IsTheTextAfterTheLastDot)
{
    EXPECT_EQ(attachmentType("/home/clerk/通知.final.docx"_gbk), "docx");
    EXPECT_EQ(attachmentType("/home/clerk/readme"), "/home/clerk/readme");
    EXPECT_EQ(attachmentType("a."), "");
}

TEST(Saving, NothingSelectedAsksToSelect)
{
    FakeRows rows;
    rows.add(row("A1"), false);
    FakeStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::NothingSelected);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0], (DeskNotice{"请先选定行"_gbk, "保存"_gbk}));
    EXPECT_TRUE(store.calls.empty());
}

TEST(Saving, ThreeRowsWithTheMiddleOverwriteDeclined)
{
    FakeRows rows;
    rows.add(row("A1"));
    rows.add(row("A2"));
    rows.add(row("A3"));
    FakeStore store;
    store.rows["A2"] = row("A2");
    ScriptedNotices notices;
    notices.answers = {false};

    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
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
    FakeRows rows;
    rows.add(row("A2"));
    FakeStore store;
    store.rows["A2"] = row("A2");
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-out 发文登记表 A2 replacing"});
    EXPECT_TRUE(rows.rows.empty());
}

TEST(Saving, BarcodeQuestionCancelEndsTheWholeSave)
{
    FakeRows rows;
    rows.add(row("A1"));
    rows.add(row("A2", ""));
    rows.add(row("A3"));
    FakeStore store;
    ScriptedNotices notices;
    notices.answers = {false};

    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Cancelled);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0],
              (DeskNotice{"条码未生成,仍要发文登记吗？"_gbk, "提示"_gbk, DeskNotice::Kind::CautiousQuestion}));
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-out 发文登记表 A1"});
    EXPECT_EQ(rows.numbers(), (std::vector<GbkString>{"A2", "A3"}));
    EXPECT_TRUE(rows.rows[0].selected && rows.rows[1].selected);
}

TEST(Saving, BarcodeQuestionOkSavesAnyway)
{
    FakeRows rows;
    rows.add(row("A1", ""));
    FakeStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(notices.shown.size(), 1u);
    EXPECT_TRUE(rows.rows.empty());
}

TEST(Saving, IncomingRowsNeverAskForABarcode)
{
    FakeRows rows;
    rows.add(row("B1", ""));
    FakeStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Incoming, rows, store, notices), SaveOutcome::Finished);
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(store.calls, std::vector<std::string>{"insert-in 收文登记表 B1"});
}

TEST(Saving, FailedInsertKeepsTheRowInTheList)
{
    FakeRows rows;
    rows.add(row("A1"));
    rows.add(row("A2"));
    FakeStore store;
    store.failInsert = {"A1"};
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A1"});
    EXPECT_FALSE(rows.rows[0].selected);
    EXPECT_EQ(store.rows.count("A2"), 1u);
}

TEST(Saving, UnselectedRowsStay)
{
    FakeRows rows;
    rows.add(row("A1"), false);
    rows.add(row("A2"));
    FakeStore store;
    ScriptedNotices notices;
    saveSelectedRows(RegisterMode::Outgoing, rows, store, notices);
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A1"});
}

TEST(Saving, AttachmentPathRecordsTheFileAfterTheInsert)
{
    FakeRows rows;
    DocumentRecord record = row("A1");
    record.attachmentPath = "/tmp/通知.pdf"_gbk;
    rows.add(record);
    FakeStore store;
    ScriptedNotices notices;
    saveSelectedRows(RegisterMode::Outgoing, rows, store, notices);
    EXPECT_EQ(store.calls,
              (std::vector<std::string>{"insert-out 发文登记表 A1", "attach 发文登记表 A1 /tmp/通知.pdf"}));
}

// The same, on a register file.
class SavingOnDatabase : public OutgoingDeskDatabase
{
protected:
    // Makes every insert of a row titled "坏" fail inside the database.
    void refuseBadTitles()
    {
        QSqlQuery query(QSqlDatabase::database(AdoDatabase::activeConnection()->name()));
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 发文登记表 WHEN NEW.标题 = '坏' "
                                              "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    }
};

TEST_F(SavingOnDatabase, ReplacedRowSurvivesAFailedInsert)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow("法〔2026〕1号"_gbk, "原来的"_gbk))));
    refuseBadTitles();

    AdoRegisterStore store;
    EXPECT_TRUE(store.isRegistered(table, "法〔2026〕1号"_gbk));
    EXPECT_FALSE(store.insert(table, outgoingRow("法〔2026〕1号"_gbk, "坏"_gbk), true, true));
    EXPECT_EQ(rowsOf(table), (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕1号"_gbk, "原来的"_gbk}}));
    EXPECT_FALSE(m_prompter.shown().empty()) << "the database layer reports the failed insert";

    EXPECT_TRUE(store.insert(table, outgoingRow("法〔2026〕1号"_gbk, "新的"_gbk), true, true));
    EXPECT_EQ(rowsOf(table), (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕1号"_gbk, "新的"_gbk}}));
}

TEST_F(SavingOnDatabase, SaveWritesRowsAndFileType)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow("A2", "旧"_gbk))));
    refuseBadTitles();

    FakeRows rows;
    DocumentRecord first = outgoingRow("A1", "一"_gbk);
    first.attachmentPath = "/home/clerk/一.docx"_gbk;
    rows.add(first);
    rows.add(outgoingRow("A2", "二"_gbk));
    rows.add(outgoingRow("A3", "坏"_gbk));
    rows.add(outgoingRow("A4", "四"_gbk));
    AdoRegisterStore store;
    ScriptedNotices notices; // OK to the overwrite of A2

    EXPECT_EQ(saveSelectedRows(RegisterMode::Outgoing, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(rowsOf(table),
              (std::vector<std::pair<GbkString, GbkString>>{{"A1", "一"_gbk}, {"A2", "二"_gbk}, {"A4", "四"_gbk}}));
    EXPECT_EQ(rows.numbers(), std::vector<GbkString>{"A3"});

    AdoRecordset type;
    ASSERT_TRUE(type.openQuery(RegisterStatements::selectFileType(table, "A1")));
    type.moveFirst();
    EXPECT_EQ(type.fieldText(0), "docx");

    AdoRecordset barcode;
    ASSERT_TRUE(barcode.openQuery(RegisterStatements::selectCodeTimes()));
    EXPECT_EQ(barcode.recordCount(), 3);
}

TEST_F(SavingOnDatabase, IncomingRowsGoToTheIncomingRegister)
{
    FakeRows rows;
    rows.add(outgoingRow("B1", "收"_gbk));
    AdoRegisterStore store;
    ScriptedNotices notices;
    EXPECT_EQ(saveSelectedRows(RegisterMode::Incoming, rows, store, notices), SaveOutcome::Finished);
    EXPECT_EQ(rowsOf(RegisterStatements::incomingTable()),
              (std::vector<std::pair<GbkString, GbkString>>{{"B1", "收"_gbk}}));
    EXPECT_TRUE(rowsOf(RegisterStatements::outgoingTable()).empty());
}

} // namespace
} // namespace regdesk::test

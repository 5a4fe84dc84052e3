// The query window's record operations at the controller, over a view that
// is no window, on data.db and on PostgreSQL.
#include "query/QueryController.h"

#include "FakeDesktopOpener.h"
#include "TestDatabase.h"
#include "db/AuditTrail.h"
#include "db/PrivateConnection.h"
#include "db/RegisterStatements.h"
#include "list/RegisterListModel.h"
#include "platform/GbkQt.h"
#include "query/AttachmentStore.h"
#include "query/QueryView.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class FakeQueryView final : public QueryView
{
public:
    FakeQueryView()
    {
        for (const char* header : {"发文号", "标题", "密级", "文种", "主送", "发布层次", "发文单位", "紧急程度",
                                   "成文日期", "制码号", "制码单位", "制码时间", "备注", "文件类型", "自定义排序"})
            m_rows.appendColumn(utf8ToGbk(header));
    }

    QWidget* boxOwner() override { return nullptr; }
    void setCaption(const QString&) override {}
    GbkString fuzzyText() const override { return fuzzy; }
    GbkString fieldName() const override { return {}; }
    void setFieldName(const GbkString&) override {}
    void setFieldNames(const std::vector<GbkString>&) override {}
    GbkString exactValue() const override { return {}; }
    RegisterListModel& listRows() override { return m_rows; }
    std::vector<int> selectedRows() const override { return selected; }
    void fitColumnsToContents() override {}
    void showProgress(qint64, qint64) override {}
    void hideProgress() override {}
    void setSelectionCount(const QString&) override {}

    GbkString fuzzy;
    std::vector<int> selected;

private:
    RegisterListModel m_rows;
};

const GbkString kPlain = "某中法〔2024〕7号"_gbk;
const GbkString kPadded = "某中法〔2024〕7号 "_gbk;

// Two records whose numbers differ by a trailing blank: the list shows both
// as 某中法〔2024〕7号, and whatever the clerk does to one must leave the other.
class LookAlikeRecords : public ::testing::TestWithParam<test::Backend>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        m_plain = m_db.insert(kTable, {{"发文号", kPlain}, {"标题", "甲"_gbk}, {"文件类型", "doc"_gbk}});
        m_padded = m_db.insert(kTable, {{"发文号", kPadded}, {"标题", "甲"_gbk}, {"文件类型", "wps"_gbk}});
        ASSERT_GE(m_plain, 0);
        ASSERT_GE(m_padded, 0);
        ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 文件数据 = %1")
                                     .arg(GetParam() == test::Backend::Postgres
                                              ? QStringLiteral("convert_to(标题 || rowid, 'UTF8')")
                                              : QStringLiteral("CAST(标题 || rowid AS BLOB)"))));
        m_db.folder().writeSettings("[发文设置]\n二维码输出位置=" + outputFolder().toStdString() + "\n");
        m_controller.selectRegister(QueryController::Register::Outgoing);
        m_view.fuzzy = "甲"_gbk;
        m_controller.fuzzySearch();
        ASSERT_EQ(m_view.listRows().rowCount(), 2);
        EXPECT_EQ(m_view.listRows().cellText(0, 0), m_view.listRows().cellText(1, 0)); // they look alike
    }

    // The list row of the record with the trailing blank.
    int paddedRow()
    {
        for (int row = 0; row < m_view.listRows().rowCount(); ++row) {
            if (m_view.listRows().recordId(row) == m_padded)
                return row;
        }
        return -1;
    }
    void selectPadded() { m_view.selected = {paddedRow()}; }
    QString numberOf(qint64 record)
    {
        return m_db.value(QStringLiteral("SELECT 发文号 FROM 发文登记表 WHERE rowid = %1").arg(record));
    }
    QString fileTypeOf(qint64 record)
    {
        return m_db.value(QStringLiteral("SELECT 文件类型 FROM 发文登记表 WHERE rowid = %1").arg(record));
    }
    QString outputFolder() { return m_db.folder().filePath(QStringLiteral("out")); }

    const GbkString kTable = RegisterStatements::outgoingTable();
    test::TestDatabase m_db{GetParam()};
    std::unique_ptr<RegisterSearch> m_search = makeRegisterSearch(m_db.connection());
    test::FakeDesktopOpener m_opener;
    FakeQueryView m_view;
    QueryController m_controller{m_view,
                                 QuerySeams{m_db.connection(), *m_search, m_db.prompter(), m_opener,
                                            fromQString(m_db.folder().filePath(QStringLiteral("document.ini")))}};
    qint64 m_plain = -1;
    qint64 m_padded = -1;
};

INSTANTIATE_TEST_SUITE_P(Databases, LookAlikeRecords, ::testing::Values(test::Backend::Sqlite, test::Backend::Postgres),
                         test::BackendName());

TEST_P(LookAlikeRecords, F12DeleteDeletesTheSelectedRecordOnly)
{
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.deleteRecords();
    EXPECT_EQ(m_db.prompter().shown().size(), 1u); // no namesakes to tell of
    EXPECT_EQ(numberOf(m_padded), QString());
    EXPECT_EQ(numberOf(m_plain), toQString(kPlain));
    ASSERT_EQ(m_view.listRows().rowCount(), 1);
    EXPECT_EQ(m_view.listRows().recordId(0), m_plain);
}

TEST_P(LookAlikeRecords, F8DeleteClearsTheSelectedAttachmentOnly)
{
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.removeAttachments();
    EXPECT_EQ(fileTypeOf(m_padded), QString());
    EXPECT_EQ(fileTypeOf(m_plain), QStringLiteral("doc"));
    EXPECT_EQ(m_view.listRows().itemValue(paddedRow()), 0u);
    EXPECT_EQ(m_view.listRows().itemValue(1 - paddedRow()), RegisterListModel::kBlue);
}

TEST_P(LookAlikeRecords, ExportWritesTheSelectedRecordsFile)
{
    m_controller.openRow(paddedRow()); // a double click
    QFile exported(QDir(outputFolder()).filePath(QStringLiteral("某中法〔2024〕7号.wps")));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), QStringLiteral("甲%1").arg(m_padded).toUtf8());
    EXPECT_FALSE(QFile::exists(QDir(outputFolder()).filePath(QStringLiteral("某中法〔2024〕7号.doc"))));

    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.exportSelected(); // Home
    EXPECT_EQ(QDir(outputFolder()).entryList(QDir::Files), QStringList{QStringLiteral("某中法〔2024〕7号.wps")});
}

TEST_P(LookAlikeRecords, ExportingBothKeepsBothFiles)
{
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 文件类型 = 'doc'")));
    m_view.selected = {0, 1};
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.exportSelected(); // Home
    const QDir out(outputFolder());
    EXPECT_EQ(out.entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("某中法〔2024〕7号(2).doc"), QStringLiteral("某中法〔2024〕7号.doc")}));
    QStringList contents;
    for (const QString& name : out.entryList(QDir::Files, QDir::Name)) {
        QFile file(out.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        contents << QString::fromUtf8(file.readAll());
    }
    QStringList expected{QStringLiteral("甲%1").arg(m_plain), QStringLiteral("甲%1").arg(m_padded)};
    contents.sort();
    expected.sort();
    EXPECT_EQ(contents, expected);
}

TEST_P(LookAlikeRecords, AttachGoesToTheSelectedRecordOnly)
{
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 文件数据 = NULL, 文件类型 = ''")));
    m_view.listRows().setItemValue(0, 0);
    m_view.listRows().setItemValue(1, 0);
    m_db.folder().writeFile(QStringLiteral("来文.doc"), "new");
    m_db.prompter().willChooseFile(m_db.folder().filePath(QStringLiteral("来文.doc")));
    m_controller.openRow(paddedRow()); // a double click on a row without an attachment
    EXPECT_EQ(fileTypeOf(m_padded), QStringLiteral("doc"));
    EXPECT_EQ(fileTypeOf(m_plain), QString());
    EXPECT_EQ(m_view.listRows().itemValue(paddedRow()), RegisterListModel::kBlue);
    EXPECT_EQ(m_view.listRows().itemValue(1 - paddedRow()), 0u);
}

// The question of how many records go is asked before the deletion takes
// the register: another desk can save meanwhile, and what it saved is not
// deleted unasked.
TEST_P(LookAlikeRecords, ANamesakeSavedWhileTheClerkDecidesIsNotDeletedUnasked)
{
    ASSERT_GE(m_db.insert(kTable, {{"发文号", kPadded}, {"标题", "乙"_gbk}}), 0); // a namesake not listed
    const PrivateConnection otherDesk(m_db.connection()->name());
    ASSERT_TRUE(otherDesk.isOpen()) << otherDesk.error().toStdString();
    bool saved = false;
    m_db.prompter().onAsk([&](const Prompter::Message& message) {
        if (message.text.contains(QStringLiteral("共有")))
            saved = QSqlQuery(otherDesk.database())
                        .exec(QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题) VALUES ('%1', '丙')")
                                  .arg(toQString(kPadded)));
    });
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.deleteRecords();
    EXPECT_TRUE(saved); // not kept waiting
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 发文登记表 WHERE 发文号 = '%1'").arg(toQString(kPadded))),
              QStringLiteral("3"));
    EXPECT_TRUE(m_db.prompter().texts().back().contains(QStringLiteral("确认期间")))
        << m_db.prompter().texts().back().toStdString();
    EXPECT_EQ(m_view.listRows().rowCount(), 2);
}

// The trail of the query window's deletions, read back.
class TrailedRecords : public LookAlikeRecords
{
protected:
    QSqlDatabase database() const { return QSqlDatabase::database(m_db.connection()->name(), false); }
    std::vector<AuditTrail::Entry> trail() const
    {
        std::vector<AuditTrail::Entry> entries;
        EXPECT_EQ(AuditTrail(database()).forEach({}, [&](const AuditTrail::Entry& e) { entries.push_back(e); }),
                  QString());
        return entries;
    }
    // Makes every statement on `table` of kind `event` fail.
    void failOn(const QString& event, const QString& table)
    {
        if (GetParam() == test::Backend::Postgres) {
            ASSERT_TRUE(m_db.execute(QStringLiteral("CREATE FUNCTION injected() RETURNS trigger LANGUAGE plpgsql AS "
                                                    "$$BEGIN RAISE EXCEPTION 'injected'; END$$")));
            ASSERT_TRUE(m_db.execute(QStringLiteral("CREATE TRIGGER injected BEFORE %1 ON %2 FOR EACH ROW EXECUTE "
                                                    "FUNCTION injected()")
                                         .arg(event, table)));
        } else {
            ASSERT_TRUE(m_db.execute(
                QStringLiteral("CREATE TRIGGER injected BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'injected'); END")
                    .arg(event, table)));
        }
    }
    QString count(const QString& table) { return m_db.value(QStringLiteral("SELECT count(*) FROM %1").arg(table)); }
};

INSTANTIATE_TEST_SUITE_P(Databases, TrailedRecords, ::testing::Values(test::Backend::Sqlite, test::Backend::Postgres),
                         test::BackendName());

TEST_P(TrailedRecords, F12DeleteIsLoggedAndRestoredWithItsBytes)
{
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.deleteRecords();
    ASSERT_EQ(numberOf(m_padded), QString());
    const std::vector<AuditTrail::Entry> entries = trail();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].action, QStringLiteral("删除记录"));
    EXPECT_EQ(entries[0].number, toQString(kPadded)); // the trailing blank kept
    // Every column, in the register's order, as [column, text or null].
    const QJsonArray before = QJsonDocument::fromJson(entries[0].before.toUtf8()).array();
    ASSERT_EQ(before.size(), 16);
    EXPECT_EQ(before.first().toArray(), (QJsonArray{QStringLiteral("发文号"), toQString(kPadded)}));
    EXPECT_EQ(before.last().toArray(), (QJsonArray{QStringLiteral("文件类型"), QStringLiteral("wps")}));
    EXPECT_EQ(before.at(2).toArray(), (QJsonArray{QStringLiteral("密级"), QJsonValue()}));
    const QByteArray bytes = QStringLiteral("甲%1").arg(m_padded).toUtf8();
    EXPECT_EQ(entries[0].attachmentSize, bytes.size());
    EXPECT_EQ(entries[0].attachmentDigest,
              QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));

    const AuditTrail::Restoration restored = AuditTrail(database()).restore(entries[0].id);
    ASSERT_EQ(restored.outcome, AuditTrail::Restoration::Outcome::Restored) << restored.text.toStdString();
    EXPECT_EQ(numberOf(restored.record), toQString(kPadded));
    StoredAttachment attachment;
    EXPECT_EQ(AttachmentStore(database()).read(kTable, restored.record, attachment), QString());
    EXPECT_EQ(attachment.type, "wps"_gbk);
    EXPECT_EQ(attachment.bytes, bytes);
    const AuditTrail::Restoration again = AuditTrail(database()).restore(entries[0].id);
    EXPECT_EQ(again.outcome, AuditTrail::Restoration::Outcome::Refused);
    EXPECT_EQ(trail().size(), 2u); // the restore, logged
    EXPECT_EQ(trail().back().refersTo, entries[0].id);
    EXPECT_FALSE(AuditTrail(database()).verify().firstBad);
}

TEST_P(TrailedRecords, F8DeleteKeepsTheAttachmentInTheBin)
{
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.removeAttachments();
    const std::vector<AuditTrail::Entry> entries = trail();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].action, QStringLiteral("删除附件"));
    EXPECT_EQ(entries[0].number, toQString(kPadded));
    EXPECT_EQ(count(QStringLiteral("回收站附件")), QStringLiteral("1"));
}

TEST_P(TrailedRecords, AFailedLogRowLeavesTheRecordAndTellsTheClerk)
{
    failOn(QStringLiteral("INSERT"), QStringLiteral("操作日志"));
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.deleteRecords();
    EXPECT_EQ(numberOf(m_padded), toQString(kPadded));
    ASSERT_EQ(m_db.prompter().texts().size(), 2);
    EXPECT_TRUE(m_db.prompter().texts().back().contains(QStringLiteral("操作日志无法写入")));
    EXPECT_EQ(m_view.listRows().rowCount(), 2);
}

TEST_P(TrailedRecords, AFailedChangeLeavesNoLogRow)
{
    failOn(QStringLiteral("DELETE"), QStringLiteral("发文登记表"));
    selectPadded();
    m_db.prompter().willAnswer(Prompter::Answer::Yes);
    m_controller.deleteRecords();
    EXPECT_EQ(numberOf(m_padded), toQString(kPadded));
    EXPECT_EQ(count(QStringLiteral("操作日志")), QStringLiteral("0"));
    EXPECT_EQ(count(QStringLiteral("回收站附件")), QStringLiteral("0"));
}

} // namespace

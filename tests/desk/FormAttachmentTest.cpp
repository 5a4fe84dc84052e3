// The form's side of attachments: a file chosen for a registration row is kept
// in the row until saving stores it in the register.
#include "desk/FormAttachment.h"

#include "TestDatabase.h"
#include "db/RegisterStatements.h"
#include "desk/ListCtrlRows.h"
#include "list/RegisterListCtrl.h"
#include "platform/GbkQt.h"

#include <QTest>

using namespace regdesk;

class FormAttachmentTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registrationRowKeepsThePathUntilSaved();

private:
    std::unique_ptr<test::TestDatabase> m_db;
};

void FormAttachmentTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
}

void FormAttachmentTest::cleanup()
{
    m_db.reset();
}

void FormAttachmentTest::registrationRowKeepsThePathUntilSaved()
{
    RegisterListCtrl list;
    list.setupColumns("0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
    RegisterListModel& rows = list.listModel();
    rows.appendRow({"中法发〔2024〕5号"_gbk});
    ListCtrlRows formRows(list);
    const QString path = m_db->folder().filePath(QStringLiteral("来文.doc"));
    m_db->folder().writeFile(QStringLiteral("来文.doc"), std::string("\0doc", 4));

    QVERIFY(!FormAttachment::chooseFileForRow(formRows, 0, m_db->prompter(), nullptr)); // cancelled
    QCOMPARE(rows.itemValue(0), 0u);
    m_db->prompter().willChooseFile(path);
    QVERIFY(FormAttachment::chooseFileForRow(formRows, 0, m_db->prompter(), nullptr));
    QCOMPARE(toQString(rows.cellText(0, FormAttachment::kPathColumn)), path);
    QCOMPARE(rows.itemValue(0), RegisterListModel::kBlue);
    QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("0"));

    // Saving inserts the row, then stores the file named in its 文件位置.
    QVERIFY(m_db->insert(RegisterStatements::outgoingTable(),
                         {{"发文号", "中法发〔2024〕5号"_gbk}, {"标题", "甲"_gbk}}) >= 0);
    QCOMPARE(FormAttachment::storeAfterInsert(m_db->connection()->name(), RegisterStatements::outgoingTable(),
                                              rows.cellText(0, 0), rows.cellText(0, FormAttachment::kPathColumn)),
             QString());
    QCOMPARE(m_db->value(QStringLiteral("SELECT 文件类型 || hex(文件数据) FROM 发文登记表")),
             QStringLiteral("doc00646F63"));
}

QTEST_MAIN(FormAttachmentTest)
#include "FormAttachmentTest.moc"

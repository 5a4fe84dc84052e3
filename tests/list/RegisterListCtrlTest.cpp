#include "list/RegisterListCtrl.h"

#include "TestDatabase.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "people/CompletionEdit.h"
#include "platform/GbkQt.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

using namespace regdesk;

namespace {

std::vector<GbkString> cells(std::initializer_list<const char*> texts)
{
    std::vector<GbkString> row;
    for (const char* text : texts)
        row.push_back(utf8ToGbk(text));
    return row;
}

QString cell(const RegisterListCtrl& list, int row, int column)
{
    return toQString(list.listModel().cellText(row, column));
}

QStringList columnTexts(const RegisterListCtrl& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row)
        texts << cell(list, row, column);
    return texts;
}

} // namespace

class RegisterListCtrlTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columnsComeFromTheHeaderString();
    void widthsBeyondTheLastColumnAreIgnored();
    void fillInsertsRecordsAtTheTop();
    void fillWithAnEmptyRecordsetStillSizesTheColumns();
    void rowColourFollowsTheItemValue_data();
    void rowColourFollowsTheItemValue();
    void sortComparesColumnTextAsText_data();
    void sortComparesColumnTextAsText();
    void sortKeepsColourAndSelectionWithTheirRows();
    void ownerDirectionAlternatesAcrossColumns();
    void deleteRemovesOnlySelectedRows();
    void clickOnlySelectsWhileEditingIsDisabled();
    void clickOpensTheCellEditorAndTabCommits();
    void enterMovesToTheNextCell();
    void enterInTheLastColumnWrapsToTheNextRow();
    void enterInTheLastCellAppendsARow();
    void enterInAnEmptyCellDoesNotAdvance();

private:
    void showList();
    void clickCell(int row, int column);
    void fillTwoColumns(int rows);

    std::unique_ptr<test::TestDatabase> m_db;
    std::unique_ptr<RegisterListCtrl> m_list;
};

void RegisterListCtrlTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
    m_list = std::make_unique<RegisterListCtrl>();
    m_list->resize(700, 300);
}

void RegisterListCtrlTest::cleanup()
{
    m_list.reset();
    m_db.reset();
}

void RegisterListCtrlTest::showList()
{
    m_list->show();
    m_list->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
}

void RegisterListCtrlTest::clickCell(int row, int column)
{
    const QRect rect = m_list->visualRect(m_list->listModel().index(row, column));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
}

void RegisterListCtrlTest::fillTwoColumns(int rows)
{
    m_list->setupColumns("发文号,标题"_gbk);
    for (int i = 0; i < rows; ++i)
        m_list->listModel().appendRow({"N" + std::to_string(i), "T" + std::to_string(i)});
}

void RegisterListCtrlTest::columnsComeFromTheHeaderString()
{
    m_list->setupColumns("发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, 制码单位, "
                         "制码时间, 版本 ,备注,条码已打,自定义排序,文件位置"_gbk);
    m_list->setColumnWidths("120,350, 50, 50 , 150 , 70 , 180 , 70 , 70 , 70 , 70 , 70 ,60 ,70,70,30,80 ");
    QCOMPARE(m_list->columnCount(), 17);
    QCOMPARE(m_list->listModel().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("发文号 "));
    QCOMPARE(m_list->listModel().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral(" 标题"));
    QCOMPARE(m_list->columnWidth(0), 120);
    QCOMPARE(m_list->columnWidth(2), 50);
    QCOMPARE(m_list->columnWidth(15), 30);
    QCOMPARE(m_list->columnWidth(16), 80);
}

void RegisterListCtrlTest::widthsBeyondTheLastColumnAreIgnored()
{
    m_list->setupColumns("a, b, c");
    m_list->setColumnWidths("10,20, 30 ,40");
    QCOMPARE(m_list->columnCount(), 3);
    QCOMPARE(m_list->columnWidth(0), 10);
    QCOMPARE(m_list->columnWidth(1), 20);
    QCOMPARE(m_list->columnWidth(2), 30);
}

void RegisterListCtrlTest::fillInsertsRecordsAtTheTop()
{
    for (const char* number : {"甲〔2026〕1号", "甲〔2026〕2号", "甲〔2026〕3号"}) {
        DocumentRecord record;
        record[DocumentRecord::Number] = utf8ToGbk(number);
        record[DocumentRecord::Title] = "关于一件很长很长很长很长很长很长很长的事情的通知"_gbk;
        AdoRecordset insert;
        QVERIFY(insert.openQuery(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), record)));
    }
    m_list->setupColumns("发文号,标题,备注"_gbk);
    m_list->setColumnWidths("5,5,5");
    m_list->listModel().appendRow(cells({"旧行", "旧标题", "旧备注"}), RegisterListModel::kBlue);

    AdoRecordset recordset;
    QVERIFY(recordset.openQuery("SELECT 发文号, 标题 FROM 发文登记表 ORDER BY 发文号"_gbk));
    m_list->fillFromRecordset(recordset);

    QCOMPARE(m_list->rowCount(), 4);
    QCOMPARE(columnTexts(*m_list, 0), (QStringList{QStringLiteral("甲〔2026〕1号"), QStringLiteral("甲〔2026〕2号"),
                                                   QStringLiteral("甲〔2026〕3号"), QStringLiteral("旧行")}));
    QCOMPARE(cell(*m_list, 0, 1), QStringLiteral("关于一件很长很长很长很长很长很长很长的事情的通知"));
    QCOMPARE(cell(*m_list, 0, 2), QString());
    QCOMPARE(m_list->listModel().itemValue(3), RegisterListModel::kBlue);
    // Columns of the recordset's fields fit their contents; the third keeps its width.
    QVERIFY(m_list->columnWidth(1) > 100);
    QVERIFY(m_list->columnWidth(0) > 5);
    QCOMPARE(m_list->columnWidth(2), 5);
}

void RegisterListCtrlTest::fillWithAnEmptyRecordsetStillSizesTheColumns()
{
    m_list->setupColumns("发文号,标题"_gbk);
    m_list->setColumnWidths("2,2");
    AdoRecordset recordset;
    QVERIFY(recordset.openQuery("SELECT 发文号, 标题 FROM 发文登记表"_gbk));
    m_list->fillFromRecordset(recordset);
    QCOMPARE(m_list->rowCount(), 0);
    QVERIFY(m_list->columnWidth(0) >= m_list->horizontalHeader()->sectionSizeHint(0));
    QVERIFY(m_list->columnWidth(1) > 2);
}

void RegisterListCtrlTest::rowColourFollowsTheItemValue_data()
{
    QTest::addColumn<quint32>("itemValue");
    QTest::addColumn<QVariant>("colour");
    QTest::newRow("red") << quint32(0x000000FF) << QVariant(QColor(255, 0, 0));
    QTest::newRow("green") << quint32(0x0000FF00) << QVariant(QColor(0, 255, 0));
    QTest::newRow("blue") << quint32(0x00FF0000) << QVariant(QColor(0, 0, 255));
    QTest::newRow("zero: default colour") << quint32(0) << QVariant();
    QTest::newRow("other value: default colour") << quint32(0x00808080) << QVariant();
}

void RegisterListCtrlTest::rowColourFollowsTheItemValue()
{
    QFETCH(quint32, itemValue);
    QFETCH(QVariant, colour);
    fillTwoColumns(0);
    m_list->listModel().appendRow(cells({"a", "b"}), itemValue);
    QCOMPARE(m_list->listModel().data(m_list->listModel().index(0, 1), Qt::ForegroundRole), colour);
}

void RegisterListCtrlTest::sortComparesColumnTextAsText_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numbers as text") << QStringList{QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("1")}
                                     << true
                                     << QStringList{QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("9")};
    QTest::newRow("descending") << QStringList{QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("1")} << false
                                << QStringList{QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("1")};
    QTest::newRow("dates by stored text")
        << QStringList{QStringLiteral("20240102"), QStringLiteral("2023123"), QStringLiteral("20231231")} << true
        << QStringList{QStringLiteral("2023123"), QStringLiteral("20231231"), QStringLiteral("20240102")};
    QTest::newRow("GBK order, ASCII case ignored")
        << QStringList{QStringLiteral("张三"), QStringLiteral("b"), QStringLiteral("李四"), QStringLiteral("A")} << true
        << QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("李四"), QStringLiteral("张三")};
}

void RegisterListCtrlTest::sortComparesColumnTextAsText()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, ascending);
    QFETCH(QStringList, sorted);
    fillTwoColumns(0);
    for (const QString& text : texts)
        m_list->listModel().appendRow({"x", fromQString(text)});
    m_list->sortByColumn(1, ascending);
    QCOMPARE(columnTexts(*m_list, 1), sorted);
}

void RegisterListCtrlTest::sortKeepsColourAndSelectionWithTheirRows()
{
    fillTwoColumns(0);
    m_list->listModel().appendRow(cells({"b", "red row"}), RegisterListModel::kRed);
    m_list->listModel().appendRow(cells({"B", "first equal"}));
    m_list->listModel().appendRow(cells({"a", "plain"}));
    m_list->listModel().appendRow(cells({"b", "second equal"}));
    m_list->selectRow(0);

    m_list->sortByColumn(0, true);

    QCOMPARE(columnTexts(*m_list, 1), (QStringList{QStringLiteral("plain"), QStringLiteral("red row"),
                                                   QStringLiteral("first equal"), QStringLiteral("second equal")}));
    QCOMPARE(m_list->listModel().itemValue(1), RegisterListModel::kRed);
    QCOMPARE(m_list->selectedRowNumbers(), std::vector<int>{1});
}

void RegisterListCtrlTest::ownerDirectionAlternatesAcrossColumns()
{
    AlternatingSortOrder order;
    QCOMPARE(order.nextAscending(), true);
    QCOMPARE(order.nextAscending(), false);
    QCOMPARE(order.nextAscending(), true);
}

void RegisterListCtrlTest::deleteRemovesOnlySelectedRows()
{
    fillTwoColumns(6);
    for (int row : {1, 3, 4})
        m_list->selectRow(row, true);
    m_list->deleteSelectedRows();
    QCOMPARE(columnTexts(*m_list, 0), (QStringList{QStringLiteral("N0"), QStringLiteral("N2"), QStringLiteral("N5")}));
}

void RegisterListCtrlTest::clickOnlySelectsWhileEditingIsDisabled()
{
    fillTwoColumns(3);
    m_list->setEditingDisabled(true);
    showList();
    QSignalSpy opened(m_list.get(), &RegisterListCtrl::cellEditorOpened);
    clickCell(1, 1);
    QVERIFY(!m_list->isEditing());
    QVERIFY(m_list->cellEditor()->isHidden());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(m_list->selectedRowNumbers(), std::vector<int>{1});
}

void RegisterListCtrlTest::clickOpensTheCellEditorAndTabCommits()
{
    fillTwoColumns(3);
    m_list->setEditingDisabled(false);
    showList();
    QSignalSpy opened(m_list.get(), &RegisterListCtrl::cellEditorOpened);
    QSignalSpy committed(m_list.get(), &RegisterListCtrl::cellEditCommitted);

    clickCell(1, 1);
    CompletionEdit* editor = m_list->cellEditor();
    QVERIFY(m_list->isEditing());
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->property("controlId").toInt(), 101);
    QCOMPARE(editor->text(), QStringLiteral("T1"));
    QCOMPARE(opened.count(), 1);
    const QRect cellRect = m_list->visualRect(m_list->listModel().index(1, 1));
    QCOMPARE(editor->geometry().topLeft(), cellRect.topLeft());
    QCOMPARE(editor->width(), cellRect.width() * 3 / 2);
    QTRY_VERIFY(editor->hasFocus());

    QTest::keyClicks(editor, QStringLiteral("edited"));
    QTest::keyClick(editor, Qt::Key_Tab);

    QCOMPARE(cell(*m_list, 1, 1), QStringLiteral("edited"));
    QVERIFY(editor->isHidden());
    QVERIFY(!m_list->isEditing());
    QCOMPARE(committed.count(), 1);
    QVERIFY(m_list->hasFocus());
}

void RegisterListCtrlTest::enterMovesToTheNextCell()
{
    fillTwoColumns(2);
    m_list->setEditingDisabled(false);
    showList();
    clickCell(0, 0);
    CompletionEdit* editor = m_list->cellEditor();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClicks(editor, QStringLiteral("new"));
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(cell(*m_list, 0, 0), QStringLiteral("new"));
    QCOMPARE(m_list->editRow(), 0);
    QCOMPARE(m_list->editColumn(), 1);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("T0"));
}

void RegisterListCtrlTest::enterInTheLastColumnWrapsToTheNextRow()
{
    fillTwoColumns(3);
    m_list->setEditingDisabled(false);
    showList();
    clickCell(1, 1);
    CompletionEdit* editor = m_list->cellEditor();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClicks(editor, QStringLiteral("last"));
    QTest::keyClick(editor, Qt::Key_Return);

    // The finished cell is written into its own column, not into the row's first.
    QCOMPARE(cell(*m_list, 1, 1), QStringLiteral("last"));
    QCOMPARE(cell(*m_list, 1, 0), QStringLiteral("N1"));
    QCOMPARE(m_list->editRow(), 2);
    QCOMPARE(m_list->editColumn(), 0);
    QCOMPARE(editor->text(), QStringLiteral("N2"));
    QCOMPARE(m_list->rowCount(), 3);
}

void RegisterListCtrlTest::enterInTheLastCellAppendsARow()
{
    fillTwoColumns(2);
    m_list->setEditingDisabled(false);
    showList();
    clickCell(1, 1);
    CompletionEdit* editor = m_list->cellEditor();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(m_list->rowCount(), 3);
    QCOMPARE(m_list->editRow(), 2);
    QCOMPARE(m_list->editColumn(), 0);
    QVERIFY(editor->isVisible());
    QVERIFY(editor->text().isEmpty());
    QCOMPARE(cell(*m_list, 1, 1), QStringLiteral("T1"));
    // Editing goes on in the new row.
    QTest::keyClicks(editor, QStringLiteral("added"));
    QTest::keyClick(editor, Qt::Key_Tab);
    QCOMPARE(cell(*m_list, 2, 0), QStringLiteral("added"));
}

void RegisterListCtrlTest::enterInAnEmptyCellDoesNotAdvance()
{
    fillTwoColumns(1);
    m_list->listModel().setCellText(0, 0, {});
    m_list->setEditingDisabled(false);
    showList();
    clickCell(0, 0);
    CompletionEdit* editor = m_list->cellEditor();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(m_list->editColumn(), 0);
    QVERIFY(editor->isVisible());
    QCOMPARE(m_list->rowCount(), 1);
}

QTEST_MAIN(RegisterListCtrlTest)
#include "RegisterListCtrlTest.moc"

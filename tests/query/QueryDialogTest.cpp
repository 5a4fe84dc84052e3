// The query window driven as a clerk drives it (offscreen; boxes and file
// dialogs answered by FakePrompter, folders recorded by FakeDesktopOpener).
#include "query/QueryDialog.h"

#include "FakeDesktopOpener.h"
#include "TestDatabase.h"
#include "db/RegisterStatements.h"
#include "db/SqliteRegisterSearch.h"
#include "list/RegisterListCtrl.h"
#include "platform/BackgroundWork.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/ScreenFit.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <future>

using namespace regdesk;
using Dialog = QueryDialog;

class QueryDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsCarryIdsAndAccessibleNames();
    void emptyIncomingRegisterLeavesTheFieldListEmpty();
    void radiosChangeOnlyCaptionAndTarget();
    void fuzzySearchWithTwoTermsOrDoubleUnderscore();
    void moreThanTwentyTermsAreCutAndSaid();
    void exactSearchOnTitleAndAnEmptyValue();
    void injectionAttemptsChangeNothing();
    void customKeyOrdersBothNumberShapesClassifiedFirst();
    void f12DeleteRemovesRecordsAfterAsking();
    void f8DeleteRemovesAttachmentsDeleteAloneTheRows();
    void windowKeysActFromTheSearchFieldWhichKeepsItsEditing();
    void theToggleActionOfAScreenReaderSwitchesTheRegister();
    void aSmallScreenMakesTheWindowScroll();
    void attachAndExportRoundTrip();
    void homeExportsTheSelectedAttachments();
    void failedTransfersAreToldNotHidden();
    void transfersLeaveTheEventLoopRunning();

private:
    void openWindow(const std::string& settings = {});
    // The window on 发文登记表 (发文查询 chosen).
    void openOutgoing(const std::string& settings = {});
    void addOutgoing(const char* number, const char* title, const char* secrecy = "无", const char* fileType = "");
    template <typename T = QWidget> T* byId(int id) const { return qobject_cast<T*>(m_window->control(id)); }
    void typeInto(int id, const QString& text);
    void fuzzy(const QString& text);
    QStringList listedNumbers() const;
    QRect rowRect(int row) const;
    void selectRows(std::initializer_list<int> rows);
    void doubleClickRow(int row);
    void pressWithKeyHeld(Qt::Key held, Qt::Key key);
    QString outputFolder() const { return m_db->folder().filePath(QStringLiteral("out")); }

    std::unique_ptr<test::TestDatabase> m_db;
    std::unique_ptr<SqliteRegisterSearch> m_search;
    std::unique_ptr<test::FakeDesktopOpener> m_opener;
    std::unique_ptr<Dialog> m_window;
};

void QueryDialogTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
    m_search = std::make_unique<SqliteRegisterSearch>(m_db->connection());
    m_opener = std::make_unique<test::FakeDesktopOpener>();
}

void QueryDialogTest::cleanup()
{
    m_window.reset();
    m_search.reset();
    m_db.reset();
    m_opener.reset();
}

void QueryDialogTest::openWindow(const std::string& settings)
{
    m_db->folder().writeSettings("[发文设置]\n二维码输出位置=" + outputFolder().toStdString() + "\n\n" + settings);
    m_window =
        std::make_unique<Dialog>(QuerySeams{m_db->connection(), *m_search, m_db->prompter(), *m_opener,
                                            fromQString(m_db->folder().filePath(QStringLiteral("document.ini")))});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void QueryDialogTest::openOutgoing(const std::string& settings)
{
    openWindow(settings);
    QTest::mouseClick(byId<QRadioButton>(Dialog::OutgoingRadio), Qt::LeftButton);
}

void QueryDialogTest::addOutgoing(const char* number, const char* title, const char* secrecy, const char* fileType)
{
    QVERIFY(m_db->insert(RegisterStatements::outgoingTable(), {{"发文号", utf8ToGbk(number)},
                                                               {"标题", utf8ToGbk(title)},
                                                               {"密级", utf8ToGbk(secrecy)},
                                                               {"文件类型", utf8ToGbk(fileType)}}) >= 0);
}

void QueryDialogTest::typeInto(int id, const QString& text)
{
    auto* edit = byId<QLineEdit>(id);
    QVERIFY(edit);
    edit->setFocus();
    // QTest types ASCII only: Chinese arrives as an input method would leave it.
    edit->setText(text);
}

void QueryDialogTest::fuzzy(const QString& text)
{
    typeInto(Dialog::FuzzyEdit, text);
    QTest::keyClick(byId(Dialog::FuzzyEdit), Qt::Key_Return);
}

QStringList QueryDialogTest::listedNumbers() const
{
    QStringList numbers;
    const RegisterListModel& rows = m_window->registerList().listModel();
    for (int row = 0; row < rows.rowCount(); ++row)
        numbers << toQString(rows.cellText(row, 0));
    return numbers;
}

QRect QueryDialogTest::rowRect(int row) const
{
    RegisterListCtrl& list = m_window->registerList();
    return list.visualRect(list.listModel().index(row, 1));
}

void QueryDialogTest::selectRows(std::initializer_list<int> rows)
{
    RegisterListCtrl& list = m_window->registerList();
    bool first = true;
    for (const int row : rows) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, first ? Qt::NoModifier : Qt::ControlModifier,
                          rowRect(row).center());
        first = false;
    }
}

void QueryDialogTest::doubleClickRow(int row)
{
    // The view takes a double click only on the row that the first click pressed.
    QWidget* viewport = m_window->registerList().viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowRect(row).center());
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, rowRect(row).center());
}

void QueryDialogTest::pressWithKeyHeld(Qt::Key held, Qt::Key key)
{
    QWidget* list = &m_window->registerList();
    QTest::keyPress(list, held);
    QTest::keyClick(list, key);
    QTest::keyRelease(list, held);
}

void QueryDialogTest::controlsCarryIdsAndAccessibleNames()
{
    openWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("收发文查询"));
    QVERIFY(!m_window->windowIcon().isNull());
    const struct
    {
        int id;
        const char* name;
    } controls[] = {{108, "模糊条件"},  {1309, "查询字段"}, {1264, "相似于"},   {1045, "查询结果"},
                    {1321, "已选择"},   {110, "模糊查询"},  {1047, "准确查询"}, {1096, "打印excel清单"},
                    {1317, "收文查询"}, {1318, "发文查询"}};
    for (const auto& control : controls) {
        QWidget* widget = byId(control.id);
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->accessibleName(), QString::fromUtf8(control.name));
    }
    QVERIFY(m_window->registerList().editingDisabled());
    QCOMPARE(m_window->registerList().columnCount(), 15);
    QCOMPARE(m_window->registerList().columnWidth(14), 30);
    QVERIFY(byId<QProgressBar>(Dialog::Progress)->isHidden());

    // The count is read out by a screen reader, not only shown.
    addOutgoing("1号", "甲");
    addOutgoing("2号", "甲");
    QTest::mouseClick(byId<QRadioButton>(Dialog::OutgoingRadio), Qt::LeftButton);
    fuzzy(QStringLiteral("甲"));
    selectRows({0, 1});
    QCOMPARE(byId<QLabel>(Dialog::SelectionCount)->text(), QStringLiteral("已选择：2个"));
    QAccessibleInterface* label = QAccessible::queryAccessibleInterface(byId(Dialog::SelectionCount));
    QVERIFY(label);
    QCOMPARE(label->text(QAccessible::Description), QStringLiteral("已选择：2个"));
}

void QueryDialogTest::emptyIncomingRegisterLeavesTheFieldListEmpty()
{
    openWindow();
    auto* field = byId<QComboBox>(Dialog::FieldCombo);
    QCOMPARE(field->count(), 0);
    QCOMPARE(field->currentText(), QStringLiteral("发文号"));
    // A typed field name still works.
    QVERIFY(m_db->insert(RegisterStatements::incomingTable(), {{"发文号", "收1号"_gbk}, {"标题", "来文"_gbk}}) >= 0);
    field->setEditText(QStringLiteral("标题"));
    typeInto(Dialog::ValueEdit, QStringLiteral("来"));
    QTest::keyClick(byId(Dialog::ValueEdit), Qt::Key_Return);
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("收1号")});

    // With a row there, the names of its list (11 of them) are offered.
    m_window.reset();
    openWindow();
    QCOMPARE(byId<QComboBox>(Dialog::FieldCombo)->count(), 11);
}

void QueryDialogTest::radiosChangeOnlyCaptionAndTarget()
{
    addOutgoing("发1号", "通知");
    QVERIFY(m_db->insert(RegisterStatements::incomingTable(), {{"发文号", "收1号"_gbk}, {"标题", "通知"_gbk}}) >= 0);
    openWindow();
    fuzzy(QStringLiteral("通知"));
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("收1号")});
    QTest::mouseClick(byId<QRadioButton>(Dialog::OutgoingRadio), Qt::LeftButton);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("发文查询"));
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("收1号")});
    QTest::mouseClick(byId<QPushButton>(Dialog::FuzzyButton), Qt::LeftButton);
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("发1号")});
    QTest::mouseClick(byId<QRadioButton>(Dialog::IncomingRadio), Qt::LeftButton);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("收文查询"));
    QVERIFY(m_window->isVisible());
}

void QueryDialogTest::fuzzySearchWithTwoTermsOrDoubleUnderscore()
{
    addOutgoing("1号", "表彰先进", "无", "doc");
    addOutgoing("2号", "表彰大会");
    addOutgoing("3号", "先进经验");
    openOutgoing();
    fuzzy(QStringLiteral(" 表彰  先进 "));
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("1号")});
    QVERIFY(byId<QProgressBar>(Dialog::Progress)->isHidden());
    fuzzy(QStringLiteral("表彰__大会"));
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("2号")});
    // Blue: the record with an attachment.
    fuzzy(QStringLiteral("表彰"));
    const RegisterListModel& rows = m_window->registerList().listModel();
    QCOMPARE(rows.rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        QCOMPARE(rows.itemValue(row), rows.cellText(row, 13).empty() ? 0u : RegisterListModel::kBlue);
    QCOMPARE(
        rows.data(rows.index(listedNumbers().indexOf(QStringLiteral("1号")), 1), Qt::ForegroundRole).value<QColor>(),
        QColor(Qt::blue));
    QVERIFY(m_db->prompter().shown().empty());
}

void QueryDialogTest::moreThanTwentyTermsAreCutAndSaid()
{
    addOutgoing("1号", "abcdefghijklmnopqrst");
    openOutgoing();
    // The 21st term (z) is not in the record: only the first 20 count.
    fuzzy(QStringLiteral("a b c d e f g h i j k l m n o p q r s t z"));
    QCOMPARE(m_db->prompter().captions(), QStringList{QStringLiteral("模糊查询")});
    QVERIFY(m_db->prompter().texts().front().contains(QStringLiteral("20")));
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("1号")});
}

void QueryDialogTest::exactSearchOnTitleAndAnEmptyValue()
{
    addOutgoing("1号", "关于召开会议的通知");
    addOutgoing("2号", "会议纪要");
    addOutgoing("3号", "通报");
    openOutgoing();
    byId<QComboBox>(Dialog::FieldCombo)->setEditText(QStringLiteral("标题"));
    typeInto(Dialog::ValueEdit, QStringLiteral("会议"));
    QTest::mouseClick(byId<QPushButton>(Dialog::ExactButton), Qt::LeftButton);
    QCOMPARE(listedNumbers(), (QStringList{QStringLiteral("1号"), QStringLiteral("2号")}));
    byId<QLineEdit>(Dialog::ValueEdit)->clear();
    QTest::mouseClick(byId<QPushButton>(Dialog::ExactButton), Qt::LeftButton);
    QCOMPARE(listedNumbers(), QStringList{});
    QVERIFY(m_db->prompter().shown().empty());
}

void QueryDialogTest::injectionAttemptsChangeNothing()
{
    addOutgoing("1号", "标题一");
    openOutgoing();
    byId<QComboBox>(Dialog::FieldCombo)->setEditText(QStringLiteral("发文号='' OR 1=1 --"));
    typeInto(Dialog::ValueEdit, QStringLiteral("x"));
    QTest::mouseClick(byId<QPushButton>(Dialog::ExactButton), Qt::LeftButton);
    QCOMPARE(listedNumbers(), QStringList{});
    QCOMPARE(m_db->prompter().captions(), QStringList{QStringLiteral("准确查询")});

    byId<QComboBox>(Dialog::FieldCombo)->setEditText(QStringLiteral("标题"));
    for (const QString& value : {QStringLiteral("' OR ''='"), QStringLiteral("'; DELETE FROM 发文登记表; --")}) {
        typeInto(Dialog::ValueEdit, value);
        QTest::mouseClick(byId<QPushButton>(Dialog::ExactButton), Qt::LeftButton);
        QCOMPARE(listedNumbers(), QStringList{});
        fuzzy(value);
        QCOMPARE(listedNumbers(), QStringList{});
    }
    QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("1"));
    QCOMPARE(m_db->prompter().shown().size(), std::size_t(1));
}

void QueryDialogTest::customKeyOrdersBothNumberShapesClassifiedFirst()
{
    addOutgoing("中法办〔2024〕12号", "甲");
    addOutgoing("中法通报第3期", "甲");
    addOutgoing("中法办〔2024〕3号", "甲");
    addOutgoing("市委发〔2024〕1号", "甲", "机密");
    openOutgoing("[自定义排序]\n中法办=1\n中法通报=02\n密级优先=是\n");
    fuzzy(QStringLiteral("甲"));
    QCOMPARE(listedNumbers(), (QStringList{QStringLiteral("市委发〔2024〕1号"), QStringLiteral("中法办〔2024〕3号"),
                                           QStringLiteral("中法办〔2024〕12号"), QStringLiteral("中法通报第3期")}));
    QCOMPARE(toQString(m_window->registerList().listModel().cellText(3, 14)), QStringLiteral("10200003"));
}

void QueryDialogTest::f12DeleteRemovesRecordsAfterAsking()
{
    addOutgoing("1号", "甲");
    addOutgoing("2号", "甲");
    addOutgoing("2号", "乙"); // a namesake that the search does not show
    openOutgoing();
    fuzzy(QStringLiteral("甲"));
    // Equal sort keys: the latest match first, each with its namesakes.
    QCOMPARE(listedNumbers(), (QStringList{QStringLiteral("2号"), QStringLiteral("2号"), QStringLiteral("1号")}));

    selectRows({2});
    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    pressWithKeyHeld(Qt::Key_F12, Qt::Key_Delete);
    const Prompter::Message& asked = m_db->prompter().shown().back().message;
    QCOMPARE(asked.text, QStringLiteral("永久删除所选记录？"));
    QCOMPARE(asked.caption, QStringLiteral("警告"));
    QCOMPARE(asked.defaultAnswer, Prompter::Answer::No);
    QCOMPARE(listedNumbers(), (QStringList{QStringLiteral("2号"), QStringLiteral("2号")}));
    QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("2"));

    // Two records go for the one number: said before they go.
    selectRows({0});
    m_db->prompter().clear();
    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    pressWithKeyHeld(Qt::Key_F12, Qt::Key_Delete);
    QCOMPARE(m_db->prompter().shown().size(), std::size_t(2));
    QVERIFY(m_db->prompter().texts().back().contains(QStringLiteral("2条记录")));
    QCOMPARE(listedNumbers(), QStringList{});
    QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("0"));
}

void QueryDialogTest::f8DeleteRemovesAttachmentsDeleteAloneTheRows()
{
    addOutgoing("1号", "甲", "无", "doc");
    QVERIFY(m_db->execute(QStringLiteral("UPDATE 发文登记表 SET 文件数据=x'01'")));
    openOutgoing();
    fuzzy(QStringLiteral("甲"));
    QCOMPARE(m_window->registerList().listModel().itemValue(0), RegisterListModel::kBlue);
    selectRows({0});
    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    pressWithKeyHeld(Qt::Key_F8, Qt::Key_Delete);
    QCOMPARE(m_db->prompter().texts(), QStringList{QStringLiteral("删除所选记录的附件？")});
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("1号")});
    QCOMPARE(m_window->registerList().listModel().itemValue(0), 0u);
    QCOMPARE(m_db->value(QStringLiteral("SELECT 文件类型 || '|' || ifnull(文件数据, 'null') FROM 发文登记表")),
             QStringLiteral("|null"));

    // Delete alone: the row leaves the view, the record stays.
    QTest::keyClick(&m_window->registerList(), Qt::Key_Delete);
    QCOMPARE(listedNumbers(), QStringList{});
    QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("1"));
    QCOMPARE(m_db->prompter().shown().size(), std::size_t(1));
}

void QueryDialogTest::windowKeysActFromTheSearchFieldWhichKeepsItsEditing()
{
    addOutgoing("1号", "甲");
    addOutgoing("2号", "甲");
    openOutgoing();
    fuzzy(QStringLiteral("甲"));
    selectRows({static_cast<int>(listedNumbers().indexOf(QStringLiteral("1号")))});
    auto* field = byId<QLineEdit>(Dialog::FuzzyEdit);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    // Home and Delete alone edit the text, and leave the list alone.
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QString());
    QCOMPARE(listedNumbers().size(), 2);
    QVERIFY(m_db->prompter().shown().empty());

    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    QTest::keyPress(field, Qt::Key_F12);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyRelease(field, Qt::Key_F12);
    QCOMPARE(m_db->prompter().texts(), QStringList{QStringLiteral("永久删除所选记录？")});
    QCOMPARE(listedNumbers(), QStringList{QStringLiteral("2号")});
    QCOMPARE(m_db->value(QStringLiteral("SELECT group_concat(发文号) FROM 发文登记表")), QStringLiteral("2号"));
}

void QueryDialogTest::theToggleActionOfAScreenReaderSwitchesTheRegister()
{
    openWindow();
    for (const int id : {Dialog::OutgoingRadio, Dialog::IncomingRadio}) {
        QAccessibleInterface* radio = QAccessible::queryAccessibleInterface(byId(id));
        QVERIFY(radio && radio->actionInterface());
        QVERIFY(radio->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        radio->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        const bool outgoing = id == Dialog::OutgoingRadio;
        QCOMPARE(m_window->windowTitle(), outgoing ? QStringLiteral("发文查询") : QStringLiteral("收文查询"));
        QCOMPARE(m_window->controller().currentRegister(),
                 outgoing ? QueryController::Register::Outgoing : QueryController::Register::Incoming);
    }
}

void QueryDialogTest::aSmallScreenMakesTheWindowScroll()
{
    openWindow();
    m_window->hide();
    const QSize designed = m_window->size();
    fitFormToScreen(*m_window, QRect(0, 0, 1920, 1040));
    QCOMPARE(m_window->size(), designed);
    QVERIFY(!m_window->findChild<QScrollArea*>(QStringLiteral("formScrollArea")));

    fitFormToScreen(*m_window, QRect(0, 0, 500, 300));
    auto* area = m_window->findChild<QScrollArea*>(QStringLiteral("formScrollArea"));
    QVERIFY(area);
    QVERIFY(m_window->width() <= 500 && m_window->height() <= 300);
    for (const int id : {Dialog::FuzzyEdit, Dialog::ExactButton, Dialog::ExcelButton, Dialog::ResultList})
        QVERIFY(area->widget()->isAncestorOf(byId(id)));
}

void QueryDialogTest::attachAndExportRoundTrip()
{
    addOutgoing("中法发〔2024〕1号", "甲");
    addOutgoing("中法发〔2024〕2号", "甲");
    openOutgoing();
    fuzzy(QStringLiteral("甲"));
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>((i * 7) % 256);
    m_db->folder().writeFile(QStringLiteral("附件 文件.docx"), bytes.toStdString());
    m_db->folder().writeFile(QStringLiteral("无点文件"), "plain");

    RegisterListCtrl& list = m_window->registerList();
    const struct
    {
        int row;
        QString file;
    } attached[] = {{0, QStringLiteral("附件 文件.docx")}, {1, QStringLiteral("无点文件")}};
    for (const auto& attach : attached) {
        m_db->prompter().willChooseFile(m_db->folder().filePath(attach.file));
        doubleClickRow(attach.row);
        QCOMPARE(list.listModel().itemValue(attach.row), RegisterListModel::kBlue);
    }
    QVERIFY(m_db->prompter().shown().empty());
    QVERIFY(m_opener->openedFolders().empty());

    // A row with an attachment exports it and shows the folder; no file dialog.
    doubleClickRow(0);
    QFile exported(QDir(outputFolder()).filePath(QStringLiteral("中法发〔2024〕1号.docx")));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), bytes);
    QCOMPARE(m_opener->openedFolders(), std::vector<GbkString>{fromQString(outputFolder())});

    // The type of a name without "." is its whole path, kept inside the folder.
    doubleClickRow(1);
    const QString pathAsType = m_db->folder().filePath(QStringLiteral("无点文件")).replace(u'/', u'_');
    QFile plain(QDir(outputFolder()).filePath(QStringLiteral("中法发〔2024〕2号.") + pathAsType));
    QVERIFY2(plain.open(QIODevice::ReadOnly), qPrintable(plain.fileName()));
    QCOMPARE(plain.readAll(), QByteArray("plain"));
    QVERIFY(m_db->prompter().shown().empty());
}

void QueryDialogTest::homeExportsTheSelectedAttachments()
{
    addOutgoing("1号", "甲", "无", "doc");
    addOutgoing("2号", "甲", "无", "wps");
    addOutgoing("3号", "甲");
    QVERIFY(m_db->execute(QStringLiteral("UPDATE 发文登记表 SET 文件数据=CAST(发文号 AS BLOB)")));
    openOutgoing();
    fuzzy(QStringLiteral("甲"));
    selectRows({0, 1, 2});
    m_db->prompter().willAnswer(Prompter::Answer::Yes);
    QTest::keyClick(&m_window->registerList(), Qt::Key_Home);
    QCOMPARE(m_db->prompter().texts(), QStringList{QStringLiteral("打开所选记录附件？")});
    QCOMPARE(QDir(outputFolder()).entryList(QDir::Files),
             (QStringList{QStringLiteral("1号.doc"), QStringLiteral("2号.wps")}));
    QCOMPARE(m_opener->openedFolders().size(), std::size_t(1));
}

void QueryDialogTest::failedTransfersAreToldNotHidden()
{
    addOutgoing("1号", "甲", "无", "doc");
    addOutgoing("2号", "乙");
    openOutgoing();
    fuzzy(QStringLiteral("1号"));
    // No output folder set: nothing goes to the file system's root.
    m_db->folder().writeSettings("[发文设置]\n二维码输出位置=\n");
    doubleClickRow(0);
    QVERIFY(m_db->prompter().texts().back().contains(QStringLiteral("二维码输出位置")));
    // The "folder" is a file: the export fails and says so.
    m_db->folder().writeSettings(
        "[发文设置]\n二维码输出位置=" + m_db->folder().filePath(QStringLiteral("document.ini")).toStdString() + "\n");
    doubleClickRow(0);
    QVERIFY(m_db->prompter().texts().back().startsWith(QStringLiteral("以下附件没有导出")));
    QVERIFY(m_opener->openedFolders().empty());

    // A file that cannot be read is not attached: the row stays as it was.
    fuzzy(QStringLiteral("2号"));
    m_db->prompter().willChooseFile(m_db->folder().filePath(QStringLiteral("missing.doc")));
    doubleClickRow(0);
    QVERIFY(m_db->prompter().texts().back().startsWith(QStringLiteral("附件没有保存")));
    QCOMPARE(m_window->registerList().listModel().itemValue(0), 0u);
    QCOMPARE(m_db->value(QStringLiteral("SELECT 文件类型 FROM 发文登记表 WHERE 发文号='2号'")), QString());
}

void QueryDialogTest::transfersLeaveTheEventLoopRunning()
{
    // The work ends only once the GUI thread has handled an event of its own:
    // were the window frozen while it waits, this would never return.
    std::promise<void> eventHandled;
    QTimer::singleShot(0, [&] { eventHandled.set_value(); });
    const QString failure = runInBackground([&] {
        eventHandled.get_future().wait();
        return QStringLiteral("done");
    });
    QCOMPARE(failure, QStringLiteral("done"));
}

QTEST_MAIN(QueryDialogTest)
#include "QueryDialogTest.moc"

#include "desk/RegistrationDialog.h"

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/ControlLookup.h"
#include "desk/FieldEdit.h"
#include "people/CompletionEdit.h"
#include "platform/GbkQt.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace regdesk;
using Dialog = RegistrationDialog;

namespace {

// The controls that are off in incoming mode and on in outgoing mode.
const QList<int> kOutgoingControls = {Dialog::ConfirmButton,   Dialog::VersionLabel,       Dialog::CodeNumberEdit,
                                      Dialog::IssuingUnitEdit, Dialog::TitleEdit,          Dialog::KindEdit,
                                      Dialog::LevelEdit,       Dialog::CodeUnitEdit,       Dialog::DrafterEdit,
                                      Dialog::NumberCombo,     Dialog::RecipientCombo,     Dialog::UrgencyCombo,
                                      Dialog::SecrecyCombo,    Dialog::DocumentDatePicker, Dialog::CodeDatePicker};

} // namespace

class RegistrationDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsInIncomingModeWithTheFieldsOff();
    void controlsCarryIdsNamesAndAccessibleNames_data();
    void controlsCarryIdsNamesAndAccessibleNames();
    void outgoingWithAnEmptySettingsFile();
    void outgoingFillsTheDefaultsFromTheSettings();
    void twelveNumberTypesOfferTenPrefixes();
    void switchingBackClearsTheCodeNumberAndLastNumber();
    void switchAsksWhileRowsArePending_data();
    void switchAsksWhileRowsArePending();
    void deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff_data();
    void deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff();
    void escapeClosesOnlyWhileCellEditingIsOn();
    void enterMovesOnAndNeverCloses();
    void pasteIntoTheTitleIsCleaned_data();
    void pasteIntoTheTitleIsCleaned();
    void headerClicksAlternateTheDirection();
    void cellEditingSwitch();
    void scannerPortFollowsTheMode();
    void timersDispatchByTheirIds();
    void drafterCompletesFromThePersonnelTable();
    void pendingButtonsAnnounceTheirClicks();
    void fieldsRoundTrip();
    void fieldNotificationsForTheNumberAndTitle();
    void missingDatabaseClosesTheForm();

private:
    void openForm(const std::string& settings = {});
    template <typename T = QWidget> T* byId(int id) const
    {
        T* control = findControl<T>(m_form.get(), id);
        if (!control)
            qWarning("no control %d", id);
        return control;
    }
    void addRows(int count);
    void switchToOutgoing();

    std::unique_ptr<test::FakePrompter> m_prompter;
    std::unique_ptr<test::TempDeskFolder> m_folder;
    std::unique_ptr<AdoDatabase> m_database;
    std::unique_ptr<Dialog> m_form;
};

void RegistrationDialogTest::init()
{
    m_prompter = std::make_unique<test::FakePrompter>();
    m_folder = std::make_unique<test::TempDeskFolder>();
    m_folder->useAsProgramDirectory();
    m_database = std::make_unique<AdoDatabase>(*m_prompter);
}

void RegistrationDialogTest::cleanup()
{
    m_form.reset();
    AdoDatabase::setActiveConnection(nullptr);
    m_database.reset();
    m_folder.reset();
    m_prompter.reset();
}

void RegistrationDialogTest::openForm(const std::string& settings)
{
    QVERIFY(m_folder->createDatabase());
    m_folder->writeSettings(settings);
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QVERIFY(m_prompter->shown().empty());
}

void RegistrationDialogTest::addRows(int count)
{
    for (int i = 0; i < count; ++i)
        m_form->registerList().listModel().appendRow({"N" + std::to_string(i), "T" + std::to_string(i)});
}

void RegistrationDialogTest::switchToOutgoing()
{
    QTest::mouseClick(byId<QPushButton>(Dialog::ModeButton), Qt::LeftButton);
    QVERIFY(m_form->isOutgoingMode());
}

void RegistrationDialogTest::startsInIncomingModeWithTheFieldsOff()
{
    openForm();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("收文登记"));
    QVERIFY(!m_form->isOutgoingMode());
    QCOMPARE(byId<QPushButton>(Dialog::ModeButton)->text(), QStringLiteral("发文登记"));
    for (int id : kOutgoingControls)
        QVERIFY2(!byId(id)->isEnabled(), qPrintable(QString::number(id)));
    QCOMPARE(byId<QLabel>(Dialog::VersionLabel)->text(), QStringLiteral("GB0626-2005"));
    QCOMPARE(byId<QPushButton>(Dialog::CellEditButton)->text(), QStringLiteral("局部修改"));
    QCOMPARE(byId<QLabel>(Dialog::EditHintLabel)->text(), QString());
    QVERIFY(!m_form->isCellEditingEnabled());
    QVERIFY(m_form->registerList().editingDisabled());
    QCOMPARE(m_form->registerList().columnCount(), 17);
    QCOMPARE(m_form->registerList().rowCount(), 0);
    QCOMPARE(m_form->registerList().columnWidth(1), 350);
    QVERIFY(!m_form->windowIcon().isNull());
    QCOMPARE(m_form->windowIcon().cacheKey(), m_form->incomingIcon().cacheKey());
    QCOMPARE(byId<QComboBox>(Dialog::UrgencyCombo)->count(), 3);
    QCOMPARE(byId<QComboBox>(Dialog::SecrecyCombo)->count(), 4);
    QCOMPARE(byId<QComboBox>(Dialog::RecipientCombo)->count(), 1);
    QVERIFY(byId<QComboBox>(Dialog::NumberCombo)->isEditable());
    QCOMPARE(byId<QDateEdit>(Dialog::DocumentDatePicker)->date(), QDate::currentDate());
}

void RegistrationDialogTest::controlsCarryIdsNamesAndAccessibleNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("accessibleName");
    const struct
    {
        int id;
        const char* objectName;
        const char* accessibleName;
    } controls[] = {
        {1242, "numberCombo", "发文字号"},        {1238, "titleEdit", "标题"},
        {1257, "drafterEdit", "拟稿人"},          {1243, "kindEdit", "公文种类"},
        {1305, "recipientCombo", "主送单位"},     {1237, "issuingUnitEdit", "发文单位"},
        {1241, "levelEdit", "发布层次"},          {1304, "urgencyCombo", "紧急程度"},
        {1303, "secrecyCombo", "密级"},           {1245, "codeUnitEdit", "制码单位"},
        {1022, "versionLabel", "版本"},           {1099, "codeNumberEdit", "条码编号"},
        {1252, "documentDatePicker", "成文时期"}, {1253, "codeDatePicker", "制码日期"},
        {1314, "lastNumberLabel", "上次发文号"},  {1297, "lastTitleLabel", "上次标题"},
        {1311, "editHintLabel", "修改提示"},      {1045, "registerList", "登记表"},
        {1308, "confirmButton", "发文信息确认"},  {1256, "barcodeButton", "生成条码"},
        {1025, "saveButton", "保存(S)"},          {1023, "modeButton", "发文登记"},
        {1014, "printTitlesButton", "打印标题"},  {110, "queryButton", "收发文查询"},
        {1310, "cellEditButton", "局部修改"},     {1312, "compactButton", "压缩库"},
        {1320, "backupButton", "备份库"},         {1319, "importPeopleButton", "更新人员表"},
    };
    for (const auto& control : controls)
        QTest::newRow(control.objectName)
            << control.id << QString::fromLatin1(control.objectName) << QString::fromUtf8(control.accessibleName);
}

void RegistrationDialogTest::controlsCarryIdsNamesAndAccessibleNames()
{
    QFETCH(int, id);
    QFETCH(QString, objectName);
    QFETCH(QString, accessibleName);
    openForm();
    QWidget* control = byId(id);
    QVERIFY(control);
    QCOMPARE(m_form->control(id), control);
    QCOMPARE(control->objectName(), objectName);
    QCOMPARE(control->accessibleName(), accessibleName);
    // What a screen reader or desktop automation reads. On Linux Qt names a
    // combo box by its current text, so its edit carries the field's name.
    auto* combo = qobject_cast<QComboBox*>(control);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(combo ? combo->lineEdit() : control);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
}

void RegistrationDialogTest::outgoingWithAnEmptySettingsFile()
{
    openForm();
    switchToOutgoing();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("发文登记"));
    QCOMPARE(byId<QPushButton>(Dialog::ModeButton)->text(), QStringLiteral("收文登记"));
    QCOMPARE(m_form->windowIcon().cacheKey(), m_form->outgoingIcon().cacheKey());
    for (int id : kOutgoingControls)
        QVERIFY2(byId(id)->isEnabled(), qPrintable(QString::number(id)));
    const RegistrationFields fields = m_form->fields();
    QCOMPARE(fields.title, GbkString());
    QCOMPARE(fields.issuingUnit, GbkString());
    QCOMPARE(fields.codeUnit, GbkString());
    QCOMPARE(fields.number, GbkString());
    QCOMPARE(fields.secrecy, "无"_gbk);
    QCOMPARE(fields.urgency, "无"_gbk);
    QCOMPARE(fields.recipient, GbkString());
    QCOMPARE(byId<QComboBox>(Dialog::RecipientCombo)->currentIndex(), 0);
    QCOMPARE(byId<QComboBox>(Dialog::NumberCombo)->count(), 0);
    QTRY_VERIFY(byId(Dialog::TitleEdit)->hasFocus());
}

void RegistrationDialogTest::outgoingFillsTheDefaultsFromTheSettings()
{
    openForm("[发文设置]\n制码单位=市中级法院\n发文单位=办公室\n标题=关于\n\n[主送单位]\n1=各庭室\n2=各派出法庭\n\n");
    QCOMPARE(byId<QComboBox>(Dialog::RecipientCombo)->count(), 3);
    QCOMPARE(byId<QComboBox>(Dialog::RecipientCombo)->itemText(2), QString());
    switchToOutgoing();
    const RegistrationFields fields = m_form->fields();
    QCOMPARE(fields.codeUnit, "市中级法院"_gbk);
    QCOMPARE(fields.issuingUnit, "办公室"_gbk);
    QCOMPARE(fields.title, "关于"_gbk);
    QCOMPARE(fields.recipient, "各庭室"_gbk);
    QCOMPARE(fields.version, "GB0626-2005"_gbk);
}

void RegistrationDialogTest::twelveNumberTypesOfferTenPrefixes()
{
    std::string settings = "[发文型式]\n";
    for (int i = 1; i <= 12; ++i)
        settings += std::to_string(i) + "=甲" + std::to_string(i) + "\n";
    openForm(settings + "\n");
    const auto* combo = byId<QComboBox>(Dialog::NumberCombo);
    QCOMPARE(combo->count(), 10);
    QCOMPARE(m_form->numberPrefixes().size(), std::size_t(10));
    const QString year = QString::number(QDate::currentDate().year());
    QCOMPARE(combo->itemText(0), QStringLiteral("甲1〔") + year + QStringLiteral("〕"));
    QCOMPARE(combo->itemText(9), QStringLiteral("甲10〔") + year + QStringLiteral("〕"));
    QCOMPARE(toQString(m_form->numberPrefixes()[9]), combo->itemText(9));
}

void RegistrationDialogTest::switchingBackClearsTheCodeNumberAndLastNumber()
{
    openForm();
    switchToOutgoing();
    RegistrationFields fields = m_form->fields();
    fields.codeNumber = "HZ2026001";
    fields.lastNumber = "甲〔2026〕3号"_gbk;
    fields.lastTitle = "关于某事的通知"_gbk;
    m_form->setFields(fields);
    QTest::mouseClick(byId<QPushButton>(Dialog::ModeButton), Qt::LeftButton);
    QVERIFY(!m_form->isOutgoingMode());
    fields = m_form->fields();
    QCOMPARE(fields.codeNumber, GbkString());
    QCOMPARE(fields.lastNumber, GbkString());
    QCOMPARE(fields.lastTitle, GbkString());
}

void RegistrationDialogTest::switchAsksWhileRowsArePending_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("No keeps the rows and the mode") << false;
    QTest::newRow("Yes drops the rows and switches") << true;
}

void RegistrationDialogTest::switchAsksWhileRowsArePending()
{
    QFETCH(bool, answerYes);
    openForm();
    addRows(2);
    m_prompter->willAnswer(answerYes ? Prompter::Answer::Yes : Prompter::Answer::No);
    QTest::mouseClick(byId<QPushButton>(Dialog::ModeButton), Qt::LeftButton);

    QCOMPARE(m_prompter->shown().size(), std::size_t(1));
    const Prompter::Message& question = m_prompter->shown().front().message;
    QCOMPARE(question.text, QStringLiteral("是否仍要继续"));
    QCOMPARE(question.caption, QStringLiteral("现有登记未完成"));
    QVERIFY(question.buttons == Prompter::Buttons::YesNo);
    QVERIFY(question.icon == Prompter::Icon::Question);
    QVERIFY(question.defaultAnswer == Prompter::Answer::No);
    QCOMPARE(m_form->isOutgoingMode(), answerYes);
    QCOMPARE(m_form->registerList().rowCount(), answerYes ? 0 : 2);

    // With the list empty the next switch asks nothing.
    if (answerYes) {
        QTest::mouseClick(byId<QPushButton>(Dialog::ModeButton), Qt::LeftButton);
        QCOMPARE(m_prompter->shown().size(), std::size_t(1));
        QVERIFY(!m_form->isOutgoingMode());
    }
}

void RegistrationDialogTest::deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff_data()
{
    QTest::addColumn<bool>("cellEditing");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("cell editing off: rows removed") << false << 2;
    QTest::newRow("cell editing on: rows kept") << true << 4;
}

void RegistrationDialogTest::deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff()
{
    QFETCH(bool, cellEditing);
    QFETCH(int, rowsLeft);
    openForm();
    switchToOutgoing();
    addRows(4);
    m_form->registerList().selectRow(1);
    m_form->registerList().selectRow(2, true);
    m_form->setCellEditing(cellEditing);
    auto* title = byId<FieldEdit>(Dialog::TitleEdit);
    title->setText(QStringLiteral("abc"));
    title->setFocus();
    title->setCursorPosition(0);
    QTRY_VERIFY(title->hasFocus());

    QTest::keyClick(title, Qt::Key_Delete);

    QCOMPARE(m_form->registerList().rowCount(), rowsLeft);
    // The key still reaches the focused field.
    QCOMPARE(title->text(), QStringLiteral("bc"));
    if (!cellEditing) {
        QCOMPARE(toQString(m_form->registerList().listModel().cellText(1, 0)), QStringLiteral("N3"));
    }
}

void RegistrationDialogTest::escapeClosesOnlyWhileCellEditingIsOn()
{
    int portClosed = 0;
    QVERIFY(m_folder->createDatabase());
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_form->setScannerPortHooks({[] { return true; }, [&portClosed] { ++portClosed; }});
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));

    QWidget* button = byId(Dialog::QueryButton);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Escape);
    QVERIFY(m_form->isVisible());
    QCOMPARE(portClosed, 0);

    QTest::mouseClick(byId<QPushButton>(Dialog::CellEditButton), Qt::LeftButton);
    QVERIFY(m_form->isCellEditingEnabled());
    // Escape in an open cell goes on to the form.
    addRows(1);
    QVERIFY(m_form->registerList().beginCellEdit(0, 0));
    QTRY_VERIFY(m_form->registerList().cellEditor()->hasFocus());
    QTest::keyClick(m_form->registerList().cellEditor(), Qt::Key_Escape);
    QTRY_VERIFY(!m_form->isVisible());
    QCOMPARE(m_form->result(), int(QDialog::Rejected));
    QCOMPARE(portClosed, 1);
}

void RegistrationDialogTest::enterMovesOnAndNeverCloses()
{
    openForm();
    switchToOutgoing();
    QWidget* title = byId(Dialog::TitleEdit);
    QTRY_VERIFY(title->hasFocus());
    QTest::keyClick(title, Qt::Key_Return);
    QTRY_VERIFY(!title->hasFocus());
    QCOMPARE(QApplication::focusWidget()->window(), m_form.get());
    QVERIFY(m_form->isVisible());

    auto* number = byId<QComboBox>(Dialog::NumberCombo);
    number->setFocus();
    QTRY_VERIFY(number->hasFocus());
    number->setEditText(QStringLiteral("甲〔2026〕1号"));
    QTest::keyClick(number, Qt::Key_Enter);
    QVERIFY(m_form->isVisible());
    QCOMPARE(number->count(), 0); // typed text never becomes an item
    QTest::keyClick(byId(Dialog::CodeUnitEdit), Qt::Key_Return);
    QVERIFY(m_form->isVisible());
}

void RegistrationDialogTest::pasteIntoTheTitleIsCleaned_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("title");
    QTest::newRow("blanks and line breaks")
        << QStringLiteral(" 关于 印发\r\n《办法》的\n通知 ") << QStringLiteral("关于印发《办法》的通知");
    QTest::newRow("full-width blanks") << QStringLiteral("　关于　通知　") << QStringLiteral("关于通知");
    QTest::newRow("empty clipboard empties the field") << QString() << QString();
}

void RegistrationDialogTest::pasteIntoTheTitleIsCleaned()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, title);
    openForm();
    switchToOutgoing();
    auto* edit = byId<FieldEdit>(Dialog::TitleEdit);
    edit->setText(QStringLiteral("原有文字"));
    edit->setCursorPosition(1);
    QApplication::clipboard()->setText(clipboard);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), title);
    QCOMPARE(edit->cursorPosition(), static_cast<int>(title.size()));
}

void RegistrationDialogTest::headerClicksAlternateTheDirection()
{
    openForm();
    RegisterListModel& model = m_form->registerList().listModel();
    model.appendRow({"2", "b"});
    model.appendRow({"10", "a"});
    model.appendRow({"9", "c"});
    QHeaderView* header = m_form->registerList().horizontalHeader();
    const auto clickHeader = [header](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    const auto column = [&model](int index) {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << toQString(model.cellText(row, index));
        return texts;
    };

    clickHeader(0);
    QCOMPARE(column(0), (QStringList{QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("9")}));
    clickHeader(0);
    QCOMPARE(column(0), (QStringList{QStringLiteral("9"), QStringLiteral("2"), QStringLiteral("10")}));
    // Another column goes on alternating: ascending now.
    clickHeader(1);
    QCOMPARE(column(1), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    clickHeader(1);
    QCOMPARE(column(1), (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
}

void RegistrationDialogTest::cellEditingSwitch()
{
    openForm();
    auto* toggle = byId<QPushButton>(Dialog::CellEditButton);
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(toggle->text(), QStringLiteral("关闭修改"));
    QCOMPARE(toggle->accessibleName(), QStringLiteral("关闭修改"));
    QCOMPARE(byId<QLabel>(Dialog::EditHintLabel)->text(), QStringLiteral("表内单元格可修改"));
    QVERIFY(!m_form->registerList().editingDisabled());

    addRows(1);
    QVERIFY(m_form->registerList().beginCellEdit(0, 1));
    m_form->registerList().cellEditor()->setText(QStringLiteral("改"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(toggle->text(), QStringLiteral("局部修改"));
    QCOMPARE(byId<QLabel>(Dialog::EditHintLabel)->text(), QString());
    QVERIFY(m_form->registerList().editingDisabled());
    QVERIFY(!m_form->registerList().isEditing());
    QCOMPARE(toQString(m_form->registerList().listModel().cellText(0, 1)), QStringLiteral("改"));
    QVERIFY(!m_form->registerList().beginCellEdit(0, 1));
}

void RegistrationDialogTest::scannerPortFollowsTheMode()
{
    QStringList calls;
    QVERIFY(m_folder->createDatabase());
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_form->setScannerPortHooks({[&calls] {
                                     calls << QStringLiteral("open");
                                     return true;
                                 },
                                 [&calls] { calls << QStringLiteral("close"); }});
    m_form->show();
    QTRY_COMPARE(calls, QStringList{QStringLiteral("open")});
    QVERIFY(m_form->isScannerPortOpen());
    switchToOutgoing();
    QCOMPARE(calls.last(), QStringLiteral("close"));
    QVERIFY(!m_form->isScannerPortOpen());
    m_form->close(); // outgoing mode: the port is already closed
    QCOMPARE(calls, (QStringList{QStringLiteral("open"), QStringLiteral("close")}));
}

void RegistrationDialogTest::timersDispatchByTheirIds()
{
    openForm();
    QList<int> ticks;
    for (int id : {int(Dialog::EncoderTimer), int(Dialog::BackupTimer), int(Dialog::PortNoticeTimer),
                   int(Dialog::PortRecoveryTimer), int(Dialog::AddinTextTimer)}) {
        // Each handler stops its own timer once its condition (here: a first tick) holds.
        m_form->setTimerHandler(id, [this, id, &ticks] {
            ticks << id;
            m_form->stopDeskTimer(id);
        });
    }
    m_form->startDeskTimer(Dialog::EncoderTimer, 1);
    m_form->startDeskTimer(Dialog::AddinTextTimer, 1);
    QVERIFY(m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QTRY_VERIFY(!m_form->isDeskTimerActive(Dialog::EncoderTimer) && !m_form->isDeskTimerActive(Dialog::AddinTextTimer));
    std::sort(ticks.begin(), ticks.end());
    QCOMPARE(ticks, (QList<int>{1, 9}));
    m_form->onTimer(Dialog::BackupTimer);
    QCOMPARE(ticks.size(), 3);
}

void RegistrationDialogTest::drafterCompletesFromThePersonnelTable()
{
    QVERIFY(m_folder->createDatabase());
    {
        QVERIFY(m_database->openConnection(AdoDatabase::connectionStringFor(m_folder->gbkPath())));
        AdoDatabase::setActiveConnection(m_database->connection());
        for (const auto& [name, initials] : {std::pair{"张三", "ZS"}, {"张伟", "ZW"}, {"赵树森", "ZSS"}}) {
            AdoRecordset insert;
            QVERIFY(insert.openQuery(RegisterStatements::insertPerson(utf8ToGbk(name), utf8ToGbk(initials))));
        }
    }
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    switchToOutgoing();
    CompletionEdit& drafter = m_form->drafterEdit();
    QCOMPARE(drafter.dropDown()->rowCount(), 3);
    drafter.setFocus();
    QTRY_VERIFY(drafter.hasFocus());

    QTest::keyClicks(&drafter, QStringLiteral("zs"));
    QVERIFY(drafter.isDropDownShown());
    QCOMPARE(drafter.dropDown()->rowCount(), 2);
    // Escape closes the drop-down, never the form.
    QTest::keyClick(&drafter, Qt::Key_Escape);
    QVERIFY(!drafter.isDropDownShown());
    QVERIFY(m_form->isVisible());

    // A double click with the field focused opens the drop-down...
    QTest::mouseDClick(&drafter, Qt::LeftButton);
    QVERIFY(drafter.isDropDownShown());
    // ...and Enter takes its first row.
    QTest::keyClick(&drafter, Qt::Key_Return);
    QCOMPARE(drafter.text(), QStringLiteral("张三"));
    QVERIFY(!drafter.isDropDownShown());
    QCOMPARE(m_form->fields().drafter, "张三"_gbk);

    // A double click that takes the focus elsewhere closes the drop-down.
    QTest::keyClick(&drafter, Qt::Key_Down);
    QVERIFY(drafter.isDropDownShown());
    QTest::mouseDClick(byId(Dialog::KindEdit), Qt::LeftButton);
    QVERIFY(!drafter.isDropDownShown());
}

void RegistrationDialogTest::pendingButtonsAnnounceTheirClicks()
{
    openForm();
    switchToOutgoing();
    QStringList clicked;
    QObject context; // the connections end with this test
    connect(m_form.get(), &Dialog::confirmRequested, &context, [&clicked] { clicked << QStringLiteral("1308"); });
    connect(m_form.get(), &Dialog::makeBarcodeRequested, &context, [&clicked] { clicked << QStringLiteral("1256"); });
    connect(m_form.get(), &Dialog::saveRequested, &context, [&clicked] { clicked << QStringLiteral("1025"); });
    connect(m_form.get(), &Dialog::printTitlesRequested, &context, [&clicked] { clicked << QStringLiteral("1014"); });
    connect(m_form.get(), &Dialog::queryRequested, &context, [&clicked] { clicked << QStringLiteral("110"); });
    connect(m_form.get(), &Dialog::compactRequested, &context, [&clicked] { clicked << QStringLiteral("1312"); });
    connect(m_form.get(), &Dialog::backupRequested, &context, [&clicked] { clicked << QStringLiteral("1320"); });
    connect(m_form.get(), &Dialog::importPeopleRequested, &context, [&clicked] { clicked << QStringLiteral("1319"); });
    const QStringList ids = {QStringLiteral("1308"), QStringLiteral("1256"), QStringLiteral("1025"),
                             QStringLiteral("1014"), QStringLiteral("110"),  QStringLiteral("1312"),
                             QStringLiteral("1320"), QStringLiteral("1319")};
    for (const QString& id : ids)
        QTest::mouseClick(byId<QPushButton>(id.toInt()), Qt::LeftButton);
    QCOMPARE(clicked, ids);
    QVERIFY(m_form->isVisible());
    QVERIFY(m_prompter->shown().empty());
}

void RegistrationDialogTest::fieldsRoundTrip()
{
    openForm();
    switchToOutgoing();
    RegistrationFields fields;
    fields.number = "甲〔2026〕7号"_gbk;
    fields.title = "关于某事的通知"_gbk;
    fields.drafter = "张三"_gbk;
    fields.kind = "通知"_gbk;
    fields.recipient = "各庭室"_gbk;
    fields.issuingUnit = "办公室"_gbk;
    fields.level = "市级"_gbk;
    fields.urgency = "特急"_gbk;
    fields.secrecy = "秘密"_gbk;
    fields.codeUnit = "市法院"_gbk;
    fields.version = "GB0626-2005";
    fields.codeNumber = "HZ2026007";
    fields.documentDate = QDate(2026, 1, 5);
    fields.codeDate = QDate(2026, 1, 6);
    fields.lastNumber = "甲〔2026〕6号"_gbk;
    fields.lastTitle = "关于他事的通知"_gbk;
    m_form->setFields(fields);
    const RegistrationFields read = m_form->fields();
    QCOMPARE(read.number, fields.number);
    QCOMPARE(read.title, fields.title);
    QCOMPARE(read.drafter, fields.drafter);
    QCOMPARE(read.kind, fields.kind);
    QCOMPARE(read.recipient, fields.recipient);
    QCOMPARE(read.issuingUnit, fields.issuingUnit);
    QCOMPARE(read.level, fields.level);
    QCOMPARE(read.urgency, fields.urgency);
    QCOMPARE(read.secrecy, fields.secrecy);
    QCOMPARE(read.codeUnit, fields.codeUnit);
    QCOMPARE(read.codeNumber, fields.codeNumber);
    QCOMPARE(read.documentDate, fields.documentDate);
    QCOMPARE(read.codeDate, fields.codeDate);
    QCOMPARE(read.lastNumber, fields.lastNumber);
    QCOMPARE(read.lastTitle, fields.lastTitle);
}

void RegistrationDialogTest::fieldNotificationsForTheNumberAndTitle()
{
    openForm("[发文型式]\n1=甲\n\n");
    switchToOutgoing();
    QStringList events;
    QObject context; // the connections end with this test
    connect(m_form.get(), &Dialog::titleFocusLost, &context, [&events] { events << QStringLiteral("title"); });
    connect(m_form.get(), &Dialog::numberFocusLost, &context, [&events] { events << QStringLiteral("number"); });
    connect(m_form.get(), &Dialog::numberDropDownClosed, &context, [&events] { events << QStringLiteral("dropDown"); });
    auto* number = byId<QComboBox>(Dialog::NumberCombo);
    QTRY_VERIFY(byId(Dialog::TitleEdit)->hasFocus());
    number->setFocus();
    QTRY_VERIFY(number->hasFocus());
    QCOMPARE(events, QStringList{QStringLiteral("title")});
    // Opening the list is no loss of focus; closing it is reported.
    number->showPopup();
    QTRY_VERIFY(number->view()->isVisible());
    number->hidePopup();
    // The close is reported once the event loop has applied the choice.
    QCOMPARE(events, QStringList{QStringLiteral("title")});
    QTRY_VERIFY(events.contains(QStringLiteral("dropDown")));
    // Leaving the combo is reported once. (The offscreen platform may also
    // deactivate the window when the list closes, which counts as leaving.)
    byId(Dialog::KindEdit)->setFocus();
    QTRY_COMPARE(events.count(QStringLiteral("number")), 1);
    QCOMPARE(events.size(), 3);
    QCOMPARE(events.first(), QStringLiteral("title"));
}

void RegistrationDialogTest::missingDatabaseClosesTheForm()
{
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_form->show();
    QTRY_VERIFY(!m_form->isVisible());
    QVERIFY(m_prompter->texts().contains(QStringLiteral("连接服务器失败，请重新配置！")));
    QCOMPARE(m_prompter->captions().last(), QStringLiteral("系统提示"));
}

QTEST_MAIN(RegistrationDialogTest)
#include "RegistrationDialogTest.moc"

#include "desk/RegistrationDialog.h"

#include "TestDatabase.h"
#include "TestRecords.h"
#include "desk/AddinRegistrationDialog.h"
#include "desk/DeskStartup.h"
#include "desk/FieldEdit.h"
#include "desk/RegisterRows.h"
#include "people/CompletionEdit.h"
#include "platform/ControlLookup.h"
#include "platform/GbkQt.h"
#include "platform/ScreenFit.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

using namespace regdesk;
using Dialog = RegistrationDialog;
using F = DocumentRecord;

namespace {

// The controls that are off in incoming mode and on in outgoing mode.
const QList<int> kOutgoingControls = {Dialog::ConfirmButton,   Dialog::VersionLabel,       Dialog::CodeNumberEdit,
                                      Dialog::IssuingUnitEdit, Dialog::TitleEdit,          Dialog::KindEdit,
                                      Dialog::LevelEdit,       Dialog::CodeUnitEdit,       Dialog::DrafterEdit,
                                      Dialog::NumberCombo,     Dialog::RecipientCombo,     Dialog::UrgencyCombo,
                                      Dialog::SecrecyCombo,    Dialog::DocumentDatePicker, Dialog::CodeDatePicker};

const char* const kSettings = "[发文型式]\n1=中法发\n2=中法办\n\n[主送单位]\n1=各庭室\n2=各派出法庭\n\n";

// What a screen reader reads of a control.
QString accessibleText(QWidget* control, QAccessible::Text text)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(text) : QStringLiteral("(not accessible)");
}

} // namespace

class RegistrationDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsInIncomingModeWithWhatItIsGiven();
    void controlsCarryIdsNamesAndAccessibleNames_data();
    void controlsCarryIdsNamesAndAccessibleNames();
    void valueStaticsAreReadByAScreenReader();
    void showModeTurnsTheOutgoingFieldsOnAndOff();
    void viewCallsReachTheFields();
    void buttonsListAndFieldsAnnounceTheClerksActions();
    void listRowsAsControllersSeeThem();
    void combosKeepWhatTheClerkTypes_data();
    void combosKeepWhatTheClerkTypes();
    void deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff_data();
    void deleteRemovesSelectedRowsOnlyWhileCellEditingIsOff();
    void escapeClosesOnlyWhileCellEditingIsOn();
    void enterMovesOnAndNeverCloses();
    void pasteIntoTheTitleIsCleaned_data();
    void pasteIntoTheTitleIsCleaned();
    void headerClicksAlternateTheDirection();
    void cellEditingSwitch();
    void drafterCompletesFromThePersonnelTable();
    void doubleClickWhileCellsAreEditedLeavesTheCompletionAlone();

    void compactFormShowsTheFieldsOnly();
    void compactFormConfirmsOnEnter_data();
    void compactFormConfirmsOnEnter();
    void formsFitASmallScreen();

private:
    void openForm(const std::string& settings = kSettings);
    void openCompactForm();
    template <typename T = QWidget> T* byId(int id) const
    {
        T* control = findControl<T>(m_form.get(), id);
        if (!control)
            qWarning("no control %d", id);
        return control;
    }
    void addRows(int count);
    void showOutgoing() { m_form->showMode(RegistrationMode::Outgoing, {}); }

    std::unique_ptr<test::TestDatabase> m_db;
    std::unique_ptr<Dialog> m_form;
    std::unique_ptr<AddinRegistrationDialog> m_compact;
};

void RegistrationDialogTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
}

void RegistrationDialogTest::cleanup()
{
    m_compact.reset();
    m_form.reset();
    m_db.reset();
}

void RegistrationDialogTest::openForm(const std::string& settings)
{
    m_db->folder().writeSettings(settings);
    m_form = std::make_unique<Dialog>();
    FormStart start = DeskStartup(m_db->database(), m_db->prompter()).formStart(2026);
    m_form->initialise(start);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void RegistrationDialogTest::openCompactForm()
{
    m_db->folder().writeSettings(kSettings);
    m_compact = std::make_unique<AddinRegistrationDialog>();
    FormStart start = DeskStartup(m_db->database(), m_db->prompter()).formStart(2026);
    m_compact->initialise(start);
    m_compact->show();
    m_compact->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_compact.get()));
}

void RegistrationDialogTest::addRows(int count)
{
    for (int i = 0; i < count; ++i)
        m_form->registerList().listModel().appendRow({"N" + std::to_string(i), "T" + std::to_string(i)});
}

void RegistrationDialogTest::startsInIncomingModeWithWhatItIsGiven()
{
    openForm();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("收文登记"));
    QCOMPARE(m_form->mode(), RegistrationMode::Incoming);
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
    QCOMPARE(m_form->windowIcon().cacheKey(), m_form->incomingIcon().cacheKey());
    QCOMPARE(byId<QComboBox>(Dialog::UrgencyCombo)->count(), 3);
    QCOMPARE(byId<QComboBox>(Dialog::SecrecyCombo)->count(), 4);
    auto* recipients = byId<QComboBox>(Dialog::RecipientCombo);
    QCOMPARE(recipients->count(), 3);
    QCOMPARE(recipients->itemText(1), QStringLiteral("各派出法庭"));
    QCOMPARE(recipients->itemText(2), QString());
    QCOMPARE(recipients->currentText(), QString());
    auto* numbers = byId<QComboBox>(Dialog::NumberCombo);
    QCOMPARE(numbers->count(), 2);
    QCOMPARE(numbers->itemText(1), QStringLiteral("中法办〔2026〕"));
    QCOMPARE(numbers->currentIndex(), -1);
    QCOMPARE(m_form->numberPrefixes(), (std::vector<GbkString>{"中法发〔2026〕"_gbk, "中法办〔2026〕"_gbk}));
    QCOMPARE(m_form->documentDate(), QDate::currentDate());

    // Given again (after the database was reopened), the items are replaced.
    FormStart again;
    again.numberPrefixes = {"甲〔2026〕"_gbk};
    m_form->initialise(again);
    QCOMPARE(numbers->count(), 1);
    QCOMPARE(recipients->count(), 1);
    QCOMPARE(m_form->registerList().columnCount(), 17);
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
    showOutgoing();
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
    openForm();
    QSignalSpy closing(&m_form->events(), &RegistrationEvents::closing);
    QWidget* button = byId(Dialog::QueryButton);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Escape);
    QVERIFY(m_form->isVisible());
    QCOMPARE(closing.count(), 0);

    QTest::mouseClick(byId<QPushButton>(Dialog::CellEditButton), Qt::LeftButton);
    QVERIFY(m_form->isCellEditingEnabled());
    // Escape in an open cell goes on to the form.
    addRows(1);
    QVERIFY(m_form->registerList().beginCellEdit(0, 0));
    QTRY_VERIFY(m_form->registerList().cellEditor()->hasFocus());
    QTest::keyClick(m_form->registerList().cellEditor(), Qt::Key_Escape);
    QTRY_VERIFY(!m_form->isVisible());
    QCOMPARE(m_form->result(), int(QDialog::Rejected));
    QCOMPARE(closing.count(), 1);
}

void RegistrationDialogTest::enterMovesOnAndNeverCloses()
{
    openForm();
    showOutgoing();
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
    QCOMPARE(number->count(), 2); // typed text never becomes an item
    QTest::keyClick(byId(Dialog::CodeUnitEdit), Qt::Key_Return);
    QVERIFY(m_form->isVisible());
}

void RegistrationDialogTest::pasteIntoTheTitleIsCleaned_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("title");
    QTest::newRow("blanks and line breaks")
        << QStringLiteral(" 关于 印发\r\n《办法》的\n通知 ") << QStringLiteral("关于印发《办法》的通知");
    QTest::newRow("empty clipboard empties the field") << QString() << QString();
}

void RegistrationDialogTest::pasteIntoTheTitleIsCleaned()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, title);
    openForm();
    showOutgoing();
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

void RegistrationDialogTest::drafterCompletesFromThePersonnelTable()
{
    for (const auto& [name, initials] : {std::pair{"张三", "ZS"}, {"张伟", "ZW"}, {"赵树森", "ZSS"}})
        QVERIFY(test::TestDatabase::insertPerson(name, initials));
    openForm();
    showOutgoing();
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
    QCOMPARE(m_form->currentRecord().document[F::Remarks], "拟稿人：张三"_gbk);

    // A double click that takes the focus elsewhere closes the drop-down.
    QTest::keyClick(&drafter, Qt::Key_Down);
    QVERIFY(drafter.isDropDownShown());
    QTest::mouseDClick(byId(Dialog::KindEdit), Qt::LeftButton);
    QVERIFY(!drafter.isDropDownShown());
}

void RegistrationDialogTest::doubleClickWhileCellsAreEditedLeavesTheCompletionAlone()
{
    QVERIFY(test::TestDatabase::insertPerson("张三", "ZS"));
    openForm();
    showOutgoing();
    CompletionEdit& drafter = m_form->drafterEdit();
    drafter.setFocus();
    QTRY_VERIFY(drafter.hasFocus());
    m_form->setCellEditing(true);
    QTest::mouseDClick(&drafter, Qt::LeftButton);
    QVERIFY(!drafter.isDropDownShown());
    m_form->setCellEditing(false);
    drafter.setFocus();
    QTRY_VERIFY(drafter.hasFocus());
    QTest::mouseDClick(&drafter, Qt::LeftButton);
    QVERIFY(drafter.isDropDownShown());
}

void RegistrationDialogTest::valueStaticsAreReadByAScreenReader()
{
    openForm();
    showOutgoing();
    auto* lastNumber = byId(Dialog::LastNumberLabel);
    auto* lastTitle = byId(Dialog::LastTitleLabel);
    auto* editHint = byId(Dialog::EditHintLabel);
    m_form->showLastNumber("中法发〔2026〕12号"_gbk, "关于表彰的决定"_gbk);
    m_form->setCellEditing(true);
    QCOMPARE(accessibleText(lastNumber, QAccessible::Name), QStringLiteral("上次发文号"));
    QCOMPARE(accessibleText(lastNumber, QAccessible::Description), QStringLiteral("中法发〔2026〕12号"));
    QCOMPARE(accessibleText(lastTitle, QAccessible::Name), QStringLiteral("上次标题"));
    QCOMPARE(accessibleText(lastTitle, QAccessible::Description), QStringLiteral("关于表彰的决定"));
    QCOMPARE(accessibleText(editHint, QAccessible::Name), QStringLiteral("修改提示"));
    QCOMPARE(accessibleText(editHint, QAccessible::Description), QStringLiteral("表内单元格可修改"));

    // Cleared texts are cleared for the reader too.
    m_form->setCellEditing(false);
    m_form->showMode(RegistrationMode::Incoming, {});
    QCOMPARE(accessibleText(lastNumber, QAccessible::Description), QString());
    QCOMPARE(accessibleText(lastTitle, QAccessible::Description), QString());
    QCOMPARE(accessibleText(editHint, QAccessible::Description), QString());
}

void RegistrationDialogTest::showModeTurnsTheOutgoingFieldsOnAndOff()
{
    openForm();
    m_form->showMode(RegistrationMode::Outgoing, {"市中级法院"_gbk, "办公室"_gbk, "关于"_gbk});
    QCOMPARE(m_form->windowTitle(), QStringLiteral("发文登记"));
    QCOMPARE(m_form->mode(), RegistrationMode::Outgoing);
    QCOMPARE(byId<QPushButton>(Dialog::ModeButton)->text(), QStringLiteral("收文登记"));
    QCOMPARE(byId<QPushButton>(Dialog::ModeButton)->accessibleName(), QStringLiteral("收文登记"));
    QCOMPARE(m_form->windowIcon().cacheKey(), m_form->outgoingIcon().cacheKey());
    for (int id : kOutgoingControls)
        QVERIFY2(byId(id)->isEnabled(), qPrintable(QString::number(id)));
    FormRecord shown = m_form->currentRecord();
    QCOMPARE(shown.document[F::CodeUnit], "市中级法院"_gbk);
    QCOMPARE(shown.document[F::IssuingUnit], "办公室"_gbk);
    QCOMPARE(shown.document[F::Title], "关于"_gbk);
    QCOMPARE(shown.document[F::Recipient], "各庭室"_gbk);
    QCOMPARE(shown.document[F::Secrecy], "无"_gbk);
    QCOMPARE(shown.document[F::Urgency], "无"_gbk);
    QCOMPARE(shown.document[F::Number], GbkString());
    QCOMPARE(shown.document[F::Version], GbkString("GB0626-2005"));
    QTRY_VERIFY(byId(Dialog::TitleEdit)->hasFocus());

    m_form->setCodeNumber("HZ2026001");
    m_form->showLastNumber("甲〔2026〕3号"_gbk, "关于某事的通知"_gbk);
    m_form->showMode(RegistrationMode::Incoming, {});
    QCOMPARE(m_form->windowTitle(), QStringLiteral("收文登记"));
    for (int id : kOutgoingControls)
        QVERIFY2(!byId(id)->isEnabled(), qPrintable(QString::number(id)));
    shown = m_form->currentRecord();
    QCOMPARE(shown.document[F::CodeNumber], GbkString());
    QCOMPARE(shown.lastNumber, GbkString());
    QCOMPARE(shown.lastTitle, GbkString());
}

void RegistrationDialogTest::viewCallsReachTheFields()
{
    openForm();
    showOutgoing();
    QCOMPARE(m_form->chosenNumberPrefix(), std::nullopt);
    m_form->selectNumberPrefix(1);
    QCOMPARE(m_form->chosenNumberPrefix(), std::optional<GbkString>("中法办〔2026〕"_gbk));

    m_form->proposeNumber("中法办〔2026〕7号"_gbk);
    m_form->setTitle("关于某事的通知"_gbk);
    byId<CompletionEdit>(Dialog::DrafterEdit)->setText(QStringLiteral("张三"));
    m_form->setKind("通知"_gbk);
    m_form->setRecipient("市委"_gbk);
    byId<FieldEdit>(Dialog::LevelEdit)->setText(QStringLiteral("市级"));
    byId<QComboBox>(Dialog::UrgencyCombo)->setCurrentIndex(2);
    byId<QComboBox>(Dialog::SecrecyCombo)->setCurrentIndex(1);
    m_form->setCodeNumber("HZ2026007");
    byId<QDateEdit>(Dialog::DocumentDatePicker)->setDate(QDate(2026, 1, 5));
    byId<QDateEdit>(Dialog::CodeDatePicker)->setDate(QDate(2026, 11, 16));
    m_form->showLastNumber("中法办〔2026〕6号"_gbk, "关于他事的通知"_gbk);

    const FormRecord read = m_form->currentRecord();
    QCOMPARE(m_form->documentDateTime().date(), QDate(2026, 1, 5));
    DocumentRecord expected;
    expected.fields = {"中法办〔2026〕7号"_gbk,
                       "关于某事的通知"_gbk,
                       "秘密"_gbk,
                       "通知"_gbk,
                       "市委"_gbk,
                       "市级"_gbk,
                       "",
                       "特急"_gbk,
                       "20260105",
                       "HZ2026007",
                       "",
                       "20261116",
                       "GB0626-2005",
                       "拟稿人：张三"_gbk};
    QCOMPARE(read.document.fields, expected.fields);
    QCOMPARE(read.lastNumber, "中法办〔2026〕6号"_gbk);
    QCOMPARE(read.lastTitle, "关于他事的通知"_gbk);
    QCOMPARE(m_form->documentDate(), QDate(2026, 1, 5));
}

void RegistrationDialogTest::buttonsListAndFieldsAnnounceTheClerksActions()
{
    openForm();
    showOutgoing();
    addRows(2);
    QStringList announced;
    RegistrationEvents& events = m_form->events();
    const std::pair<const char*, void (RegistrationEvents::*)()> announcers[] = {
        {"1308", &RegistrationEvents::confirmRequested},      {"1256", &RegistrationEvents::makeBarcodeRequested},
        {"1025", &RegistrationEvents::saveRequested},         {"1023", &RegistrationEvents::modeSwitchRequested},
        {"1014", &RegistrationEvents::printTitlesRequested},  {"110", &RegistrationEvents::queryRequested},
        {"1312", &RegistrationEvents::compactRequested},      {"1320", &RegistrationEvents::backupRequested},
        {"1319", &RegistrationEvents::importPeopleRequested}, {"title", &RegistrationEvents::titleFocusLost},
        {"number", &RegistrationEvents::numberFocusLost},     {"dropDown", &RegistrationEvents::numberDropDownClosed},
    };
    for (const auto& [name, signal] : announcers)
        connect(&events, signal, this, [&announced, name = QString::fromLatin1(name)] { announced << name; });
    connect(&events, &RegistrationEvents::rowDoubleClicked, this,
            [&announced](int row) { announced << QStringLiteral("row %1").arg(row); });

    byId(Dialog::KindEdit)->setFocus(); // away from the title and the number
    QTRY_VERIFY(byId(Dialog::KindEdit)->hasFocus());
    announced.clear();
    const QStringList buttons = {QStringLiteral("1308"), QStringLiteral("1256"), QStringLiteral("1025"),
                                 QStringLiteral("1023"), QStringLiteral("1014"), QStringLiteral("110"),
                                 QStringLiteral("1312"), QStringLiteral("1320"), QStringLiteral("1319")};
    for (const QString& id : buttons)
        QTest::mouseClick(byId<QPushButton>(id.toInt()), Qt::LeftButton);
    QCOMPARE(announced, buttons);
    QVERIFY(m_form->isVisible());
    RegisterListCtrl& list = m_form->registerList();
    const QPoint rowOne = list.visualRect(list.listModel().index(1, 0)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowOne); // a double click's first press
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rowOne);
    QCOMPARE(announced.last(), QStringLiteral("row 1"));

    // Leaving the title and the number; opening the number's list is no loss of focus, closing it is reported.
    announced.clear();
    auto* number = byId<QComboBox>(Dialog::NumberCombo);
    byId(Dialog::TitleEdit)->setFocus();
    QTRY_VERIFY(byId(Dialog::TitleEdit)->hasFocus());
    number->setFocus();
    QTRY_VERIFY(number->hasFocus());
    QCOMPARE(announced, QStringList{QStringLiteral("title")});
    number->showPopup();
    QTRY_VERIFY(number->view()->isVisible());
    number->hidePopup();
    QTRY_VERIFY(announced.contains(QStringLiteral("dropDown")));
    // (The offscreen platform may also deactivate the window when the list closes, which counts as leaving.)
    byId(Dialog::KindEdit)->setFocus();
    QTRY_COMPARE(announced.count(QStringLiteral("number")), 1);
}

void RegistrationDialogTest::listRowsAsControllersSeeThem()
{
    openForm();
    RegisterRows& rows = m_form->rows();
    DocumentRecord record = test::sampleOutgoingRow("中法发〔2026〕1号"_gbk);
    record.attachmentPath = "/tmp/附件.doc"_gbk;
    rows.append(test::registerRow("A"));
    rows.append(record);
    rows.append(test::registerRow("C"));
    QCOMPARE(rows.rowCount(), 3);
    QCOMPARE(rows.record(1).fields, record.fields);
    QCOMPARE(rows.record(1).attachmentPath, record.attachmentPath);
    QCOMPARE(rows.markedRow(), std::nullopt);

    rows.selectOnly(1);
    QCOMPARE(rows.selectedRows(), std::vector<int>{1});
    QCOMPARE(rows.firstSelectedRow(), std::optional<int>(1));
    QCOMPARE(rows.markedRow(), std::optional<int>(1));
    QTRY_VERIFY(m_form->registerList().hasFocus());
    rows.markBarcodeMade(1);
    QCOMPARE(rows.record(1).barcodeMade, "是"_gbk);

    rows.deselect(1);
    QCOMPARE(rows.firstSelectedRow(), std::nullopt);
    rows.remove(0);
    QCOMPARE(rows.record(0)[F::Number], "中法发〔2026〕1号"_gbk);
    rows.clear();
    QCOMPARE(rows.rowCount(), 0);
}

void RegistrationDialogTest::combosKeepWhatTheClerkTypes_data()
{
    QTest::addColumn<int>("combo");
    QTest::addColumn<QString>("typed");
    QTest::newRow("urgency 特 (item 特急)") << int(Dialog::UrgencyCombo) << QStringLiteral("特");
    QTest::newRow("secrecy 机 (item 机密)") << int(Dialog::SecrecyCombo) << QStringLiteral("机");
    QTest::newRow("number 中法发 (item 中法发〔2026〕)") << int(Dialog::NumberCombo) << QStringLiteral("中法发");
    QTest::newRow("recipient 各 (item 各庭室)") << int(Dialog::RecipientCombo) << QStringLiteral("各");
}

void RegistrationDialogTest::combosKeepWhatTheClerkTypes()
{
    QFETCH(int, combo);
    QFETCH(QString, typed);
    openForm();
    showOutgoing();
    auto* box = byId<QComboBox>(combo);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->lineEdit()->clear();
    for (const QChar c : typed) // keyClicks knows only ASCII
        QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(box->currentText(), typed);
    QCOMPARE(box->lineEdit()->selectedText(), QString());
}

void RegistrationDialogTest::compactFormShowsTheFieldsOnly()
{
    openCompactForm();
    AddinRegistrationDialog& form = *m_compact;
    QList<int> hidden = {Dialog::RegisterList};
    for (int id : AddinRegistrationDialog::hiddenButtons())
        hidden << id;
    QCOMPARE(hidden.size(), 10);
    for (int id : hidden)
        QVERIFY2(!form.control(id)->isVisible() && !form.control(id)->isEnabled(), qPrintable(QString::number(id)));
    auto* confirm = qobject_cast<QPushButton*>(form.control(Dialog::ConfirmButton));
    QVERIFY(confirm->isVisible() && confirm->isDefault() && !confirm->isEnabled());
    QCOMPARE(form.registerList().columnWidth(4), 50);
    // One icon, 292, for both modes.
    const QImage outgoing = RegistrationDialog().outgoingIcon().pixmap(32).toImage();
    QCOMPARE(form.incomingIcon().pixmap(32).toImage(), outgoing);
    QCOMPARE(form.outgoingIcon().pixmap(32).toImage(), outgoing);

    // Outgoing: the fields on, the hidden buttons off, and the focus stays
    // where it is (the full form moves it into the title).
    form.showMode(RegistrationMode::Outgoing, {});
    QVERIFY(confirm->isEnabled() && form.control(Dialog::TitleEdit)->isEnabled());
    for (int id : hidden)
        QVERIFY2(!form.control(id)->isEnabled(), qPrintable(QString::number(id)));
    QWidget* urgency = form.control(Dialog::UrgencyCombo);
    urgency->setFocus();
    QTRY_VERIFY(urgency->hasFocus());
    form.showMode(RegistrationMode::Outgoing, {});
    QTest::qWait(0);
    QVERIFY(urgency->hasFocus());

    // 保存 comes out when a save must be repeated, and Enter then saves.
    auto* save = qobject_cast<QPushButton*>(form.control(Dialog::SaveButton));
    form.offerSave();
    QVERIFY(save->isVisible() && save->isEnabled() && save->isDefault());
    QSignalSpy saved(&form.events(), &RegistrationEvents::saveRequested);
    QTest::keyClick(urgency, Qt::Key_Return);
    QCOMPARE(saved.count(), 1);
}

void RegistrationDialogTest::compactFormConfirmsOnEnter_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("confirms");
    QTest::newRow("number combo") << int(Dialog::NumberCombo) << true;
    QTest::newRow("urgency combo") << int(Dialog::UrgencyCombo) << true;
    QTest::newRow("document date picker") << int(Dialog::DocumentDatePicker) << true;
    QTest::newRow("title field moves on instead") << int(Dialog::TitleEdit) << false;
}

void RegistrationDialogTest::compactFormConfirmsOnEnter()
{
    QFETCH(int, id);
    QFETCH(bool, confirms);
    openCompactForm();
    m_compact->showMode(RegistrationMode::Outgoing, {});
    QSignalSpy confirmed(&m_compact->events(), &RegistrationEvents::confirmRequested);
    QWidget* control = m_compact->control(id);
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());

    QTest::keyClick(control, Qt::Key_Return);
    QCOMPARE(confirmed.count(), confirms ? 1 : 0);
    QVERIFY(m_compact->isVisible());
    if (!confirms)
        QTRY_VERIFY(!control->hasFocus());
}

void RegistrationDialogTest::formsFitASmallScreen()
{
    // The usual screens change nothing.
    for (const QRect screen : {QRect(0, 0, 1920, 1040), QRect(0, 0, 1366, 728)}) {
        const ScreenFit fit = fitToScreen({1120, 640}, {900, 500}, screen);
        QCOMPARE(fit.size, QSize(1120, 640));
        QVERIFY(!fit.scrolls);
    }
    // 1366 × 768 at 125 %, less the task bar: no larger than the screen, and
    // scrolling where the layout cannot shrink that far.
    const QRect small(0, 0, 1093, 582);
    QCOMPARE(fitToScreen({1120, 640}, {900, 500}, small).size, QSize(1077, 534));
    QVERIFY(!fitToScreen({1120, 640}, {900, 500}, small).scrolls);
    QVERIFY(fitToScreen({1120, 640}, {1100, 500}, small).scrolls);

    // Each form keeps its size on a usual screen, and on a small one every
    // button is within the window or inside its scrolled page.
    const auto check = [](QWidget& form, QRect tiny) {
        const QSize designed = form.size();
        fitFormToScreen(form, QRect(0, 0, 1920, 1040));
        QCOMPARE(form.size(), designed);
        QVERIFY(!form.findChild<QScrollArea*>());
        fitFormToScreen(form, tiny);
        QVERIFY(form.width() <= tiny.width() && form.height() <= tiny.height());
        auto* area = form.findChild<QScrollArea*>(QStringLiteral("formScrollArea"));
        QVERIFY(area);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int buttons = 0;
        for (QPushButton* button : form.findChildren<QPushButton*>()) {
            if (!button->isVisible())
                continue;
            ++buttons;
            QVERIFY(area->widget()->isAncestorOf(button));
            area->ensureWidgetVisible(button);
            const QRect shown(button->mapTo(area->viewport(), QPoint(0, 0)), button->size());
            QVERIFY2(area->viewport()->rect().intersects(shown), qPrintable(button->text()));
        }
        QVERIFY(buttons > 0);
    };
    Dialog full;
    check(full, QRect(0, 0, 640, 400));
    AddinRegistrationDialog compact;
    check(compact, QRect(0, 0, 480, 200));

    // At 1366 × 768 and 125 % the full form is within the screen.
    Dialog scaled;
    fitFormToScreen(scaled, small);
    QVERIFY(scaled.width() <= 1077 && scaled.height() <= 534);
}

QTEST_MAIN(RegistrationDialogTest)
#include "RegistrationDialogTest.moc"

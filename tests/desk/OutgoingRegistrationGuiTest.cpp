#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeProcessLauncher.h"
#include "FakePrompter.h"
#include "PictureDecoder.h"
#include "TempDeskFolder.h"
#include "barcode/BarcodePayload.h"
#include "barcode/EncoderHandoff.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/ControlLookup.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationDialog.h"
#include "desk/RegistrationFormLogic.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

using namespace regdesk;
using Dialog = RegistrationDialog;
using Answer = Prompter::Answer;

namespace {

const int kYear = QDate::currentDate().year();

QString yearText(int year = kYear)
{
    return QString::number(year);
}

// A desk's settings: two number kinds, document kinds, defaults, the code-number layout and the symbol size.
std::string deskSettings(const std::string& outputFolder, const std::string& yearDigits = "2",
                         const std::string& serialDigits = "4", const std::string& identifierLength = "2")
{
    return "[发文型式]\n型式1=法\n型式2=民\n"
           "[发文种类]\n种类1=通知\n种类2=请示\n种类3=决定\n"
           "[主送单位]\n单位1=各庭室\n单位2=上级法院\n"
           "[发文设置]\n制码单位=某某法院办公室\n发文单位=某某人民法院\n标题=\n二维码输出位置=" +
           outputFolder + "\n制码号固定标识=FY\n制码号固定位数=" + identifierLength + "\n制码号年度位数=" + yearDigits +
           "\n制码号流水位数=" + serialDigits + "\n[PDF]\nECCPercent=40\nAspect=1:2\nWidth=100\nHeight=40\n";
}

std::vector<GbkString> listRow(const char* number, const char* barcodeMade)
{
    DocumentRecord record;
    record[DocumentRecord::Number] = utf8ToGbk(number);
    record[DocumentRecord::Title] = "标题"_gbk;
    record[DocumentRecord::CodeDate] = "20260105";
    record.barcodeMade = utf8ToGbk(barcodeMade);
    return RegistrationFormLogic::toListRow(record);
}

QStringList registeredNumbers()
{
    QStringList numbers;
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectRegister(RegisterStatements::outgoingTable())))
        return numbers;
    for (records.moveFirst(); !records.isEof(); records.moveNext())
        numbers << toQString(records.fieldText(0));
    numbers.sort();
    return numbers;
}

} // namespace

class OutgoingRegistrationGuiTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyRegisterProposesTheFirstNumbers();
    void numbersFollowTheRegister();
    void codeNumberLayouts_data();
    void codeNumberLayouts();
    void titleCheckFillsTheKind_data();
    void titleCheckFillsTheKind();
    void confirmationStopsAndWarnsInOrder_data();
    void confirmationStopsAndWarnsInOrder();
    void topSecret_data();
    void topSecret();
    void savingThreeRowsWithTheMiddleOverwriteDeclined();
    void barcodeQuestionCancelKeepsEverything();
    void barcodeNeedsExactlyOneSelectedRow();
    void encoderThatLeavesNoFilesIsGivenUp();
    void exchangeFileThatCannotBeWrittenStopsTheBarcode();
    void registerFromStartToFinish();
    void pictureTakesTheFirstRowsNumber();

private:
    void openOutgoing(const std::string& settings);
    template <typename T = QWidget> T* byId(int id) const { return findControl<T>(m_form.get(), id); }
    void choosePrefix(int index);
    void leaveNumberCombo();
    void fillCompleteFields();
    void click(int id) { QTest::mouseClick(byId<QPushButton>(id), Qt::LeftButton); }
    void attachRealEncoder();
    bool haveRealEncoder(QString& why) const;

    std::unique_ptr<test::FakePrompter> m_prompter;
    std::unique_ptr<test::TempDeskFolder> m_folder;
    std::unique_ptr<AdoDatabase> m_database;
    std::unique_ptr<Dialog> m_form;
    test::FakeProcessLauncher m_fakeLauncher;
    test::FakeClock m_fakeClock;
    test::FakeDesktopOpener m_opener;
    DesktopSeams m_realSeams;
    std::unique_ptr<OutgoingRegistration> m_outgoing;
    GbkString m_output;
};

void OutgoingRegistrationGuiTest::init()
{
    m_prompter = std::make_unique<test::FakePrompter>();
    m_folder = std::make_unique<test::TempDeskFolder>();
    m_folder->useAsProgramDirectory();
    m_database = std::make_unique<AdoDatabase>(*m_prompter);
    m_output = joinPath(m_folder->gbkPath(), "二维码"_gbk);
    m_opener = test::FakeDesktopOpener();
}

void OutgoingRegistrationGuiTest::cleanup()
{
    m_outgoing.reset();
    m_form.reset();
    AdoDatabase::setActiveConnection(nullptr);
    m_database.reset();
    m_folder.reset();
    m_prompter.reset();
}

// The form in outgoing mode over an empty register, with the real process list
// and a fake launcher (tests that need the encoder swap in the real one).
void OutgoingRegistrationGuiTest::openOutgoing(const std::string& settings)
{
    QVERIFY(m_folder->createDatabase());
    m_folder->writeSettings(settings);
    m_form = std::make_unique<Dialog>(*m_database, *m_prompter);
    m_outgoing =
        std::make_unique<OutgoingRegistration>(*m_form, m_fakeLauncher, m_realSeams.processes, m_fakeClock, m_opener);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    click(Dialog::ModeButton);
    QVERIFY(m_form->isOutgoingMode());
    QVERIFY(m_prompter->shown().empty());
}

bool OutgoingRegistrationGuiTest::haveRealEncoder(QString& why) const
{
    if (!std::filesystem::exists(REGDESK_PDF417_PROGRAM)) {
        why = QStringLiteral("the pdf417 program is not built");
        return false;
    }
    const std::string missing = test::missingRenderers();
    if (!missing.empty()) {
        why = QStringLiteral("metafile renderers missing (apt-get install emf2svg librsvg2-bin): ") +
              QString::fromStdString(missing);
        return false;
    }
    return true;
}

// pdf417 beside the program, started for real, with the real clock.
void OutgoingRegistrationGuiTest::attachRealEncoder()
{
    std::filesystem::copy_file(REGDESK_PDF417_PROGRAM, gbkToUtf8(joinPath(m_folder->gbkPath(), "pdf417")));
    m_outgoing = std::make_unique<OutgoingRegistration>(*m_form, m_realSeams.launcher, m_realSeams.processes,
                                                        m_realSeams.clock, m_opener);
}

void OutgoingRegistrationGuiTest::choosePrefix(int index)
{
    // As a clerk does it: open the list and click the item. The list closes
    // before the clicked item becomes current.
    QComboBox* combo = byId<QComboBox>(Dialog::NumberCombo);
    combo->setFocus(Qt::MouseFocusReason);
    QSignalSpy closed(m_form.get(), &Dialog::numberDropDownClosed);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QRect item = view->visualRect(combo->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(combo->currentIndex(), index);
    // The offscreen platform can leave the form inactive when the list closes.
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    combo->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(combo->hasFocus());
}

void OutgoingRegistrationGuiTest::leaveNumberCombo()
{
    byId<QComboBox>(Dialog::NumberCombo)->setFocus(Qt::MouseFocusReason);
    byId<QLineEdit>(Dialog::TitleEdit)->setFocus(Qt::TabFocusReason);
}

void OutgoingRegistrationGuiTest::fillCompleteFields()
{
    choosePrefix(0);
    leaveNumberCombo();
    byId<QLineEdit>(Dialog::TitleEdit)->setText(QStringLiteral("关于开庭安排的通知"));
    byId<QLineEdit>(Dialog::KindEdit)->setText(QStringLiteral("通知"));
    byId<QComboBox>(Dialog::RecipientCombo)->setEditText(QStringLiteral("各庭室"));
    byId<QLineEdit>(Dialog::LevelEdit)->setText(QStringLiteral("公开"));
    byId<QLineEdit>(Dialog::DrafterEdit)->setText(QStringLiteral("张三"));
    byId<QDateEdit>(Dialog::DocumentDatePicker)->setDate(QDate(kYear, 3, 5));
    byId<QDateEdit>(Dialog::CodeDatePicker)->setDate(QDate(kYear, 3, 12));
}

void OutgoingRegistrationGuiTest::emptyRegisterProposesTheFirstNumbers()
{
    openOutgoing(deskSettings("/tmp"));
    choosePrefix(0);
    QCOMPARE(byId<QLabel>(Dialog::LastNumberLabel)->text(),
             QStringLiteral("法〔") + yearText() + QStringLiteral("〕0号"));
    QCOMPARE(byId<QLabel>(Dialog::LastTitleLabel)->text(), QString());
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(),
             QStringLiteral("FY") + QString::number(kYear - 2000) + QStringLiteral("0001"));
    leaveNumberCombo();
    QTRY_COMPARE(byId<QComboBox>(Dialog::NumberCombo)->currentText(),
                 QStringLiteral("法〔") + yearText() + QStringLiteral("〕1号"));
    QVERIFY(m_prompter->shown().empty());
}

void OutgoingRegistrationGuiTest::numbersFollowTheRegister()
{
    openOutgoing(deskSettings("/tmp"));
    const GbkString table = RegisterStatements::outgoingTable();
    auto insert = [&](const QString& number, const char* title) {
        DocumentRecord record;
        record[DocumentRecord::Number] = fromQString(number);
        record[DocumentRecord::Title] = utf8ToGbk(title);
        record[DocumentRecord::CodeDate] = fromQString(yearText() + QStringLiteral("0101"));
        record.barcodeMade = "是"_gbk;
        AdoRecordset statement;
        QVERIFY(statement.openQuery(RegisterStatements::insertOutgoing(table, record)));
    };
    insert(QStringLiteral("民〔") + yearText() + QStringLiteral("〕9号"), "甲");
    insert(QStringLiteral("民〔") + yearText() + QStringLiteral("〕10号"), "关于乙的通知");
    insert(QStringLiteral("法〔") + yearText() + QStringLiteral("〕40号"), "丙");

    choosePrefix(1);
    QCOMPARE(byId<QLabel>(Dialog::LastNumberLabel)->text(),
             QStringLiteral("民〔") + yearText() + QStringLiteral("〕10号"));
    QCOMPARE(byId<QLabel>(Dialog::LastTitleLabel)->text(), QStringLiteral("关于乙的通知"));
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(),
             QStringLiteral("FY") + QString::number(kYear - 2000) + QStringLiteral("0004"));
    // A number typed by hand gives way to the proposal when the combo is left.
    byId<QComboBox>(Dialog::NumberCombo)->setEditText(QStringLiteral("手写的号"));
    leaveNumberCombo();
    QTRY_COMPARE(byId<QComboBox>(Dialog::NumberCombo)->currentText(),
                 QStringLiteral("民〔") + yearText() + QStringLiteral("〕11号"));

    // The title registered under the last number cannot be issued again.
    byId<QLineEdit>(Dialog::TitleEdit)->setText(QStringLiteral("关于乙的通知"));
    click(Dialog::ConfirmButton);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("无法重复发号！")});
    QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("标题重复")});
    QCOMPARE(m_form->registerList().rowCount(), 0);
}

void OutgoingRegistrationGuiTest::codeNumberLayouts_data()
{
    QTest::addColumn<QString>("yearDigits");
    QTest::addColumn<QString>("serialDigits");
    QTest::addColumn<QString>("identifierLength");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("year digits 2") << "2"
                                   << "4"
                                   << "2" << kYear << QStringLiteral("FY%1").arg(kYear - 2000) + QStringLiteral("0001")
                                   << QStringList{};
    QTest::newRow("year digits 2 in 2005") << "2"
                                           << "3"
                                           << "2" << 2005 << "FY5001" << QStringList{};
    QTest::newRow("year digits 4") << "4"
                                   << "5"
                                   << "2" << kYear << QStringLiteral("FY%1").arg(kYear) + QStringLiteral("00001")
                                   << QStringList{};
    QTest::newRow("year digits 0") << "0"
                                   << "7"
                                   << "2" << kYear << "FY0000001" << QStringList{};
    QTest::newRow("identifier length wrong")
        << "0"
        << "2"
        << "3" << kYear << "FY01" << QStringList{QStringLiteral("制码号固定标识位数错误!")};
    QTest::newRow("year digits wrong") << "3"
                                       << "2"
                                       << "2" << kYear << "01" << QStringList{QStringLiteral("制码号年度位数不正确!")};
    QTest::newRow("serial digits wrong") << "0"
                                         << "8"
                                         << "2" << kYear << "FY"
                                         << QStringList{QStringLiteral("制码号流水位数不合适!")};
}

void OutgoingRegistrationGuiTest::codeNumberLayouts()
{
    QFETCH(QString, yearDigits);
    QFETCH(QString, serialDigits);
    QFETCH(QString, identifierLength);
    QFETCH(int, year);
    QFETCH(QString, expected);
    QFETCH(QStringList, messages);

    openOutgoing(
        deskSettings("/tmp", yearDigits.toStdString(), serialDigits.toStdString(), identifierLength.toStdString()));
    byId<QDateEdit>(Dialog::DocumentDatePicker)->setDate(QDate(year, 6, 1));
    choosePrefix(0);
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), expected);
    QCOMPARE(m_prompter->texts(), messages);
    for (const QString& caption : m_prompter->captions())
        QCOMPARE(caption, QString()); // the program's name
}

void OutgoingRegistrationGuiTest::titleCheckFillsTheKind_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("ends with a kind") << "关于表彰的决定"
                                      << "决定" << QStringList{};
    QTest::newRow("kind alone") << "通知"
                                << "旧" << QStringList{QStringLiteral("标题错误!")};
    QTest::newRow("kind in the middle") << "通知的安排"
                                        << "旧" << QStringList{QStringLiteral("标题错误!")};
    QTest::newRow("empty title") << ""
                                 << "旧" << QStringList{};
}

void OutgoingRegistrationGuiTest::titleCheckFillsTheKind()
{
    QFETCH(QString, title);
    QFETCH(QString, kind);
    QFETCH(QStringList, messages);
    openOutgoing(deskSettings("/tmp"));
    auto* titleEdit = byId<QLineEdit>(Dialog::TitleEdit);
    byId<QLineEdit>(Dialog::KindEdit)->setText(QStringLiteral("旧"));
    titleEdit->setFocus(Qt::MouseFocusReason);
    titleEdit->setText(title);
    byId<QLineEdit>(Dialog::IssuingUnitEdit)->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(byId<QLineEdit>(Dialog::KindEdit)->text(), kind);
    QCOMPARE(m_prompter->texts(), messages);
    if (!messages.isEmpty())
        QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("文种错误")});
}

void OutgoingRegistrationGuiTest::confirmationStopsAndWarnsInOrder_data()
{
    QTest::addColumn<int>("control"); // the field to change (0: none)
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<bool>("added");

    const QString missing = QStringLiteral("缺乏必要内容");
    QTest::newRow("all filled") << 0 << "" << QStringList{} << QStringList{} << true;
    QTest::newRow("number empty") << int(Dialog::NumberCombo) << "" << QStringList{QStringLiteral("发文号不得为空")}
                                  << QStringList{missing} << false;
    QTest::newRow("issuing unit empty") << int(Dialog::IssuingUnitEdit) << ""
                                        << QStringList{QStringLiteral("发文单位不得为空")} << QStringList{missing}
                                        << false;
    // The title check on leaving the title makes the kind 请示.
    QTest::newRow("request to everyone") << int(Dialog::TitleEdit) << "关于开庭安排的请示"
                                         << QStringList{QStringLiteral("主送单位可能错误")} << QStringList{missing}
                                         << true;
    QTest::newRow("code unit empty") << int(Dialog::CodeUnitEdit) << ""
                                     << QStringList{QStringLiteral("制码单位不得为空")} << QStringList{missing}
                                     << false;
    QTest::newRow("secrecy empty") << int(Dialog::SecrecyCombo) << "" << QStringList{QStringLiteral("密级不得为空")}
                                   << QStringList{missing} << false;
    QTest::newRow("urgency empty") << int(Dialog::UrgencyCombo) << "" << QStringList{QStringLiteral("紧急程度不得为空")}
                                   << QStringList{missing} << false;
    QTest::newRow("code number empty") << int(Dialog::CodeNumberEdit) << ""
                                       << QStringList{QStringLiteral("编码号不得为空")} << QStringList{missing}
                                       << false;
    // No earlier number: static 1297 is empty, so an empty title stops after its warning.
    QTest::newRow("title empty") << int(Dialog::TitleEdit) << ""
                                 << QStringList{QStringLiteral("标题为空？"), QStringLiteral("无法重复发号！")}
                                 << QStringList{QStringLiteral("缺乏主要内容"), QStringLiteral("标题重复")} << false;
}

void OutgoingRegistrationGuiTest::confirmationStopsAndWarnsInOrder()
{
    QFETCH(int, control);
    QFETCH(QString, value);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, captions);
    QFETCH(bool, added);

    openOutgoing(deskSettings("/tmp"));
    fillCompleteFields();
    if (auto* combo = qobject_cast<QComboBox*>(byId(control)))
        combo->setEditText(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(byId(control)))
        edit->setText(value);
    const QString number = byId<QComboBox>(Dialog::NumberCombo)->currentText();
    m_prompter->clear();

    click(Dialog::ConfirmButton);
    QCOMPARE(m_prompter->texts(), texts);
    QCOMPARE(m_prompter->captions(), captions);
    RegisterListCtrl& list = m_form->registerList();
    QCOMPARE(list.rowCount(), added ? 1 : 0);
    if (!added)
        return;
    const RegisterListModel& model = list.listModel();
    QCOMPARE(toQString(model.cellText(0, 0)), number);
    QCOMPARE(toQString(model.cellText(0, 8)), yearText() + QStringLiteral("0305"));
    QCOMPARE(toQString(model.cellText(0, 11)), yearText() + QStringLiteral("0312"));
    QCOMPARE(toQString(model.cellText(0, 12)), QStringLiteral("GB0626-2005"));
    QCOMPARE(toQString(model.cellText(0, 13)), QStringLiteral("拟稿人：张三"));
    QCOMPARE(list.selectedRowNumbers(), std::vector<int>{0});
    QCOMPARE(list.currentIndex().row(), 0);

    // One registration at a time.
    m_prompter->clear();
    click(Dialog::ConfirmButton);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("现有登记未完成")});
    QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("表内内容未保存")});
    QCOMPARE(list.rowCount(), 1);
    // Choosing a prefix while the row waits is refused too.
    m_prompter->clear();
    choosePrefix(1);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("现有登记未完成")});
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), QString());
}

void OutgoingRegistrationGuiTest::topSecret_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("added");
    QTest::newRow("with title") << "关于开庭安排的通知" << QStringList{QStringLiteral("标题不得显示！")} << false;
    QTest::newRow("without title") << "" << QStringList{} << true;
}

void OutgoingRegistrationGuiTest::topSecret()
{
    QFETCH(QString, title);
    QFETCH(QStringList, texts);
    QFETCH(bool, added);
    openOutgoing(deskSettings("/tmp"));
    fillCompleteFields();
    byId<QComboBox>(Dialog::SecrecyCombo)->setCurrentText(QStringLiteral("绝密"));
    byId<QLineEdit>(Dialog::TitleEdit)->setText(title);
    m_prompter->clear();
    click(Dialog::ConfirmButton);
    QCOMPARE(m_prompter->texts(), texts);
    QCOMPARE(m_form->registerList().rowCount(), added ? 1 : 0);
    if (added) {
        QCOMPARE(toQString(m_form->registerList().listModel().cellText(0, 1)), QString());
        QCOMPARE(toQString(m_form->registerList().listModel().cellText(0, 2)), QStringLiteral("绝密"));
    } else {
        QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("绝密")});
    }
}

void OutgoingRegistrationGuiTest::savingThreeRowsWithTheMiddleOverwriteDeclined()
{
    openOutgoing(deskSettings("/tmp"));
    {
        AdoRecordset statement;
        DocumentRecord earlier;
        earlier[DocumentRecord::Number] = "法〔2026〕2号"_gbk;
        earlier[DocumentRecord::Title] = "早先的"_gbk;
        QVERIFY(statement.openQuery(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), earlier)));
    }
    RegisterListCtrl& list = m_form->registerList();
    list.listModel().appendRow(listRow("法〔2026〕1号", "是"));
    list.listModel().appendRow(listRow("法〔2026〕2号", "是"));
    list.listModel().appendRow(listRow("法〔2026〕3号", "是"));
    list.selectAll();
    byId<QLineEdit>(Dialog::CodeNumberEdit)->setText(QStringLiteral("FY260001"));
    m_prompter->willAnswer(Answer::Cancel);

    click(Dialog::SaveButton);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("发文号法〔2026〕2号的文件已登记，请确认是否覆盖登记?")});
    QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("系统提示")});
    QCOMPARE(m_prompter->shown().front().message.buttons, Prompter::Buttons::OkCancel);
    QCOMPARE(m_prompter->shown().front().message.icon, Prompter::Icon::Question);
    QCOMPARE(registeredNumbers(), (QStringList{QStringLiteral("法〔2026〕1号"), QStringLiteral("法〔2026〕2号"),
                                               QStringLiteral("法〔2026〕3号")}));
    QCOMPARE(list.rowCount(), 1);
    QCOMPARE(toQString(list.listModel().cellText(0, 0)), QStringLiteral("法〔2026〕2号"));
    QVERIFY(list.selectedRowNumbers().empty());
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), QString());
    AdoRecordset title;
    QVERIFY(title.openQuery(RegisterStatements::selectOutgoingTitle("法〔2026〕2号"_gbk)));
    title.moveFirst();
    QCOMPARE(toQString(title.fieldText(0)), QStringLiteral("早先的"));
}

void OutgoingRegistrationGuiTest::barcodeQuestionCancelKeepsEverything()
{
    openOutgoing(deskSettings("/tmp"));
    RegisterListCtrl& list = m_form->registerList();
    list.listModel().appendRow(listRow("法〔2026〕1号", ""));
    list.listModel().appendRow(listRow("法〔2026〕2号", "是"));
    list.selectAll();
    byId<QLineEdit>(Dialog::CodeNumberEdit)->setText(QStringLiteral("FY260001"));
    m_prompter->willAnswer(Answer::Cancel);

    click(Dialog::SaveButton);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("条码未生成,仍要发文登记吗？")});
    QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("提示")});
    QCOMPARE(m_prompter->shown().front().message.defaultAnswer, Answer::Cancel);
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(list.selectedRowNumbers(), (std::vector<int>{0, 1}));
    QVERIFY(registeredNumbers().isEmpty());
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), QStringLiteral("FY260001"));
}

void OutgoingRegistrationGuiTest::barcodeNeedsExactlyOneSelectedRow()
{
    openOutgoing(deskSettings("/tmp"));
    click(Dialog::BarcodeButton);
    RegisterListCtrl& list = m_form->registerList();
    list.listModel().appendRow(listRow("A1", ""));
    list.listModel().appendRow(listRow("A2", ""));
    list.selectAll();
    click(Dialog::BarcodeButton);
    QCOMPARE(m_prompter->texts(), (QStringList{QStringLiteral("请选中一行"), QStringLiteral("请选中一行")}));
    QCOMPARE(m_prompter->captions(), (QStringList{QString(), QString()}));
    QVERIFY(m_fakeLauncher.starts().empty());
    QVERIFY(!m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("TxtTemp.txt"))));
}

void OutgoingRegistrationGuiTest::encoderThatLeavesNoFilesIsGivenUp()
{
    openOutgoing(deskSettings("/tmp"));
    m_fakeLauncher.onStart([](const test::FakeProcessLauncher::Start&) {});
    fillCompleteFields();
    click(Dialog::ConfirmButton);
    m_prompter->clear();
    click(Dialog::BarcodeButton);
    m_fakeLauncher.current().errorOutput = "pdf417: cannot encode TxtTemp.txt\n";
    QCOMPARE(m_fakeLauncher.starts().size(), std::size_t(1));
    QCOMPARE(toQString(m_fakeLauncher.starts()[0].program), m_folder->filePath(QStringLiteral("pdf417")));
    QVERIFY(m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QCOMPARE(toQString(m_form->registerList().listModel().cellText(0, RegistrationFormLogic::kBarcodeMadeColumn)),
             QStringLiteral("是"));

    m_form->onTimer(Dialog::EncoderTimer);
    m_fakeClock.advance(std::chrono::milliseconds(4900));
    m_form->onTimer(Dialog::EncoderTimer);
    QVERIFY(m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QVERIFY(m_prompter->shown().empty());
    m_fakeClock.advance(std::chrono::milliseconds(100));
    m_form->onTimer(Dialog::EncoderTimer);
    QVERIFY(!m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("条码生成失败\r\npdf417: cannot encode TxtTemp.txt")});
    QCOMPARE(m_form->registerList().rowCount(), 1); // nothing saved
    QVERIFY(m_opener.openedFolders().empty());
}

void OutgoingRegistrationGuiTest::exchangeFileThatCannotBeWrittenStopsTheBarcode()
{
    openOutgoing(deskSettings("/tmp"));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("TxtTemp.txt")));
    RegisterListCtrl& list = m_form->registerList();
    list.listModel().appendRow(listRow("A1", ""));
    list.selectRow(0);
    const std::size_t startsBefore = m_fakeLauncher.starts().size();
    click(Dialog::BarcodeButton);
    QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("条码生成失败\r\nTxtTemp.txt: Is a directory")});
    QCOMPARE(m_fakeLauncher.starts().size(), startsBefore);
    QVERIFY(!m_form->isDeskTimerActive(Dialog::EncoderTimer));
    QCOMPARE(toQString(list.listModel().cellText(0, RegistrationFormLogic::kBarcodeMadeColumn)), QString());
}

void OutgoingRegistrationGuiTest::registerFromStartToFinish()
{
    QString why;
    if (!haveRealEncoder(why))
        QSKIP(qPrintable(why));
    openOutgoing(deskSettings(gbkToUtf8(m_output)));
    attachRealEncoder();

    fillCompleteFields();
    const QString number = QStringLiteral("法〔") + yearText() + QStringLiteral("〕1号");
    QCOMPARE(byId<QComboBox>(Dialog::NumberCombo)->currentText(), number);
    click(Dialog::ConfirmButton);
    QCOMPARE(m_form->registerList().rowCount(), 1);
    QVERIFY(m_prompter->shown().empty());

    const GbkString payload = BarcodePayload::buildPayload(
        RegistrationFormLogic::fromListRow(m_form->registerList().listModel().rowCells(0)));
    click(Dialog::BarcodeButton);
    QFile exchange(m_folder->filePath(QStringLiteral("TxtTemp.txt")));
    QVERIFY(exchange.open(QIODevice::ReadOnly));
    const QByteArray handed = exchange.readAll();
    exchange.close();
    QCOMPARE(handed.size(), qsizetype(payload.size() + 2));
    QVERIFY(handed.endsWith("\r\n"));
    QCOMPARE(handed.toStdString(), payload + "\r\n");
    QVERIFY(QFile::exists(m_folder->filePath(QStringLiteral("MakeBarCode.ini"))));
    QVERIFY(m_form->isDeskTimerActive(Dialog::EncoderTimer));

    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isDeskTimerActive(Dialog::EncoderTimer), 30000);
    QCOMPARE(m_prompter->texts(), QStringList{});
    const GbkString picture = joinPath(m_output, fromQString(number) + ".emf");
    QVERIFY(fileExists(picture));
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        QVERIFY2(!fileExists(joinPath(m_folder->gbkPath(), name)), name.c_str());
    QCOMPARE(m_opener.openedFolders(), std::vector<GbkString>{m_output});
    QCOMPARE(m_form->registerList().rowCount(), 0);
    QCOMPARE(registeredNumbers(), QStringList{number});
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), QString());

    std::string failure;
    const std::optional<std::string> decoded = test::decodeEmfPicture(toNativePath(picture), failure);
    QVERIFY2(decoded, failure.c_str());
    QCOMPARE(*decoded, payload + "\r\n");

    // The saved, barcoded row advances both numbers.
    choosePrefix(0);
    QCOMPARE(byId<QLabel>(Dialog::LastNumberLabel)->text(), number);
    QCOMPARE(byId<QLabel>(Dialog::LastTitleLabel)->text(), QStringLiteral("关于开庭安排的通知"));
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(),
             QStringLiteral("FY") + QString::number(kYear - 2000) + QStringLiteral("0002"));
}

void OutgoingRegistrationGuiTest::pictureTakesTheFirstRowsNumber()
{
    QString why;
    if (!haveRealEncoder(why))
        QSKIP(qPrintable(why));
    openOutgoing(deskSettings(gbkToUtf8(m_output)));
    attachRealEncoder();
    RegisterListCtrl& list = m_form->registerList();
    list.listModel().appendRow(listRow("法〔2024〕12号", ""));
    list.listModel().appendRow(listRow("院/../外面", ""));
    list.selectRow(1);

    click(Dialog::BarcodeButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isDeskTimerActive(Dialog::EncoderTimer), 30000);
    QVERIFY(fileExists(joinPath(m_output, "法〔2024〕12号.emf"_gbk)));
    QCOMPARE(registeredNumbers(), QStringList{QStringLiteral("院/../外面")});
    QCOMPARE(list.rowCount(), 1);

    // A number with path characters as the first row stays inside the output folder.
    list.selectRow(0);
    list.listModel().setCellText(0, 0, "院/../外面2"_gbk);
    click(Dialog::BarcodeButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isDeskTimerActive(Dialog::EncoderTimer), 30000);
    QVERIFY(fileExists(joinPath(m_output, "院____外面2.emf"_gbk)));
    QVERIFY(!fileExists(joinPath(m_folder->gbkPath(), "外面2.emf"_gbk)));
}

QTEST_MAIN(OutgoingRegistrationGuiTest)
#include "OutgoingRegistrationGuiTest.moc"

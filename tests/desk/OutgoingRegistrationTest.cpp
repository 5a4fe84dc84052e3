// The controllers of the registration form, driven through a form without a
// window: the mode switch, saving, outgoing registration and the start-up.
#include "desk/OutgoingRegistration.h"

#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessList.h"
#include "FakeRegisters.h"
#include "FakeRegistrationView.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "app/AppPaths.h"
#include "desk/DeskStartup.h"
#include "desk/ModeSwitch.h"
#include "desk/RegistrationSaver.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace regdesk;
using namespace regdesk::test;
using Answer = Prompter::Answer;
using F = DocumentRecord;

Q_DECLARE_METATYPE(regdesk::RegistrationMode)

namespace {

// Two number kinds, document kinds, defaults, the code-number layout and the symbol size.
std::string deskSettings(const std::string& outputFolder, const std::string& identifierLength = "2")
{
    return "[发文型式]\n型式1=法\n型式2=民\n[发文种类]\n种类1=通知\n种类2=请示\n"
           "[发文设置]\n制码单位=某某法院办公室\n发文单位=某某人民法院\n标题=关于\n二维码输出位置=" +
           outputFolder + "\n制码号固定标识=FY\n制码号固定位数=" + identifierLength +
           "\n制码号年度位数=2\n制码号流水位数=4\n[PDF]\nWidth=50\nHeight=20\n";
}

} // namespace

class OutgoingRegistrationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void modeSwitchWithoutRowsShowsTheOtherMode();
    void modeSwitchAsksWhileRowsArePending_data();
    void modeSwitchAsksWhileRowsArePending();
    void saveGoesToTheRegisterOfTheMode_data();
    void saveGoesToTheRegisterOfTheMode();
    void choosingAPrefixProposesTheNumbers();
    void choosingAPrefixWhileARowWaitsIsRefused();
    void leavingTheNumberProposesTheNextOne();
    void leavingTheTitleFillsTheKind_data();
    void leavingTheTitleFillsTheKind();
    void confirmationAddsTheSelectedRow();
    void failedConfirmationAddsNothing();
    void barcodeNeedsExactlyOneSelectedRow();
    void barcodeOfTheMarkedRowIsPickedUpSavedAndShown();
    void declinedOverwriteKeepsTheRegisteredPicture();
    void encoderThatLeavesNoFilesIsGivenUp();
    void exchangeFileThatCannotBeWrittenStopsTheBarcode();
    void startupWithoutDatabaseTellsTheClerk();
    void startupGivesTheFormWhatItShows();

private:
    void startBarcodeOn(int row);

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<FakeRegistrationView> m_view;
    FakePrompter m_prompter;
    FakeOutgoingRegister m_register;
    FakeRegisterStore m_store;
    FakeProcessLauncher m_launcher;
    FakeProcessList m_processes;
    FakeClock m_clock;
    FakeDesktopOpener m_opener;
    std::unique_ptr<ModeSwitch> m_modes;
    std::unique_ptr<RegistrationSaver> m_saver;
    std::unique_ptr<OutgoingRegistration> m_outgoing;
    GbkString m_output;
};

void OutgoingRegistrationTest::init()
{
    m_db = std::make_unique<TestDatabase>(); // also the program directory
    m_output = joinPath(m_db->folder().gbkPath(), "二维码"_gbk);
    m_db->folder().writeSettings(deskSettings(gbkToUtf8(m_output)));
    m_view = std::make_unique<FakeRegistrationView>();
    m_view->prefixes = {"法〔2026〕"_gbk, "民〔2026〕"_gbk};
    m_prompter.clear();
    m_store = FakeRegisterStore();
    m_register = FakeOutgoingRegister();
    m_launcher = FakeProcessLauncher();
    m_opener = FakeDesktopOpener();
    m_modes = std::make_unique<ModeSwitch>(*m_view, m_prompter);
    m_saver = std::make_unique<RegistrationSaver>(*m_view, m_prompter, m_store);
    m_outgoing = std::make_unique<OutgoingRegistration>(*m_view, m_prompter, m_register, *m_saver, m_launcher,
                                                        m_processes, m_clock, m_opener);
}

void OutgoingRegistrationTest::cleanup()
{
    m_outgoing.reset();
    m_saver.reset();
    m_modes.reset();
    m_view.reset();
    m_db.reset();
}

void OutgoingRegistrationTest::modeSwitchWithoutRowsShowsTheOtherMode()
{
    QSignalSpy changed(&m_view->events(), &RegistrationEvents::modeChanged);
    emit m_view->events().modeSwitchRequested();
    QCOMPARE(m_view->mode(), RegistrationMode::Outgoing);
    // The defaults are read from document.ini at the switch.
    QCOMPARE(m_view->field(F::CodeUnit), "某某法院办公室"_gbk);
    QCOMPARE(m_view->field(F::IssuingUnit), "某某人民法院"_gbk);
    QCOMPARE(m_view->field(F::Title), "关于"_gbk);
    emit m_view->events().modeSwitchRequested();
    QCOMPARE(m_view->mode(), RegistrationMode::Incoming);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed[0][0].value<RegistrationMode>(), RegistrationMode::Outgoing);
    QCOMPARE(changed[1][0].value<RegistrationMode>(), RegistrationMode::Incoming);
    QVERIFY(m_prompter.shown().empty());
}

void OutgoingRegistrationTest::modeSwitchAsksWhileRowsArePending_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("No keeps the rows and the mode") << false;
    QTest::newRow("Yes drops the rows and switches") << true;
}

void OutgoingRegistrationTest::modeSwitchAsksWhileRowsArePending()
{
    QFETCH(bool, answerYes);
    m_view->list.add(registerRow("A1"));
    m_view->list.add(registerRow("A2"));
    m_prompter.willAnswer(answerYes ? Answer::Yes : Answer::No);
    QCOMPARE(m_modes->switchMode(), answerYes);

    QCOMPARE(m_prompter.shown().size(), std::size_t(1));
    const Prompter::Message& question = m_prompter.shown().front().message;
    QCOMPARE(question.text, QStringLiteral("是否仍要继续"));
    QCOMPARE(question.caption, QStringLiteral("现有登记未完成"));
    QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
    QCOMPARE(question.icon, Prompter::Icon::Question);
    QCOMPARE(question.defaultAnswer, Answer::No);
    QCOMPARE(m_view->mode(), answerYes ? RegistrationMode::Outgoing : RegistrationMode::Incoming);
    QCOMPARE(m_view->list.rowCount(), answerYes ? 0 : 2);
}

void OutgoingRegistrationTest::saveGoesToTheRegisterOfTheMode_data()
{
    QTest::addColumn<RegistrationMode>("mode");
    QTest::addColumn<QString>("call");
    QTest::newRow("incoming") << RegistrationMode::Incoming << QStringLiteral("insert-in 收文登记表 A1");
    QTest::newRow("outgoing") << RegistrationMode::Outgoing << QStringLiteral("insert-out 发文登记表 A1");
}

void OutgoingRegistrationTest::saveGoesToTheRegisterOfTheMode()
{
    QFETCH(RegistrationMode, mode);
    QFETCH(QString, call);
    m_view->shownMode = mode;
    m_view->list.add(registerRow("A1"));
    m_view->list.add(registerRow("A2"), false);
    m_view->setCodeNumber("FY260001");
    emit m_view->events().saveRequested();
    QCOMPARE(m_store.calls, std::vector<std::string>{call.toStdString()});
    QCOMPARE(m_view->list.numbers(), std::vector<GbkString>{"A2"});
    QCOMPARE(m_view->field(F::CodeNumber), GbkString());

    // A save the clerk cancels keeps the code number.
    m_view->shownMode = RegistrationMode::Outgoing;
    m_view->setCodeNumber(GbkString("FY260002"));
    m_view->list.rows[0].selected = true;
    m_view->list.rows[0].record.barcodeMade.clear();
    m_prompter.willAnswer(Answer::Cancel);
    QCOMPARE(m_saver->saveSelectedRows(), SaveOutcome::Cancelled);
    QCOMPARE(m_view->field(F::CodeNumber), GbkString("FY260002"));
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("条码未生成,仍要发文登记吗？")});
}

void OutgoingRegistrationTest::choosingAPrefixProposesTheNumbers()
{
    // No prefix chosen (a typed number): nothing happens.
    emit m_view->events().numberDropDownClosed();
    QVERIFY(m_register.searchedYears.empty());

    m_register.numbers = {"民〔2026〕9号"_gbk, "民〔2026〕10号"_gbk};
    m_register.titles["民〔2026〕10号"_gbk] = "关于乙的通知"_gbk;
    m_register.barcoded = 3;
    m_view->chosenPrefix = "民〔2026〕"_gbk;
    emit m_view->events().numberDropDownClosed();
    QCOMPARE(m_register.searchedYears, std::vector<int>{2026}); // the year of 成文时期
    QCOMPARE(m_view->form.lastNumber, "民〔2026〕10号"_gbk);
    QCOMPARE(m_view->form.lastTitle, "关于乙的通知"_gbk);
    QCOMPARE(m_view->field(F::CodeNumber), GbkString("FY260004"));
    QVERIFY(m_prompter.shown().empty());

    // A layout the settings get wrong is reported in the form's box.
    m_db->folder().writeSettings(deskSettings("/tmp", "3"));
    emit m_view->events().numberDropDownClosed();
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("制码号固定标识位数错误!")});
    QCOMPARE(m_prompter.captions(), QStringList{QString()});
}

void OutgoingRegistrationTest::choosingAPrefixWhileARowWaitsIsRefused()
{
    m_view->list.add(registerRow("A1"));
    m_view->chosenPrefix = "法〔2026〕"_gbk;
    m_view->proposeNumber("法〔2026〕"_gbk);
    m_view->setCodeNumber("FY260001");
    emit m_view->events().numberDropDownClosed();
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("现有登记未完成")});
    QCOMPARE(m_prompter.captions(), QStringList{QStringLiteral("表内内容未保存")});
    QCOMPARE(m_view->field(F::Number), GbkString());
    QCOMPARE(m_view->field(F::CodeNumber), GbkString());
    QVERIFY(m_register.searchedYears.empty());
}

void OutgoingRegistrationTest::leavingTheNumberProposesTheNextOne()
{
    m_view->proposeNumber("手写的号"_gbk);
    emit m_view->events().numberFocusLost(); // no last number shown: the text stays
    QCOMPARE(m_view->field(F::Number), "手写的号"_gbk);
    m_view->showLastNumber("民〔2026〕10号"_gbk, {});
    emit m_view->events().numberFocusLost();
    QCOMPARE(m_view->field(F::Number), "民〔2026〕11号"_gbk);
}

void OutgoingRegistrationTest::leavingTheTitleFillsTheKind_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("ends with a kind") << "关于开庭的请示"
                                      << "请示" << QStringList{};
    QTest::newRow("no kind at the end") << "通知的安排"
                                        << "旧" << QStringList{QStringLiteral("标题错误!")};
    QTest::newRow("empty title") << ""
                                 << "旧" << QStringList{};
}

void OutgoingRegistrationTest::leavingTheTitleFillsTheKind()
{
    QFETCH(QString, title);
    QFETCH(QString, kind);
    QFETCH(QStringList, messages);
    m_view->field(F::Title) = fromQString(title);
    m_view->setKind("旧"_gbk);
    emit m_view->events().titleFocusLost();
    QCOMPARE(toQString(m_view->field(F::Kind)), kind);
    QCOMPARE(m_prompter.texts(), messages);
    if (!messages.isEmpty())
        QCOMPARE(m_prompter.captions(), QStringList{QStringLiteral("文种错误")});
}

void OutgoingRegistrationTest::confirmationAddsTheSelectedRow()
{
    m_view->form.document = sampleOutgoingRow("法〔2026〕1号"_gbk);
    QSignalSpy confirmed(m_outgoing.get(), &OutgoingRegistration::rowConfirmed);
    emit m_view->events().confirmRequested();
    QCOMPARE(confirmed.count(), 1);
    QCOMPARE(confirmed[0][0].toInt(), 0);
    QVERIFY(m_prompter.shown().empty());
    QCOMPARE(m_view->list.rowCount(), 1);
    QCOMPARE(m_view->list.rows[0].record.fields, m_view->form.document.fields);
    QCOMPARE(m_view->list.selectedRows(), std::vector<int>{0});
    QCOMPARE(m_view->list.mark, std::optional<int>(0));
    QVERIFY(m_view->list.hasFocus);
}

void OutgoingRegistrationTest::failedConfirmationAddsNothing()
{
    m_view->form.document = sampleOutgoingRow({});
    QVERIFY(!m_outgoing->confirmRegistration());
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("发文号不得为空")});
    QCOMPARE(m_view->list.rowCount(), 0);
}

void OutgoingRegistrationTest::startBarcodeOn(int row)
{
    m_view->list.rows.at(static_cast<std::size_t>(row)).selected = true;
    m_view->list.mark = row;
    emit m_view->events().makeBarcodeRequested();
}

void OutgoingRegistrationTest::barcodeNeedsExactlyOneSelectedRow()
{
    emit m_view->events().makeBarcodeRequested();
    m_view->list.add(registerRow("A1"));
    m_view->list.add(registerRow("A2"));
    emit m_view->events().makeBarcodeRequested();
    QCOMPARE(m_prompter.texts(), (QStringList{QStringLiteral("请选中一行"), QStringLiteral("请选中一行")}));
    QCOMPARE(m_prompter.captions(), (QStringList{QString(), QString()}));
    QVERIFY(m_launcher.starts().empty());
    QVERIFY(!m_outgoing->isEncoderTimerActive());
    QVERIFY(!fileExists(AppPaths::besideProgram("TxtTemp.txt")));
}

void OutgoingRegistrationTest::barcodeOfTheMarkedRowIsPickedUpSavedAndShown()
{
    m_launcher.onStart([](const FakeProcessLauncher::Start&) {
        writeWholeFile(AppPaths::besideProgram("TempPdf.bmp"), encoderBitmap());
        for (const char* name : {"TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
            writeWholeFile(AppPaths::besideProgram(name), "x");
    });
    m_view->shownMode = RegistrationMode::Outgoing;
    m_view->list.add(registerRow("法〔2026〕7号"_gbk, "标题"_gbk, "20260105", {}), false);
    m_view->list.add(registerRow("法〔2026〕8号"_gbk, "标题"_gbk, "20260105", {}), false);
    m_view->setCodeNumber(GbkString("FY260008"));
    startBarcodeOn(1);
    QCOMPARE(m_launcher.starts().size(), std::size_t(1));
    QCOMPARE(m_launcher.starts()[0].program, AppPaths::besideProgram("pdf417"));
    QVERIFY(readWholeFile(AppPaths::besideProgram("TxtTemp.txt"))->find("法〔2026〕8号"_gbk) != std::string::npos);
    QCOMPARE(m_view->list.rows[1].record.barcodeMade, "是"_gbk);
    QVERIFY(m_outgoing->isEncoderTimerActive());

    m_outgoing->pickUpBarcodeImage();
    QVERIFY(!m_outgoing->isEncoderTimerActive());
    QVERIFY(m_prompter.shown().empty());
    // The marked row is saved; the picture takes the first row's number.
    QCOMPARE(m_store.calls, std::vector<std::string>{"insert-out 发文登记表 法〔2026〕8号"});
    QCOMPARE(m_view->list.numbers(), std::vector<GbkString>{"法〔2026〕7号"_gbk});
    QVERIFY(fileExists(joinPath(m_output, "法〔2026〕7号.emf"_gbk)));
    QCOMPARE(m_opener.openedFolders(), std::vector<GbkString>{m_output});
    QCOMPARE(m_view->field(F::CodeNumber), GbkString());
    QVERIFY(!m_view->closed);
}

void OutgoingRegistrationTest::declinedOverwriteKeepsTheRegisteredPicture()
{
    m_launcher.onStart([](const FakeProcessLauncher::Start&) {
        writeWholeFile(AppPaths::besideProgram("TempPdf.bmp"), encoderBitmap());
        for (const char* name : {"TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
            writeWholeFile(AppPaths::besideProgram(name), "x");
    });
    const GbkString number = "法〔2026〕7号"_gbk;
    const GbkString picture = joinPath(m_output, number + ".emf");
    QVERIFY(QDir().mkpath(toQString(m_output)));
    QVERIFY(writeWholeFile(picture, "the registered document's barcode"));
    m_store.rows[number] = registerRow(number);
    m_view->shownMode = RegistrationMode::Outgoing;
    m_view->list.add(registerRow(number, "另一标题"_gbk, "20260105", {}), false);
    startBarcodeOn(0);
    m_prompter.willAnswer(Answer::Cancel);
    m_outgoing->pickUpBarcodeImage();
    QCOMPARE(readWholeFile(picture), std::optional<std::string>("the registered document's barcode"));
    QCOMPARE(m_prompter.texts().size(), 2);
    QVERIFY(m_prompter.texts()[1].startsWith(QStringLiteral("发文号法〔2026〕7号未登记，原有的条码图片未替换")));

    // Saved after all: the registration and its picture change together.
    m_view->list.rows[0].selected = true;
    m_prompter.willAnswer(Answer::Ok);
    emit m_view->events().saveRequested();
    QCOMPARE(m_store.rows[number][F::Title], "另一标题"_gbk);
    QCOMPARE(readWholeFile(picture)->substr(0, 4), std::string("\x01\0\0\0", 4));
}

void OutgoingRegistrationTest::encoderThatLeavesNoFilesIsGivenUp()
{
    m_view->list.add(registerRow("A1"), false);
    startBarcodeOn(0);
    m_launcher.current().errorOutput = "pdf417: cannot encode TxtTemp.txt\n";

    m_outgoing->pickUpBarcodeImage();
    m_clock.advance(std::chrono::milliseconds(4900));
    m_outgoing->pickUpBarcodeImage();
    QVERIFY(m_outgoing->isEncoderTimerActive());
    QVERIFY(m_prompter.shown().empty());
    m_clock.advance(std::chrono::milliseconds(100));
    m_outgoing->pickUpBarcodeImage();
    QVERIFY(!m_outgoing->isEncoderTimerActive());
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("条码生成失败\r\npdf417: cannot encode TxtTemp.txt")});
    QCOMPARE(m_view->list.rowCount(), 1); // nothing saved
    QVERIFY(m_store.calls.empty());
    QVERIFY(m_opener.openedFolders().empty());
}

void OutgoingRegistrationTest::exchangeFileThatCannotBeWrittenStopsTheBarcode()
{
    QVERIFY(QDir(m_db->folder().path()).mkdir(QStringLiteral("TxtTemp.txt")));
    m_view->list.add(registerRow("A1", "标题"_gbk, "20260105", {}), false);
    startBarcodeOn(0);
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("条码生成失败\r\nTxtTemp.txt: Is a directory")});
    QVERIFY(m_launcher.starts().empty());
    QVERIFY(!m_outgoing->isEncoderTimerActive());
    QCOMPARE(m_view->list.rows[0].record.barcodeMade, GbkString());
}

void OutgoingRegistrationTest::startupWithoutDatabaseTellsTheClerk()
{
    TempDeskFolder folder;
    folder.useAsProgramDirectory();
    FakePrompter prompter;
    AdoDatabase database(prompter);
    AdoDatabase::setActiveConnection(nullptr);
    QVERIFY(!DeskStartup(database, prompter).connect(nullptr));

    const QStringList texts = prompter.texts();
    QCOMPARE(texts.size(), 2);
    QVERIFY(texts[0].startsWith(QStringLiteral("发生错误:\n\n")));
    QCOMPARE(texts[1], QStringLiteral("连接服务器失败，请重新配置！"));
    QCOMPARE(prompter.captions(), (QStringList{QStringLiteral("系统提示"), QStringLiteral("系统提示")}));
    QVERIFY(!AdoDatabase::activeConnection());
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("data.db"))));
}

void OutgoingRegistrationTest::startupGivesTheFormWhatItShows()
{
    AdoDatabase::setActiveConnection(nullptr);
    std::string settings = "[主送单位]\n1=各庭室\n2=上级法院\n\n[发文型式]\n";
    for (int i = 1; i <= 12; ++i)
        settings += std::to_string(i) + "=型" + std::to_string(i) + "\n";
    m_db->folder().writeSettings(settings);
    FakePrompter prompter;
    DeskStartup startup(m_db->database(), prompter);
    QVERIFY(startup.connect(nullptr));
    QCOMPARE(AdoDatabase::activeConnection(), m_db->database().connection());
    QVERIFY(TestDatabase::insertPerson("张三", "ZS"));

    FormStart start = startup.formStart(2027);
    QCOMPARE(start.people.recordCount(), 1);
    QCOMPARE(start.people.sourceText(), "(SELECT 姓名,简称 FROM 人员信息表) DERIVEDTBL"_gbk);
    QCOMPARE(start.numberPrefixes.size(), std::size_t(10));
    QCOMPARE(start.numberPrefixes.front(), "型1〔2027〕"_gbk);
    QCOMPARE(start.recipientUnits, (std::vector<GbkString>{"各庭室"_gbk, "上级法院"_gbk}));
    QVERIFY(prompter.shown().empty());
}

QTEST_GUILESS_MAIN(OutgoingRegistrationTest)
#include "OutgoingRegistrationTest.moc"

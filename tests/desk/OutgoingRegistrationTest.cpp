// The controllers of the registration form, driven through a form without a
// window: the mode switch, saving, outgoing registration and the start-up.
#include "desk/OutgoingRegistration.h"

#include "OutgoingDesk.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"
#include "desk/DeskStartup.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "settings/AppPaths.h"

#include <QDir>
#include <QRegularExpression>
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
    void pictureOfAnotherPayloadIsStoppedBeforeTheClerk();
    void exchangeFileThatCannotBeWrittenStopsTheBarcode();
    void startupWithoutDatabaseTellsTheClerk();
    void startupGivesTheFormWhatItShows();

private:
    void startBarcodeOn(int row);

    std::unique_ptr<TestDatabase> m_db; // made first: also the program directory
    std::unique_ptr<OutgoingDesk> m_desk;
    GbkString m_output;
};

void OutgoingRegistrationTest::init()
{
    m_db = std::make_unique<TestDatabase>(); // also the program directory
    m_output = joinPath(m_db->folder().gbkPath(), "二维码"_gbk);
    m_db->folder().writeSettings(deskSettings(gbkToUtf8(m_output)));
    m_desk = std::make_unique<OutgoingDesk>();
    m_desk->view.prefixes = {"法〔2026〕"_gbk, "民〔2026〕"_gbk};
}

void OutgoingRegistrationTest::cleanup()
{
    m_desk.reset();
    m_db.reset();
}

void OutgoingRegistrationTest::modeSwitchWithoutRowsShowsTheOtherMode()
{
    QSignalSpy changed(&m_desk->view.events(), &RegistrationEvents::modeChanged);
    emit m_desk->view.events().modeSwitchRequested();
    QCOMPARE(m_desk->view.mode(), RegistrationMode::Outgoing);
    // The defaults are read from document.ini at the switch.
    QCOMPARE(m_desk->view.field(F::CodeUnit), "某某法院办公室"_gbk);
    QCOMPARE(m_desk->view.field(F::IssuingUnit), "某某人民法院"_gbk);
    QCOMPARE(m_desk->view.field(F::Title), "关于"_gbk);
    emit m_desk->view.events().modeSwitchRequested();
    QCOMPARE(m_desk->view.mode(), RegistrationMode::Incoming);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed[0][0].value<RegistrationMode>(), RegistrationMode::Outgoing);
    QCOMPARE(changed[1][0].value<RegistrationMode>(), RegistrationMode::Incoming);
    QVERIFY(m_desk->prompter.shown().empty());
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
    m_desk->view.list.add(registerRow("A1"));
    m_desk->view.list.add(registerRow("A2"));
    m_desk->prompter.willAnswer(answerYes ? Answer::Yes : Answer::No);
    QCOMPARE(m_desk->modes.switchMode(), answerYes);

    QCOMPARE(m_desk->prompter.shown().size(), std::size_t(1));
    const Prompter::Message& question = m_desk->prompter.shown().front().message;
    QCOMPARE(question.text, QStringLiteral("是否仍要继续"));
    QCOMPARE(question.caption, QStringLiteral("现有登记未完成"));
    QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
    QCOMPARE(question.icon, Prompter::Icon::Question);
    QCOMPARE(question.defaultAnswer, Answer::No);
    QCOMPARE(m_desk->view.mode(), answerYes ? RegistrationMode::Outgoing : RegistrationMode::Incoming);
    QCOMPARE(m_desk->view.list.rowCount(), answerYes ? 0 : 2);
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
    m_desk->view.shownMode = mode;
    m_desk->view.list.add(registerRow("A1"));
    m_desk->view.list.add(registerRow("A2"), false);
    m_desk->view.setCodeNumber("FY260001");
    emit m_desk->view.events().saveRequested();
    QCOMPARE(m_desk->store.calls, std::vector<std::string>{call.toStdString()});
    QCOMPARE(m_desk->view.list.numbers(), std::vector<GbkString>{"A2"});
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString());

    // A save the clerk cancels keeps the code number.
    m_desk->view.shownMode = RegistrationMode::Outgoing;
    m_desk->view.setCodeNumber(GbkString("FY260002"));
    m_desk->view.list.rows[0].selected = true;
    m_desk->view.list.rows[0].record.barcodeMade.clear();
    m_desk->prompter.willAnswer(Answer::Cancel);
    QCOMPARE(m_desk->saver.saveSelectedRows(), SaveOutcome::Cancelled);
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString("FY260002"));
    QCOMPARE(m_desk->prompter.texts(), QStringList{QStringLiteral("条码未生成,仍要发文登记吗？")});
}

void OutgoingRegistrationTest::choosingAPrefixProposesTheNumbers()
{
    // No prefix chosen (a typed number): nothing happens.
    emit m_desk->view.events().numberDropDownClosed();
    QVERIFY(m_desk->register_.searchedYears.empty());

    m_desk->register_.numbers = {"民〔2026〕9号"_gbk, "民〔2026〕10号"_gbk};
    m_desk->register_.titles["民〔2026〕10号"_gbk] = "关于乙的通知"_gbk;
    m_desk->register_.barcoded = 3;
    m_desk->view.chosenPrefix = "民〔2026〕"_gbk;
    emit m_desk->view.events().numberDropDownClosed();
    QCOMPARE(m_desk->register_.searchedYears, std::vector<int>{2026}); // the year of 成文时期
    QCOMPARE(m_desk->view.form.lastNumber, "民〔2026〕10号"_gbk);
    QCOMPARE(m_desk->view.form.lastTitle, "关于乙的通知"_gbk);
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString("FY260004"));
    QVERIFY(m_desk->prompter.shown().empty());

    // A layout the settings get wrong is reported in the form's box.
    m_db->folder().writeSettings(deskSettings("/tmp", "3"));
    emit m_desk->view.events().numberDropDownClosed();
    QCOMPARE(m_desk->prompter.texts(), QStringList{QStringLiteral("制码号固定标识位数错误!")});
    QCOMPARE(m_desk->prompter.captions(), QStringList{QString()});
}

void OutgoingRegistrationTest::choosingAPrefixWhileARowWaitsIsRefused()
{
    m_desk->view.list.add(registerRow("A1"));
    m_desk->view.chosenPrefix = "法〔2026〕"_gbk;
    m_desk->view.proposeNumber("法〔2026〕"_gbk);
    m_desk->view.setCodeNumber("FY260001");
    emit m_desk->view.events().numberDropDownClosed();
    QCOMPARE(m_desk->prompter.texts(), QStringList{QStringLiteral("现有登记未完成")});
    QCOMPARE(m_desk->prompter.captions(), QStringList{QStringLiteral("表内内容未保存")});
    QCOMPARE(m_desk->view.field(F::Number), GbkString());
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString());
    QVERIFY(m_desk->register_.searchedYears.empty());
}

void OutgoingRegistrationTest::leavingTheNumberProposesTheNextOne()
{
    m_desk->view.proposeNumber("手写的号"_gbk);
    emit m_desk->view.events().numberFocusLost(); // no last number shown: the text stays
    QCOMPARE(m_desk->view.field(F::Number), "手写的号"_gbk);
    m_desk->view.showLastNumber("民〔2026〕10号"_gbk, {});
    emit m_desk->view.events().numberFocusLost();
    QCOMPARE(m_desk->view.field(F::Number), "民〔2026〕11号"_gbk);
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
    m_desk->view.field(F::Title) = fromQString(title);
    m_desk->view.setKind("旧"_gbk);
    emit m_desk->view.events().titleFocusLost();
    QCOMPARE(toQString(m_desk->view.field(F::Kind)), kind);
    QCOMPARE(m_desk->prompter.texts(), messages);
    if (!messages.isEmpty())
        QCOMPARE(m_desk->prompter.captions(), QStringList{QStringLiteral("文种错误")});
}

void OutgoingRegistrationTest::confirmationAddsTheSelectedRow()
{
    m_desk->view.form.document = sampleOutgoingRow("法〔2026〕1号"_gbk);
    QSignalSpy confirmed(&m_desk->outgoing, &OutgoingRegistration::rowConfirmed);
    emit m_desk->view.events().confirmRequested();
    QCOMPARE(confirmed.count(), 1);
    QCOMPARE(confirmed[0][0].toInt(), 0);
    QVERIFY(m_desk->prompter.shown().empty());
    QCOMPARE(m_desk->view.list.rowCount(), 1);
    QCOMPARE(m_desk->view.list.rows[0].record.fields, m_desk->view.form.document.fields);
    QCOMPARE(m_desk->view.list.selectedRows(), std::vector<int>{0});
    QCOMPARE(m_desk->view.list.mark, std::optional<int>(0));
    QVERIFY(m_desk->view.list.hasFocus);
}

void OutgoingRegistrationTest::failedConfirmationAddsNothing()
{
    m_desk->view.form.document = sampleOutgoingRow({});
    QVERIFY(!m_desk->outgoing.confirmRegistration());
    QCOMPARE(m_desk->prompter.texts(), QStringList{QStringLiteral("发文号不得为空")});
    QCOMPARE(m_desk->view.list.rowCount(), 0);
}

void OutgoingRegistrationTest::startBarcodeOn(int row)
{
    m_desk->view.list.rows.at(static_cast<std::size_t>(row)).selected = true;
    m_desk->view.list.mark = row;
    emit m_desk->view.events().makeBarcodeRequested();
}

void OutgoingRegistrationTest::barcodeNeedsExactlyOneSelectedRow()
{
    emit m_desk->view.events().makeBarcodeRequested();
    m_desk->view.list.add(registerRow("A1"));
    m_desk->view.list.add(registerRow("A2"));
    emit m_desk->view.events().makeBarcodeRequested();
    QCOMPARE(m_desk->prompter.texts(), (QStringList{QStringLiteral("请选中一行"), QStringLiteral("请选中一行")}));
    QCOMPARE(m_desk->prompter.captions(), (QStringList{QString(), QString()}));
    QVERIFY(m_desk->launcher.starts().empty());
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
    QVERIFY(!fileExists(AppPaths::besideProgram("TxtTemp.txt")));
}

void OutgoingRegistrationTest::barcodeOfTheMarkedRowIsPickedUpSavedAndShown()
{
    m_desk->encoderLeavesItsFiles();
    m_desk->view.shownMode = RegistrationMode::Outgoing;
    m_desk->view.list.add(registerRow("法〔2026〕7号"_gbk, "标题"_gbk, "20260105", {}), false);
    m_desk->view.list.add(registerRow("法〔2026〕8号"_gbk, "标题"_gbk, "20260105", {}), false);
    m_desk->view.setCodeNumber(GbkString("FY260008"));
    startBarcodeOn(1);
    QCOMPARE(m_desk->launcher.starts().size(), std::size_t(1));
    QCOMPARE(m_desk->launcher.starts()[0].program, AppPaths::besideProgram("pdf417"));
    QVERIFY(readWholeFile(AppPaths::besideProgram("TxtTemp.txt"))->find("法〔2026〕8号"_gbk) != std::string::npos);
    QCOMPARE(m_desk->view.list.rows[1].record.barcodeMade, "是"_gbk);
    QVERIFY(m_desk->outgoing.isEncoderTimerActive());

    m_desk->outgoing.pickUpBarcodeImage();
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
    QVERIFY(m_desk->prompter.shown().empty());
    // The marked row is saved; the picture takes the first row's number.
    QCOMPARE(m_desk->store.calls, std::vector<std::string>{"insert-out 发文登记表 法〔2026〕8号"});
    QCOMPARE(m_desk->view.list.numbers(), std::vector<GbkString>{"法〔2026〕7号"_gbk});
    QVERIFY(fileExists(joinPath(m_output, "法〔2026〕7号.emf"_gbk)));
    QCOMPARE(m_desk->opener.openedFolders(), std::vector<GbkString>{m_output});
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString());
    QVERIFY(!m_desk->view.closed);
}

void OutgoingRegistrationTest::declinedOverwriteKeepsTheRegisteredPicture()
{
    m_desk->encoderLeavesItsFiles();
    const GbkString number = "法〔2026〕7号"_gbk;
    const GbkString picture = joinPath(m_output, number + ".emf");
    QVERIFY(QDir().mkpath(toQString(m_output)));
    QVERIFY(writeWholeFile(picture, "the registered document's barcode"));
    m_desk->store.rows[number] = registerRow(number);
    m_desk->view.shownMode = RegistrationMode::Outgoing;
    m_desk->view.list.add(registerRow(number, "另一标题"_gbk, "20260105", {}), false);
    startBarcodeOn(0);
    m_desk->prompter.willAnswer(Answer::Cancel);
    m_desk->outgoing.pickUpBarcodeImage();
    QCOMPARE(readWholeFile(picture), std::optional<std::string>("the registered document's barcode"));
    QCOMPARE(m_desk->prompter.texts().size(), 2);
    QVERIFY(m_desk->prompter.texts()[1].startsWith(QStringLiteral("发文号法〔2026〕7号未登记，原有的条码图片未替换")));

    // Saved after all: the registration and its picture change together.
    m_desk->view.list.rows[0].selected = true;
    m_desk->prompter.willAnswer(Answer::Ok);
    emit m_desk->view.events().saveRequested();
    QCOMPARE(m_desk->store.rows[number][F::Title], "另一标题"_gbk);
    QCOMPARE(readWholeFile(picture)->substr(0, 4), std::string("\x01\0\0\0", 4));
}

void OutgoingRegistrationTest::encoderThatLeavesNoFilesIsGivenUp()
{
    m_desk->view.list.add(registerRow("A1"), false);
    startBarcodeOn(0);
    m_desk->launcher.current().errorOutput = "pdf417: cannot encode TxtTemp.txt\n";

    m_desk->outgoing.pickUpBarcodeImage();
    m_desk->clock.advance(std::chrono::milliseconds(4900));
    m_desk->outgoing.pickUpBarcodeImage();
    QVERIFY(m_desk->outgoing.isEncoderTimerActive());
    QVERIFY(m_desk->prompter.shown().empty());
    m_desk->clock.advance(std::chrono::milliseconds(100));
    m_desk->outgoing.pickUpBarcodeImage();
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
    QCOMPARE(m_desk->prompter.texts(),
             QStringList{QStringLiteral("条码生成失败\r\npdf417: cannot encode TxtTemp.txt")});
    QCOMPARE(m_desk->view.list.rowCount(), 1); // nothing saved
    QVERIFY(m_desk->store.calls.empty());
    QVERIFY(m_desk->opener.openedFolders().empty());
}

void OutgoingRegistrationTest::pictureOfAnotherPayloadIsStoppedBeforeTheClerk()
{
    // A broken encoder: its picture shows another registration.
    m_desk->launcher.onStart([](const FakeProcessLauncher::Start&) {
        writeWholeFile(AppPaths::besideProgram("TempPdf.bmp"),
                       symbolBitmap(BarcodePayload::buildPayload(registerRow("法〔2026〕9号"_gbk)) + "\r\n"));
        for (const char* name : {"TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
            writeWholeFile(AppPaths::besideProgram(name), "x");
    });
    m_desk->view.shownMode = RegistrationMode::Outgoing;
    m_desk->view.list.add(registerRow("法〔2026〕7号"_gbk, "标题"_gbk, "20260105", {}), false);
    startBarcodeOn(0);
    QCOMPARE(m_desk->view.list.rows[0].record.barcodeMade, "是"_gbk);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^条码自检失败，发文号 法〔2026〕7号：")));
    m_desk->outgoing.pickUpBarcodeImage();
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
    QCOMPARE(m_desk->prompter.texts().size(), 1);
    QVERIFY(m_desk->prompter.texts()[0].startsWith(QStringLiteral("条码自检失败\r\n解码内容与登记内容在第")));
    // Not saved, not counted as made, no picture, no folder shown: the row waits as before 生成条码.
    QVERIFY(m_desk->store.calls.empty());
    QCOMPARE(m_desk->view.list.numbers(), std::vector<GbkString>{"法〔2026〕7号"_gbk});
    QCOMPARE(m_desk->view.list.rows[0].record.barcodeMade, GbkString());
    QVERIFY(QDir(toQString(m_output)).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(m_desk->opener.openedFolders().empty());
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        QVERIFY(!fileExists(AppPaths::besideProgram(name)));
}

void OutgoingRegistrationTest::exchangeFileThatCannotBeWrittenStopsTheBarcode()
{
    QVERIFY(QDir(m_db->folder().path()).mkdir(QStringLiteral("TxtTemp.txt")));
    m_desk->view.list.add(registerRow("A1", "标题"_gbk, "20260105", {}), false);
    startBarcodeOn(0);
    QCOMPARE(m_desk->prompter.texts(), QStringList{QStringLiteral("条码生成失败\r\nTxtTemp.txt: Is a directory")});
    QVERIFY(m_desk->launcher.starts().empty());
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
    QCOMPARE(m_desk->view.list.rows[0].record.barcodeMade, GbkString());
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

// Add-in mode driven through a form without a window: the document text on
// timer 9, the confirmation that starts the barcode, and the hand-back of the
// picture only once the registration is saved.
#include "desk/AddinRegistration.h"

#include "OutgoingDesk.h"
#include "TempDeskFolder.h"
#include "TestRecords.h"
#include "platform/FileSystem.h"
#include "settings/AppPaths.h"

#include <QRegularExpression>
#include <QTest>
#include <filesystem>

using namespace regdesk;
using namespace regdesk::test;
using Answer = Prompter::Answer;
using F = DocumentRecord;

namespace {

const GbkString kNumber = "档发〔2026〕3号"_gbk;

// The example of a letter: letterhead, number, title over two lines, recipients, body.
std::string documentText()
{
    return utf8ToGbk("市档案局文件\r\n档发〔2026〕3号\r\n市档案局关于加强\r\n档案管理的通知\r\n各科室：\r\n"
                     "　　为进一步加强档案管理工作，现通知如下：\r\n");
}

} // namespace

class AddinRegistrationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void documentTextFillsTheForm();
    void leavingTheNumberMovesTheFocusToTheConfirmation();
    void savedRegistrationHandsThePictureBack_data();
    void savedRegistrationHandsThePictureBack();
    void pictureThatFailsItsCheckHandsNothingBack();

private:
    void confirmAndPickUp();
    GbkString picturePath() const { return joinPath(m_output, kNumber + ".emf"); }
    GbkString pictureList() const { return AppPaths::besideProgram("tempicpos.txt"); }

    std::unique_ptr<TempDeskFolder> m_folder;
    std::unique_ptr<OutgoingDesk> m_desk;
    std::unique_ptr<AddinRegistration> m_addin;
    GbkString m_output;
};

void AddinRegistrationTest::init()
{
    m_folder = std::make_unique<TempDeskFolder>();
    m_folder->useAsProgramDirectory(joinPath(m_folder->gbkPath(), "通知.docx"_gbk));
    m_output = joinPath(m_folder->gbkPath(), "二维码"_gbk);
    m_folder->writeSettings("[发文型式]\n1=档发\n[发文种类]\n1=通知\n[发文设置]\n发文单位=市档案局\n制码单位=市档案局\n"
                            "标题=关于\n二维码输出位置=" +
                            gbkToUtf8(m_output) +
                            "\n制码号固定标识=DA\n制码号固定位数=2\n制码号年度位数=2\n制码号流水位数=4\n"
                            "[PDF]\nWidth=50\nHeight=20\n");
    m_desk = std::make_unique<OutgoingDesk>();
    m_desk->view.prefixes = {"档发〔2026〕"_gbk};
    m_desk->encoderLeavesItsFiles();
    m_addin = std::make_unique<AddinRegistration>(m_desk->view, m_desk->prompter, m_desk->modes, m_desk->outgoing,
                                                  m_desk->saver);
    m_addin->start();
}

void AddinRegistrationTest::cleanup()
{
    m_addin.reset();
    m_desk.reset();
    m_folder.reset();
}

void AddinRegistrationTest::documentTextFillsTheForm()
{
    // The start shows outgoing registration and sets timer 9.
    QCOMPARE(m_desk->view.mode(), RegistrationMode::Outgoing);
    QVERIFY(m_addin->isIntakeTimerActive());
    m_folder->writeFile(QStringLiteral("doctotxt.txt"), documentText());
    m_desk->register_.numbers = {"档发〔2026〕2号"_gbk};
    m_addin->takeDocumentText();

    QVERIFY(!m_addin->isIntakeTimerActive());
    QVERIFY(!fileExists(AppPaths::besideProgram("doctotxt.txt")));
    QCOMPARE(m_desk->prompter.texts(), QStringList{});
    // Both numberings ran on the prefix found, as on a pick from the list.
    QCOMPARE(m_desk->view.chosenPrefix, std::optional<GbkString>("档发〔2026〕"_gbk));
    QCOMPARE(m_desk->view.field(F::Number), kNumber);
    QCOMPARE(m_desk->view.field(F::CodeNumber), GbkString("DA260001"));
    QVERIFY(m_desk->view.confirmationFocused);
    QCOMPARE(m_desk->view.field(F::Recipient), "各科室"_gbk);
    QCOMPARE(m_desk->view.field(F::Title), "市档案局文件档发〔2026〕3号市档案局关于加强档案管理的通知"_gbk);
    QCOMPARE(m_desk->view.field(F::Kind), "通知"_gbk); // the title check ran
}

void AddinRegistrationTest::leavingTheNumberMovesTheFocusToTheConfirmation()
{
    emit m_desk->view.events().numberFocusLost();
    QTRY_VERIFY(m_desk->view.confirmationFocused);
}

void AddinRegistrationTest::confirmAndPickUp()
{
    m_desk->view.form.document = sampleOutgoingRow(kNumber);
    emit m_desk->view.events().confirmRequested();
    // The confirmation goes on to the barcode at once.
    QCOMPARE(m_desk->launcher.starts().size(), std::size_t(1));
    QVERIFY(m_desk->outgoing.isEncoderTimerActive());
    m_desk->outgoing.pickUpBarcodeImage();
    QVERIFY(!m_desk->outgoing.isEncoderTimerActive());
}

void AddinRegistrationTest::savedRegistrationHandsThePictureBack_data()
{
    QTest::addColumn<bool>("registeredBefore");
    QTest::addColumn<bool>("insertFails");
    QTest::addColumn<bool>("pictureWritten");
    QTest::addColumn<QString>("firstBox");
    QTest::addColumn<bool>("earlierPicture");
    const QString overwrite = QStringLiteral("发文号档发〔2026〕3号的文件已登记，请确认是否覆盖登记?");
    QTest::newRow("saved at once") << false << false << true << QString() << false;
    QTest::newRow("overwrite declined, then agreed") << true << false << true << overwrite << false;
    // The registered document keeps its picture until the overwrite is agreed.
    QTest::newRow("overwrite declined over a picture, then agreed") << true << false << true << overwrite << true;
    QTest::newRow("insert refused, then taken") << false << true << true << QString() << false;
    // The add-in is given the path, where it finds no picture, not an earlier run's path.
    QTest::newRow("saved, picture not written") << false << false << false << QStringLiteral("图像转化出错") << false;
}

void AddinRegistrationTest::savedRegistrationHandsThePictureBack()
{
    QFETCH(bool, registeredBefore);
    QFETCH(bool, insertFails);
    QFETCH(bool, pictureWritten);
    QFETCH(QString, firstBox);
    QFETCH(bool, earlierPicture);
    const std::optional<std::string> registeredPicture("the registered document's barcode");
    if (earlierPicture) {
        QVERIFY(std::filesystem::create_directories(toNativePath(m_output)));
        QVERIFY(writeWholeFile(picturePath(), *registeredPicture));
    }
    if (!pictureWritten) {
        m_desk->launcher.onStart([](const FakeProcessLauncher::Start&) {
            for (const char* name : {"TempPdf.bmp", "TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
                writeWholeFile(AppPaths::besideProgram(name), "not a bitmap");
        });
    }
    if (registeredBefore) {
        m_desk->store.rows[kNumber] = registerRow(kNumber);
        m_desk->prompter.willAnswer(Answer::Cancel);
    }
    if (insertFails)
        m_desk->store.failInsert.insert(kNumber);
    // A link planted under the name is replaced, never followed.
    const GbkString elsewhere = joinPath(m_folder->gbkPath(), "elsewhere.txt");
    QVERIFY(writeWholeFile(elsewhere, "untouched"));
    std::filesystem::create_symlink(toNativePath(elsewhere), toNativePath(pictureList()));
    confirmAndPickUp();
    QCOMPARE(fileExists(picturePath()), pictureWritten);
    if (earlierPicture)
        QCOMPARE(readWholeFile(picturePath()), registeredPicture);
    QVERIFY(m_desk->opener.openedFolders().empty());
    if (!firstBox.isEmpty())
        QCOMPARE(m_desk->prompter.texts().value(0), firstBox);

    const bool saved = !registeredBefore && !insertFails;
    if (!saved) {
        // Nothing goes back while the registration is unsaved: the row waits,
        // selected, and 保存 is offered.
        QVERIFY(std::filesystem::is_symlink(toNativePath(pictureList())));
        QVERIFY(!m_desk->view.closed);
        QVERIFY(m_desk->view.saveOffered);
        QVERIFY(m_addin->isWaitingForSave());
        QCOMPARE(m_desk->view.list.numbers(), std::vector<GbkString>{kNumber});
        QCOMPARE(m_desk->view.list.selectedRows(), std::vector<int>{0});
        QVERIFY(m_desk->prompter.texts().last().startsWith(QStringLiteral("登记未保存")));

        m_desk->store.failInsert.clear();
        m_desk->prompter.willAnswer(Answer::Ok);
        emit m_desk->view.events().saveRequested();
    }
    QCOMPARE(m_desk->store.rows.count(kNumber), std::size_t(1));
    QCOMPARE(m_desk->store.rows[kNumber].barcodeMade, "是"_gbk);
    QCOMPARE(readWholeFile(elsewhere), std::optional<std::string>("untouched"));
    QVERIFY(!std::filesystem::is_symlink(toNativePath(pictureList())));
    QCOMPARE(readWholeFile(pictureList()), std::optional<std::string>(picturePath() + "\r\n"));
    if (pictureWritten)
        QCOMPARE(readWholeFile(picturePath())->substr(0, 4), std::string("\x01\0\0\0", 4));
    QVERIFY(m_desk->view.closed);
    QVERIFY(!m_addin->isWaitingForSave());
}

void AddinRegistrationTest::pictureThatFailsItsCheckHandsNothingBack()
{
    // The encoder draws a truncated payload: the add-in must not get it.
    m_desk->launcher.onStart([](const FakeProcessLauncher::Start&) {
        const std::string handedOver = *readWholeFile(AppPaths::besideProgram("TxtTemp.txt"));
        writeWholeFile(AppPaths::besideProgram("TempPdf.bmp"), symbolBitmap(handedOver.substr(0, 20)));
        for (const char* name : {"TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
            writeWholeFile(AppPaths::besideProgram(name), "x");
    });
    QVERIFY(writeWholeFile(pictureList(), "an earlier run's picture\r\n"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^条码自检失败，发文号 档发〔2026〕3号：")));
    confirmAndPickUp();

    QVERIFY(m_desk->prompter.texts().value(0).startsWith(QStringLiteral("条码自检失败\r\n")));
    QCOMPARE(readWholeFile(pictureList()), std::optional<std::string>("an earlier run's picture\r\n"));
    QVERIFY(!fileExists(picturePath()));
    QVERIFY(!m_desk->view.closed);
    QVERIFY(m_desk->store.rows.empty());
    QCOMPARE(m_desk->view.list.numbers(), std::vector<GbkString>{kNumber});
    QCOMPARE(m_desk->view.list.rows[0].record.barcodeMade, GbkString());
}

QTEST_GUILESS_MAIN(AddinRegistrationTest)
#include "AddinRegistrationTest.moc"

// An add-in start end to end, run as the program runs it: the word
// processor's text in doctotxt.txt and a document path on the command line;
// the clerk presses Enter; out come the registration, the picture, its path
// in tempicpos.txt and the end of the run.
#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessList.h"
#include "TestDatabase.h"
#include "db/RegisterStatements.h"
#include "desk/AddinRegistrationDialog.h"
#include "desk/DeskControllers.h"
#include "desk/DeskRun.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "printing/ExcelService.h"
#include "settings/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

using namespace regdesk;
using Dialog = AddinRegistrationDialog;

namespace {

const QString kYear = QString::number(QDate::currentDate().year());
const QString kNumber = QStringLiteral("档发〔%1〕1号").arg(kYear);
const QString kTitle = QStringLiteral("市档案局文件%1市档案局关于加强档案管理的通知").arg(kNumber);

// Runs the desk as main() does. Once the compact form shows the document's
// title, `clerk` acts on it; a form still open after two minutes is closed,
// so a broken run fails instead of hanging.
int runWithClerk(test::FakePrompter& prompter, const DeskSeams& seams, const std::function<void(Dialog&)>& clerk)
{
    QTimer::singleShot(0, [&clerk] {
        Dialog* form = nullptr;
        if (!QTest::qWaitFor(
                [&form] { return (form = qobject_cast<Dialog*>(QApplication::activeModalWidget())) != nullptr; },
                30000))
            return;
        QTimer::singleShot(120000, form, [form] { form->reject(); });
        auto* title = qobject_cast<QLineEdit*>(form->control(Dialog::TitleEdit));
        if (QTest::qWaitForWindowActive(form) && QTest::qWaitFor([title] { return title->text() == kTitle; }))
            clerk(*form);
        else
            form->reject();
    });
    return runDesk(prompter, seams);
}

} // namespace

class AddinStoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void documentIsRegisteredAndHandedBack();
    void closingBeforeThePickUpHandsNothingBack();
    void f1OpensTheGuideAtTheCompactFormsChapter();

private:
    GbkString pictureList() const { return AppPaths::besideProgram("tempicpos.txt"); }

    std::unique_ptr<test::TestDatabase> m_db;
    GbkString m_output;
    ExcelService m_excel; // the compact form prints no list
};

void AddinStoryTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
    test::TempDeskFolder& folder = m_db->folder();
    m_output = joinPath(folder.gbkPath(), "二维码"_gbk);
    folder.writeSettings(
        "[发文型式]\n1=档发\n[发文种类]\n1=通知\n[发文设置]\n发文单位=市档案局\n制码单位=市档案局办公室\n"
        "二维码输出位置=" +
        gbkToUtf8(m_output) +
        "\n制码号固定标识=DA\n制码号固定位数=2\n制码号年度位数=2\n制码号流水位数=4\n"
        "[PDF]\nECCPercent=40\nAspect=1:2\nWidth=100\nHeight=40\n");
    folder.writeFile(QStringLiteral("doctotxt.txt"),
                     utf8ToGbk("市档案局文件\r\n" + kNumber.toStdString() +
                               "\r\n市档案局关于加强\r\n档案管理的通知\r\n各科室：\r\n　　现将有关事项通知如下。\r\n"));
    // An add-in start: the document's path follows the program on the command line.
    folder.useAsProgramDirectory(" " + joinPath(folder.gbkPath(), "通知.docx"_gbk));
}

void AddinStoryTest::cleanup()
{
    m_db.reset();
}

void AddinStoryTest::documentIsRegisteredAndHandedBack()
{
    if (!std::filesystem::exists(REGDESK_PDF417_PROGRAM))
        QSKIP("the pdf417 program is not built");
    std::filesystem::copy_file(REGDESK_PDF417_PROGRAM, toNativePath(AppPaths::besideProgram("pdf417")));
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    test::FakeDesktopOpener opener;

    const int status = runWithClerk(m_db->prompter(), {launcher, processes, clock, opener, m_excel}, [](Dialog& form) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &form, Qt::Key_Return);
    });
    // The run has ended: the form closed by itself after the pick-up.
    QCOMPARE(status, 0);
    AdoDatabase::setActiveConnection(m_db->database().connection());

    QCOMPARE(m_db->prompter().texts(), QStringList{});
    QCOMPARE(test::TestDatabase::rowsOf(RegisterStatements::outgoingTable()),
             (std::vector<std::pair<GbkString, GbkString>>{{fromQString(kNumber), fromQString(kTitle)}}));
    const GbkString picture = joinPath(m_output, fromQString(kNumber) + ".emf");
    const std::optional<std::string> pictureBytes = readWholeFile(picture);
    QVERIFY(pictureBytes && !pictureBytes->empty());
    QCOMPARE(readWholeFile(pictureList()), std::optional<std::string>(picture + "\r\n"));
    QVERIFY(!fileExists(AppPaths::besideProgram("doctotxt.txt")));
    QVERIFY(opener.openedFolders().empty());
}

void AddinStoryTest::closingBeforeThePickUpHandsNothingBack()
{
    QVERIFY(writeWholeFile(pictureList(), "earlier run\r\n"));
    // An encoder that never finishes: the form closes while it waits.
    test::FakeProcessLauncher launcher;
    launcher.endAtOnce(false);
    test::FakeProcessList processes;
    test::FakeClock clock;
    test::FakeDesktopOpener opener;

    const int status =
        runWithClerk(m_db->prompter(), {launcher, processes, clock, opener, m_excel}, [&launcher](Dialog& form) {
            QTest::keyClick(form.control(Dialog::UrgencyCombo), Qt::Key_Return);
            if (launcher.starts().size() == 1)
                form.close();
        });
    QCOMPARE(status, 0);
    AdoDatabase::setActiveConnection(m_db->database().connection());

    QCOMPARE(launcher.starts().size(), std::size_t(1));
    QVERIFY(test::TestDatabase::rowsOf(RegisterStatements::outgoingTable()).empty());
    QCOMPARE(readWholeFile(pictureList()), std::optional<std::string>("earlier run\r\n"));
    QVERIFY(!fileExists(AppPaths::besideProgram("doctotxt.txt")));
}

void AddinStoryTest::f1OpensTheGuideAtTheCompactFormsChapter()
{
    QVERIFY(QDir(m_db->folder().path()).mkdir(QStringLiteral("guide")));
    m_db->folder().writeFile(QStringLiteral("guide/addin.html"), "<html></html>");
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    test::FakeDesktopOpener opener;

    runWithClerk(m_db->prompter(), {launcher, processes, clock, opener, m_excel}, [&opener](Dialog& form) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &form, Qt::Key_F1);
        if (opener.openedFiles().size() == 1)
            form.reject(); // nothing is registered
    });
    AdoDatabase::setActiveConnection(m_db->database().connection());
    QCOMPARE(opener.openedFiles(),
             std::vector<GbkString>{joinPath(AppPaths::programsFolder(), "guide/addin.html"_gbk)});
    QCOMPARE(m_db->prompter().texts(), QStringList{});
    QVERIFY(test::TestDatabase::rowsOf(RegisterStatements::outgoingTable()).empty());
}

QTEST_MAIN(AddinStoryTest)
#include "AddinStoryTest.moc"

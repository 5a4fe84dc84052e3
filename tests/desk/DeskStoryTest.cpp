// The whole desk wired as the program wires it, driven as a clerk drives it:
// a document registered outgoing with the real encoder, then its barcode
// scanned back in as an incoming registration; and the full form's buttons
// for maintenance, the title catalogue, the personnel import and the query
// window with its Excel list, files attached to list rows, and F1's guide.
#include "FakeDesktopOpener.h"
#include "FlatOdsReader.h"
#include "IntakeFixtures.h"
#include "PictureDecoder.h"
#include "SerialPortFixture.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "barcode/EncoderHandoff.h"
#include "db/AdoRecordset.h"
#include "db/DatabaseMaintenance.h"
#include "db/RegisterStatements.h"
#include "desk/DeskStartup.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationDesk.h"
#include "desk/RegistrationDialog.h"
#include "people/CompletionEdit.h"
#include "platform/Clock.h"
#include "platform/ControlLookup.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "printing/ExcelService.h"
#include "query/QueryDialog.h"
#include "settings/AppPaths.h"
#include "settings/UserGuide.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

using namespace regdesk;
using Dialog = RegistrationDialog;

namespace {

const int kYear = QDate::currentDate().year();

// The fourteen metadata columns and 条码已打 of a registered number.
QStringList registeredRow(const GbkString& table, const GbkString& number)
{
    AdoRecordset records;
    QStringList row;
    if (!records.openQuery(RegisterStatements::completeByColumn(table, "发文号"_gbk, number)))
        return row;
    for (records.moveFirst(); !records.isEof(); records.moveNext()) {
        if (records.fieldText("发文号"_gbk) != number)
            continue;
        for (int column = 0; column <= DocumentRecord::MetadataFields; ++column)
            row << toQString(records.fieldText(column));
        break;
    }
    return row;
}

} // namespace

class DeskStoryTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void documentGoesOutAndComesBackIn();
    void compactionKeepsTheDeskWorking();
    void backupIsNamedFromTheDocumentDate();
    void failedReconnectClosesTheForm();
    void titlesArePrintedFromTheList();
    void importedPeopleAreOfferedAtOnce();
    void doubleClickedRowSavesItsFile();
    void queryWindowFindsAndPrintsTheList();
    void f1OpensTheGuideAtEachWindowsChapter();
    void droppedPdfBecomesASavedIncomingRow();

private:
    template <typename T = QWidget> T* byId(int id) const { return findControl<T>(m_form.get(), id); }
    void click(int id) { QTest::mouseClick(byId<QPushButton>(id), Qt::LeftButton); }
    void choosePrefix(int index);
    // The full form and its controllers as main() makes them.
    void openDesk(test::TestDatabase& db);
    QStringList peopleOffered() const;
    void doubleClickRow(int row);
    // Clicks 收发文查询; `clerk` acts on the query window once it shows, which
    // is then closed.
    void useQueryWindow(const std::function<void(QueryDialog&)>& clerk);

    PosixProcessLauncher m_launcher;
    ProcProcessList m_processes;
    SteadyClock m_clock;
    test::FakeDesktopOpener m_opener;
    // One for the whole run, as main() keeps it.
    ExcelService m_excel{REGDESK_TEST_DATA "/fake-soffice"};
    QString m_startFolder = QDir::currentPath();
    std::unique_ptr<Dialog> m_form;
    std::unique_ptr<RegistrationDesk> m_desk;
};

void DeskStoryTest::cleanup()
{
    m_desk.reset();
    m_form.reset();
    QDir::setCurrent(m_startFolder);
}

void DeskStoryTest::openDesk(test::TestDatabase& db)
{
    m_form = std::make_unique<Dialog>();
    DeskStartup startup(db.database(), db.prompter());
    QVERIFY(startup.connect(m_form.get()));
    m_desk = std::make_unique<RegistrationDesk>(*m_form, db.database(), db.prompter(),
                                                DeskSeams{m_launcher, m_processes, m_clock, m_opener, m_excel});
    FormStart start = startup.formStart(m_form->documentDate().year());
    m_form->initialise(start);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

QStringList DeskStoryTest::peopleOffered() const
{
    QStringList names;
    const CompletionDropDown* list = m_form->drafterEdit().dropDown();
    for (int row = 0; list && row < list->rowCount(); ++row)
        names << list->cellText(row, 0);
    return names;
}

void DeskStoryTest::choosePrefix(int index)
{
    // As a clerk does it: open the list and click the item. The list closes
    // before the clicked item becomes current.
    auto* combo = byId<QComboBox>(Dialog::NumberCombo);
    combo->setFocus(Qt::MouseFocusReason);
    QSignalSpy closed(&m_form->events(), &RegistrationEvents::numberDropDownClosed);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(combo->model()->index(index, 0)).center());
    QTRY_COMPARE(closed.count(), 1);
    // The offscreen platform can leave the form inactive when the list closes.
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    // Leaving the number box proposes the next number.
    byId(Dialog::TitleEdit)->setFocus(Qt::TabFocusReason);
}

void DeskStoryTest::documentGoesOutAndComesBackIn()
{
    if (!std::filesystem::exists(REGDESK_PDF417_PROGRAM))
        QSKIP("the pdf417 program is not built");
    if (const std::string missing = test::missingRenderers(); !missing.empty())
        QSKIP(qPrintable(QStringLiteral("metafile renderers missing: ") + QString::fromStdString(missing)));

    test::TestDatabase db;
    QVERIFY(db.isOpen());
    const GbkString output = joinPath(db.folder().gbkPath(), "二维码"_gbk);
    db.folder().writeSettings("[发文型式]\n型式1=法\n型式2=民\n[发文种类]\n种类1=通知\n[主送单位]\n单位1=各庭室\n"
                              "[发文设置]\n制码单位=某某法院办公室\n发文单位=某某人民法院\n二维码输出位置=" +
                              gbkToUtf8(output) +
                              "\n制码号固定标识=FY\n制码号固定位数=2\n制码号年度位数=2\n制码号流水位数=4\n"
                              "[PDF]\nECCPercent=40\nAspect=1:2\nWidth=100\nHeight=40\n");
    std::filesystem::copy_file(REGDESK_PDF417_PROGRAM, gbkToUtf8(joinPath(db.folder().gbkPath(), "pdf417")));
    test::SerialPortFixture serial;
    QVERIFY(serial.isReady());

    // As main() does it.
    test::FakePrompter& prompter = db.prompter();
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    RegistrationDesk& desk = *m_desk;
    desk.incoming().port().setModemLines(serial.lines());
    desk.incoming().start();

    // Outgoing: number, fields, confirmation, barcode.
    click(Dialog::ModeButton);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("发文登记"));
    choosePrefix(0);
    const QString number = QStringLiteral("法〔%1〕1号").arg(kYear);
    QTRY_COMPARE(byId<QComboBox>(Dialog::NumberCombo)->currentText(), number);
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(),
             QStringLiteral("FY%1").arg(kYear - 2000) + QStringLiteral("0001"));
    byId<QLineEdit>(Dialog::TitleEdit)->setText(QStringLiteral("关于开庭安排的通知"));
    byId<QLineEdit>(Dialog::KindEdit)->setText(QStringLiteral("通知"));
    byId<QLineEdit>(Dialog::LevelEdit)->setText(QStringLiteral("公开"));
    byId<QLineEdit>(Dialog::DrafterEdit)->setText(QStringLiteral("张三"));
    byId<QComboBox>(Dialog::SecrecyCombo)->setCurrentIndex(1);
    byId<QDateEdit>(Dialog::DocumentDatePicker)->setDate(QDate(kYear, 3, 5));
    byId<QDateEdit>(Dialog::CodeDatePicker)->setDate(QDate(kYear, 3, 12));
    click(Dialog::ConfirmButton);
    QCOMPARE(m_form->registerList().rowCount(), 1);
    QCOMPARE(prompter.texts(), QStringList{});

    click(Dialog::BarcodeButton);
    const std::optional<std::string> handed = readWholeFile(AppPaths::besideProgram("TxtTemp.txt"));
    QVERIFY(handed && handed->size() > 2);
    const std::string payload = handed->substr(0, handed->size() - 2); // without CR LF
    QTRY_VERIFY_WITH_TIMEOUT(!desk.outgoing().isEncoderTimerActive(), 30000);
    QCOMPARE(prompter.texts(), QStringList{});
    const GbkString picture = joinPath(output, fromQString(number) + ".emf");
    std::string failure;
    const std::optional<std::string> decoded = test::decodeEmfPicture(toNativePath(picture), failure);
    QVERIFY2(decoded, failure.c_str());
    QCOMPARE(*decoded, *handed);
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        QVERIFY2(!fileExists(AppPaths::besideProgram(name)), name.c_str());
    QCOMPARE(m_opener.openedFolders(), std::vector<GbkString>{output});
    QCOMPARE(m_form->registerList().rowCount(), 0);
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(), QString());
    const QStringList outgoing = registeredRow(RegisterStatements::outgoingTable(), fromQString(number));
    QCOMPARE(outgoing.value(DocumentRecord::Remarks), QStringLiteral("拟稿人：张三"));
    QCOMPARE(outgoing.value(DocumentRecord::MetadataFields), QStringLiteral("是"));

    // The saved, barcoded row advances both numbers.
    choosePrefix(0);
    QTRY_COMPARE(byId<QLabel>(Dialog::LastNumberLabel)->text(), number);
    QCOMPARE(byId<QLabel>(Dialog::LastTitleLabel)->text(), QStringLiteral("关于开庭安排的通知"));
    QCOMPARE(byId<QLineEdit>(Dialog::CodeNumberEdit)->text(),
             QStringLiteral("FY%1").arg(kYear - 2000) + QStringLiteral("0002"));

    // Incoming: the same barcode arrives through the scanner and is saved.
    click(Dialog::ModeButton);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("收文登记"));
    for (std::size_t at = 0; at < payload.size(); at += 7)
        QVERIFY(serial.send(payload.substr(at, 7)));
    QTRY_COMPARE(m_form->registerList().rowCount(), 1);
    m_form->registerList().selectRow(0);
    click(Dialog::SaveButton);
    QCOMPARE(m_form->registerList().rowCount(), 0);
    QCOMPARE(prompter.texts(), QStringList{});
    const QStringList incoming = registeredRow(RegisterStatements::incomingTable(), fromQString(number));
    QCOMPARE(incoming.mid(0, DocumentRecord::Remarks), outgoing.mid(0, DocumentRecord::Remarks));
    QCOMPARE(incoming.value(DocumentRecord::MetadataFields), QString()); // no 条码已打

    m_form->reject();
    QVERIFY(!desk.incoming().port().portOpen());
}

void DeskStoryTest::compactionKeepsTheDeskWorking()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    db.folder().writeSettings("[发文种类]\n种类1=通知\n[发文设置]\n制码单位=办公室\n发文单位=某某人民法院\n");
    QVERIFY(test::TestDatabase::insertPerson("张三", "ZS"));
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    click(Dialog::ModeButton);

    click(Dialog::CompactButton);
    QCOMPARE(db.prompter().texts(), QStringList{QStringLiteral("数据压缩完成！")});
    db.prompter().clear();

    // The completion and the registers now run on the reopened connection.
    CompletionEdit& drafter = m_form->drafterEdit();
    drafter.setFocus();
    QTRY_VERIFY(drafter.hasFocus());
    QTest::keyClicks(&drafter, QStringLiteral("zs"));
    QCOMPARE(peopleOffered(), QStringList{QStringLiteral("张三")});
    QTest::keyClick(&drafter, Qt::Key_Return);

    byId<QComboBox>(Dialog::NumberCombo)->setEditText(QStringLiteral("法〔2026〕5号"));
    byId<QLineEdit>(Dialog::TitleEdit)->setText(QStringLiteral("关于压缩以后的通知"));
    byId<QLineEdit>(Dialog::CodeNumberEdit)->setText(QStringLiteral("FY260001"));
    click(Dialog::ConfirmButton);
    QCOMPARE(m_form->registerList().rowCount(), 1);
    db.prompter().willAnswer(Prompter::Answer::Ok); // 条码未生成,仍要发文登记吗？
    click(Dialog::SaveButton);
    QCOMPARE(db.prompter().texts(), QStringList{QStringLiteral("条码未生成,仍要发文登记吗？")});
    QCOMPARE(test::TestDatabase::rowsOf(RegisterStatements::outgoingTable()),
             (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕5号"_gbk, "关于压缩以后的通知"_gbk}}));
}

void DeskStoryTest::backupIsNamedFromTheDocumentDate()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    click(Dialog::ModeButton);
    byId<QDateEdit>(Dialog::DocumentDatePicker)->setDate(QDate(2024, 3, 5));

    click(Dialog::BackupButton);
    QCOMPARE(db.prompter().texts(), QStringList{QStringLiteral("首次备份")});
    QTRY_COMPARE(db.prompter().texts().size(), 2);
    QCOMPARE(db.prompter().texts().last(), QStringLiteral("数据库备份完成!"));
    const QString name = DatabaseMaintenance::backupFileName(m_form->documentDateTime());
    QVERIFY2(name.startsWith(QStringLiteral("2024年3月5日")), qPrintable(name));
    QVERIFY2(QFile::exists(db.folder().filePath(name)), qPrintable(name));
    QVERIFY(m_form->isVisible());
}

void DeskStoryTest::failedReconnectClosesTheForm()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    QSignalSpy closing(&m_form->events(), &RegistrationEvents::closing);
    // The register goes away while the clerk reads the message.
    db.prompter().onAsk([&db](const Prompter::Message& message) {
        if (message.text == QStringLiteral("数据压缩完成！"))
            QFile::rename(db.folder().filePath(QStringLiteral("data.db")),
                          db.folder().filePath(QStringLiteral("gone")));
    });
    click(Dialog::CompactButton);
    QVERIFY(db.prompter().texts().contains(QStringLiteral("连接服务器失败，请重新配置！")));
    QCOMPARE(closing.count(), 1);
    QVERIFY(!m_form->isVisible());
}

void DeskStoryTest::titlesArePrintedFromTheList()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    const GbkString output = joinPath(db.folder().gbkPath(), "输出"_gbk);
    db.folder().writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(output) + "\n[自定义排序]\n办=01\n法=02\n");
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    RegisterListModel& model = m_form->registerList().listModel();
    model.appendRow({"法〔2026〕7号"_gbk, "关于甲的通知"_gbk});
    model.appendRow({"办〔2026〕3号"_gbk, "关于乙的通知"_gbk});
    m_form->registerList().selectRow(0);

    click(Dialog::PrintTitlesButton);
    const GbkString catalogue = joinPath(output, "打印标题.txt"_gbk);
    QCOMPARE(db.prompter().texts(), QStringList{QStringLiteral("已输出到") + toQString(catalogue)});
    QCOMPARE(readWholeFile(catalogue), std::optional<std::string>("文  件  目  录\r\n\r\n1.关于甲的通知\r\n"_gbk));
    QCOMPARE(toQString(model.cellText(0, 0)), QStringLiteral("办〔2026〕3号"));
}

void DeskStoryTest::importedPeopleAreOfferedAtOnce()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    QVERIFY(test::TestDatabase::insertPerson("张三", "ZS"));
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(peopleOffered(), QStringList{QStringLiteral("张三")});
    // A sheet saved as text: the first line names the column, one name a line.
    db.folder().writeFile(QStringLiteral("人员.txt"), "姓名\r\n王五\r\n欧阳\r\n"_gbk);
    db.prompter().willChooseFile(db.folder().filePath(QStringLiteral("人员.txt")));

    click(Dialog::ImportPeopleButton);
    QCOMPARE(peopleOffered(), (QStringList{QStringLiteral("王五"), QStringLiteral("欧阳")}));
}

void DeskStoryTest::doubleClickRow(int row)
{
    RegisterListCtrl& list = m_form->registerList();
    const QPoint cell = list.visualRect(list.listModel().index(row, 1)).center();
    // The view takes a double click only on the row that the first click pressed.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell);
}

void DeskStoryTest::useQueryWindow(const std::function<void(QueryDialog&)>& clerk)
{
    QTimer::singleShot(0, [&clerk] {
        QueryDialog* window = nullptr;
        if (QTest::qWaitFor([&window] {
                return (window = qobject_cast<QueryDialog*>(QApplication::activeModalWidget())) != nullptr;
            }))
            clerk(*window);
        if (window)
            window->reject();
    });
    click(Dialog::QueryButton);
}

void DeskStoryTest::doubleClickedRowSavesItsFile()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    const std::string bytes("\xD5\xC5\0\r\n\xFF", 6);
    db.folder().writeFile(QStringLiteral("来文.bin"), bytes);
    const QString chosen = db.folder().filePath(QStringLiteral("来文.bin"));
    const GbkString missing = joinPath(db.folder().gbkPath(), "不在了.doc"_gbk);
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    click(Dialog::ModeButton);
    RegistrationView& view = *m_form;
    view.rows().append(test::registerRow("法〔2026〕1号"_gbk));
    DocumentRecord typed = test::registerRow("法〔2026〕2号"_gbk);
    typed.attachmentPath = missing; // as typed into 文件位置 with 局部修改
    view.rows().append(typed);

    // While cells are edited, a double click is the cell editor's.
    db.prompter().willChooseFile(chosen);
    click(Dialog::CellEditButton);
    doubleClickRow(0);
    click(Dialog::CellEditButton);
    RegisterListModel& model = m_form->registerList().listModel();
    QCOMPARE(toQString(model.cellText(0, 16)), QString());
    doubleClickRow(0);
    QCOMPARE(toQString(model.cellText(0, 16)), chosen);
    QCOMPARE(model.itemValue(0), RegisterListModel::kBlue);

    m_form->registerList().selectRow(0);
    m_form->registerList().selectRow(1, true);
    click(Dialog::SaveButton);
    QCOMPARE(db.prompter().texts().size(), 1);
    const QString told = db.prompter().texts().front();
    QVERIFY2(told.startsWith(QStringLiteral("附件没有保存：") + toQString(missing) + QLatin1Char('\n')),
             qPrintable(told));
    QCOMPARE(m_form->registerList().rowCount(), 0);
    QCOMPARE(test::TestDatabase::rowsOf(RegisterStatements::outgoingTable()).size(), 2u);

    QSqlQuery stored(QSqlDatabase::database(AdoDatabase::activeConnection()->name()));
    QVERIFY(stored.exec(QStringLiteral("SELECT 发文号, 文件类型, 文件数据 FROM 发文登记表 ORDER BY 发文号")));
    QVERIFY(stored.next());
    QCOMPARE(stored.value(1).toString(), QStringLiteral("bin"));
    QCOMPARE(stored.value(2).toByteArray(), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    QVERIFY(stored.next());
    QCOMPARE(stored.value(1).toString(), QString()); // no type without its bytes
    QVERIFY(stored.value(2).isNull());
}

void DeskStoryTest::queryWindowFindsAndPrintsTheList()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    db.folder().writeSettings("[自定义排序]\n每页行数=20\n");
    // The list's template and the list itself are in the current folder.
    db.folder().writeFile(
        QStringLiteral("收文清单.xlt"),
        readWholeFile(fromNativePath(REGDESK_TEST_DATA "/list/repeats.fods")).value_or(std::string()));
    QVERIFY(QDir::setCurrent(db.folder().path()));
    QVERIFY(test::TestDatabase::insertOutgoing(test::registerRow("法〔2026〕3号"_gbk, "关于甲的通知"_gbk)));
    QVERIFY(test::TestDatabase::insertOutgoing(test::registerRow("法〔2026〕4号"_gbk, "关于乙的通知"_gbk)));
    openDesk(db);
    if (QTest::currentTestFailed())
        return;

    QStringList found;
    const auto printFirstHit = [&found](QueryDialog& window) {
        QTest::mouseClick(qobject_cast<QRadioButton*>(window.control(QueryDialog::OutgoingRadio)), Qt::LeftButton);
        qobject_cast<QLineEdit*>(window.control(QueryDialog::FuzzyEdit))->setText(QStringLiteral("甲"));
        QTest::mouseClick(qobject_cast<QPushButton*>(window.control(QueryDialog::FuzzyButton)), Qt::LeftButton);
        RegisterListCtrl& list = window.registerList();
        for (int row = 0; row < list.rowCount(); ++row)
            found << toQString(list.listModel().cellText(row, 0));
        list.selectRow(0);
        QTest::mouseClick(qobject_cast<QPushButton*>(window.control(QueryDialog::ExcelButton)), Qt::LeftButton);
    };
    useQueryWindow(printFirstHit);
    QCOMPARE(found, QStringList{QStringLiteral("法〔2026〕3号")});
    const GbkString printed = joinPath(db.folder().gbkPath(), "收文清单.xls"_gbk);
    QCOMPARE(m_opener.openedFiles(), std::vector<GbkString>{printed});
    const test::FlatOdsReader list(readWholeFile(printed).value_or(std::string()));
    QCOMPARE(QString::fromStdString(list.cell("第1页", 5, 2).text), QStringLiteral("法〔2026〕3号"));
    QVERIFY(m_form->isVisible());

    // A second opening prints again without converting the template again.
    useQueryWindow(printFirstHit);
    QCOMPARE(m_opener.openedFiles().size(), 2u);
    QCOMPARE(m_excel.templateConversions(), 1);
    QCOMPARE(db.prompter().texts(), QStringList{});
}

void DeskStoryTest::f1OpensTheGuideAtEachWindowsChapter()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    QVERIFY(QDir(db.folder().path()).mkdir(QStringLiteral("guide")));
    for (const char* page : {"form.html", "query.html"})
        db.folder().writeFile(QStringLiteral("guide/") + QString::fromUtf8(page), "<html></html>");
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    const GbkString guide = joinPath(AppPaths::programsFolder(), "guide"_gbk);
    // The opener is the whole run's: only what this story opens counts.
    const auto openedNow = [this, before = m_opener.openedFiles().size()] {
        return std::vector<GbkString>(m_opener.openedFiles().begin() + static_cast<std::ptrdiff_t>(before),
                                      m_opener.openedFiles().end());
    };

    // In cell editing, too: F1 is the form's wherever the focus is.
    click(Dialog::CellEditButton);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_form->registerList().setFocus();
    QTRY_VERIFY(m_form->registerList().hasFocus());
    QTest::keyClick(&m_form->registerList(), Qt::Key_F1);
    QCOMPARE(openedNow(), std::vector<GbkString>{joinPath(guide, "form.html"_gbk)});

    useQueryWindow([](QueryDialog& window) { QTest::keyClick(window.control(QueryDialog::FuzzyEdit), Qt::Key_F1); });
    QCOMPARE(openedNow(),
             (std::vector<GbkString>{joinPath(guide, "form.html"_gbk), joinPath(guide, "query.html"_gbk)}));
    QCOMPARE(db.prompter().texts(), QStringList{});
}

void DeskStoryTest::droppedPdfBecomesASavedIncomingRow()
{
    test::TestDatabase db;
    QVERIFY(db.isOpen());
    const GbkString payload = test::trickyPayload("京收〔2026〕9号"_gbk);
    const QString pdf = db.folder().filePath(QStringLiteral("来文.pdf"));
    QVERIFY(test::writeBytes(pdf, test::pdfOfPages({{test::symbolImage(payload)}})));
    openDesk(db);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_form->windowTitle(), QStringLiteral("收文登记"));
    // Dropped from the file manager over a field, which takes no files itself.
    const auto drop = [this, &pdf] {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(pdf)});
        QWidget* field = byId(Dialog::TitleEdit);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &dropped);
        QVERIFY(dropped.isAccepted());
    };
    drop();
    QTRY_COMPARE(m_form->registerList().rowCount(), 1);
    QCOMPARE(byId<QLineEdit>(Dialog::TitleEdit)->text(), QString()); // the fields stay as they are
    m_form->registerList().selectRow(0);
    click(Dialog::SaveButton);
    QCOMPARE(db.prompter().texts(), QStringList{});
    const QStringList saved = registeredRow(RegisterStatements::incomingTable(), "京收〔2026〕9号"_gbk);
    QCOMPARE(saved.value(DocumentRecord::Title), toQString("關於"_gbk + "\x85\x5E\x81\x7C" + "的通知"_gbk));

    // In 发文登记 a drop is refused with a word.
    click(Dialog::ModeButton);
    drop();
    QTRY_COMPARE(db.prompter().texts(), QStringList{QStringLiteral("发文登记时不能收文，请先切换到收文登记。")});
    QCOMPARE(m_form->registerList().rowCount(), 0);
}

QTEST_MAIN(DeskStoryTest)
#include "DeskStoryTest.moc"

// The scanner inside the full registration form: scans become list rows.
#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeModemLines.h"
#include "FakeProcessLauncher.h"
#include "FakePrompter.h"
#include "PseudoTerminal.h"
#include "TempDeskFolder.h"
#include "TestPayload.h"
#include "barcode/BarcodePayload.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationDialog.h"
#include "desk/RegistrationFormLogic.h"
#include "platform/GbkQt.h"
#include "platform/QtPrompter.h"
#include "scanner/IncomingScanner.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <memory>

using namespace regdesk;
using regdesk::test::FakeModemLines;
using regdesk::test::FakePrompter;
using regdesk::test::PseudoTerminal;

namespace {

const QByteArray kPortVariable = "REGDESK_COM1";

QString scannedQuestion(const GbkString& number)
{
    return QStringLiteral("发文号%1的文件已扫描，请确认是否继续?").arg(toQString(number));
}

QString registeredQuestion(const GbkString& number)
{
    return QStringLiteral("发文号%1的文件已登记，请确认是否继续?").arg(toQString(number));
}

// The register row of a number as the database holds it: the fourteen
// metadata columns and 条码已打.
QStringList registeredRow(const GbkString& table, const GbkString& number)
{
    static const char* const kColumns[] = {"发文号",   "标题",     "密级",     "文种",     "主送",
                                           "发布层次", "发文单位", "紧急程度", "成文日期", "制码号",
                                           "制码单位", "制码时间", "版本",     "备注",     "条码已打"};
    AdoRecordset records;
    QStringList row;
    if (!records.openQuery(RegisterStatements::completeByColumn(table, "发文号"_gbk, number)))
        return row;
    for (records.moveFirst(); !records.isEof(); records.moveNext()) {
        if (records.fieldText("发文号"_gbk) != number)
            continue;
        for (const char* column : kColumns)
            row << toQString(records.fieldText(utf8ToGbk(column)));
        break;
    }
    return row;
}

bool visibleMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) && widget->isVisible())
            return true;
    }
    return false;
}

} // namespace

class IncomingScannerGuiTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pty = std::make_unique<PseudoTerminal>();
        QVERIFY(m_pty->isOpen());
        qputenv(kPortVariable.constData(), m_pty->devicePath().toLocal8Bit());
        m_folder = std::make_unique<test::TempDeskFolder>();
        QVERIFY(m_folder->createDatabase());
        m_folder->useAsProgramDirectory();
        m_lines = std::make_shared<FakeModemLines>();
    }

    void cleanup()
    {
        m_outgoing.reset();
        m_scanner.reset();
        m_form.reset();
        AdoDatabase::setActiveConnection(nullptr);
        m_database.reset();
        m_prompter.reset();
        m_folder.reset();
        m_pty.reset();
        qunsetenv(kPortVariable.constData());
    }

    void scanInSmallChunksBecomesTheSendingRow()
    {
        openForm();
        dateEdit().setDate(QDate(2024, 3, 5));
        const DocumentRecord sent = test::sampleOutgoingRow("京法〔2024〕21号"_gbk);
        const GbkString payload = BarcodePayload::buildPayload(sent);
        for (std::size_t at = 0; at < payload.size(); at += 4) {
            const std::string chunk = payload.substr(at, 4);
            const std::size_t before = receiveText().size();
            QVERIFY(m_pty->write(chunk));
            if (at + 4 < payload.size()) {
                QTRY_COMPARE(receiveText().size(), before + chunk.size());
                QCOMPARE(list().rowCount(), 0);
            }
        }
        QTRY_COMPARE(list().rowCount(), 1);
        for (int column = 0; column < DocumentRecord::Remarks; ++column)
            QCOMPARE(toQString(cell(0, column)), toQString(sent.fields[column]));
        QCOMPARE(cell(0, DocumentRecord::Remarks), std::string("20240305"));
        for (int column = DocumentRecord::Remarks + 1; column < list().columnCount(); ++column)
            QVERIFY(cell(0, column).empty());
        QVERIFY(receiveText().empty());
        QVERIFY(m_prompter->shown().empty());
        // The scan does not touch the form's fields.
        QVERIFY(m_form->fields().number.empty());
    }

    void textStartingWithTheEndMarkAddsNothing()
    {
        openForm();
        QVERIFY(m_pty->write("^|"));
        QTRY_COMPARE(receiveText(), std::string("^|"));
        QCoreApplication::processEvents();
        QCOMPARE(list().rowCount(), 0);
    }

    void bytesAfterTheEndMarkAreDiscarded()
    {
        openForm();
        const DocumentRecord sent = test::sampleOutgoingRow("A-7");
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(sent) + "tail^junk"));
        QTRY_COMPARE(list().rowCount(), 1);
        QCOMPARE(cell(0, DocumentRecord::Number), std::string("A-7"));
        QCOMPARE(cell(0, DocumentRecord::Version), std::string("GB0626-2005"));
        QCoreApplication::processEvents();
        QCOMPARE(list().rowCount(), 1);
        QVERIFY(receiveText().find("tail") == std::string::npos);
    }

    void scanningTwiceAsks()
    {
        openForm();
        const DocumentRecord sent = test::sampleOutgoingRow("B-8");
        const GbkString payload = BarcodePayload::buildPayload(sent);
        QVERIFY(m_pty->write(payload));
        QTRY_COMPARE(list().rowCount(), 1);

        m_prompter->willAnswer(Prompter::Answer::Cancel);
        QVERIFY(m_pty->write(payload));
        QTRY_COMPARE(m_prompter->texts(), QStringList{scannedQuestion("B-8")});
        QCOMPARE(m_prompter->shown()[0].owner, m_form.get());
        QCOMPARE(m_prompter->captions(), QStringList{QStringLiteral("系统提示")});
        QCoreApplication::processEvents();
        QCOMPARE(list().rowCount(), 1);

        m_prompter->willAnswer(Prompter::Answer::Ok);
        QVERIFY(m_pty->write(payload));
        QTRY_COMPARE(list().rowCount(), 2);
        QCOMPARE(m_prompter->texts().size(), 2);
        QCOMPARE(list().listModel().rowCells(1), list().listModel().rowCells(0));
    }

    void savedNumberAsks()
    {
        openForm();
        const DocumentRecord sent = test::sampleOutgoingRow("C-9");
        AdoRecordset insert;
        QVERIFY(insert.openQuery(RegisterStatements::insertIncoming(RegisterStatements::incomingTable(), sent)));

        m_prompter->willAnswer(Prompter::Answer::Cancel);
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(sent)));
        QTRY_COMPARE(m_prompter->texts(), QStringList{registeredQuestion("C-9")});
        QCoreApplication::processEvents();
        QCOMPARE(list().rowCount(), 0);

        m_prompter->willAnswer(Prompter::Answer::Ok);
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(sent)));
        QTRY_COMPARE(list().rowCount(), 1);
        QCOMPARE(m_prompter->texts().size(), 2);
    }

    void outgoingModeTakesNoScan()
    {
        openForm();
        QVERIFY(m_scanner->port().portOpen());
        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(m_form->isOutgoingMode());
        QVERIFY(!m_scanner->port().portOpen());
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(test::sampleOutgoingRow("D-1"))));
        QCoreApplication::processEvents();
        QVERIFY(receiveText().empty());
        QCOMPARE(list().rowCount(), 0);

        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(!m_form->isOutgoingMode());
        QVERIFY(m_scanner->port().portOpen());
        QVERIFY(m_prompter->shown().empty()); // the way back does not look at DSR
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(test::sampleOutgoingRow("D-2"))));
        QTRY_COMPARE(list().rowCount(), 1);
        QCOMPARE(cell(0, DocumentRecord::Number), std::string("D-2"));
    }

    void closingTheFormClosesThePort()
    {
        openForm();
        QVERIFY(m_scanner->port().portOpen());
        m_form->reject();
        QVERIFY(!m_scanner->port().portOpen());
        QVERIFY(!m_scanner->port().deviceOpen());
    }

    void dsrNoticesRunOnTheFormsTimers()
    {
        openForm();
        QVERIFY(m_scanner->scanner().scannerReady());
        QList<bool> timer3, timer4;
        m_prompter->onAsk([&](const Prompter::Message&) {
            timer3 << m_form->isDeskTimerActive(RegistrationDialog::PortNoticeTimer);
            timer4 << m_form->isDeskTimerActive(RegistrationDialog::PortRecoveryTimer);
        });

        m_lines->setDataSetReady(false);
        QTRY_COMPARE(m_prompter->texts(), QStringList{QStringLiteral("串口设备问题")});
        QCOMPARE(m_prompter->shown()[0].owner, m_form.get());
        QCOMPARE(m_prompter->shown()[0].message.caption, QStringLiteral("硬件提示"));
        QCOMPARE(timer3, QList<bool>{true});
        QVERIFY(!m_scanner->scanner().scannerReady());
        QTRY_COMPARE(m_prompter->closedCaptions(), QStringList{QStringLiteral("硬件提示")});
        QVERIFY(!m_form->isDeskTimerActive(RegistrationDialog::PortNoticeTimer));

        m_lines->setDataSetReady(true);
        QTRY_COMPARE(m_prompter->texts().size(), 2);
        QCOMPARE(m_prompter->texts()[1], QStringLiteral("串口已恢复"));
        QCOMPARE(timer4.value(1), true);
        QVERIFY(m_scanner->scanner().scannerReady());
        QTRY_COMPARE(m_prompter->closedCaptions().size(), 2);
        QVERIFY(!m_form->isDeskTimerActive(RegistrationDialog::PortRecoveryTimer));
        QVERIFY(m_scanner->port().portOpen());
    }

    void noticeAtStartClosesItselfAndTheFormGoesOn()
    {
        // A real box: the form's timer 3 must close it for the start-up to go on.
        m_lines->setDataSetReady(false);
        QtPrompter prompter;
        m_database = std::make_unique<AdoDatabase>(prompter);
        m_form = std::make_unique<RegistrationDialog>(*m_database, prompter);
        m_scanner = std::make_unique<IncomingScanner>(*m_form, prompter);
        m_scanner->port().setModemLines(m_lines);
        bool boxSeen = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] { boxSeen = boxSeen || visibleMessageBox(); });
        watcher.start(50);
        m_form->show(); // initialises, showing the notice until timer 3 closes it
        QTRY_VERIFY_WITH_TIMEOUT(AdoDatabase::activeConnection() != nullptr, 8000);
        QTRY_VERIFY_WITH_TIMEOUT(list().columnCount() == 17, 8000);
        QVERIFY(boxSeen);
        QTRY_VERIFY(!visibleMessageBox());
        QVERIFY(!m_scanner->scanner().scannerReady());
        QVERIFY(!m_form->isDeskTimerActive(RegistrationDialog::PortNoticeTimer));
        QVERIFY(m_form->isVisible());
        // Outgoing work is not hindered.
        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(m_form->isOutgoingMode());
        m_form->reject();
        m_scanner.reset();
        m_form.reset();
    }

    void missingPortIsReportedOnceAndTheFormStaysUsable()
    {
        qputenv(kPortVariable.constData(), m_folder->filePath(QStringLiteral("no-such-port")).toLocal8Bit());
        openForm(/*expectQuiet=*/false);
        QCOMPARE(m_prompter->texts(), QStringList{QStringLiteral("串口设备问题")});
        QTRY_COMPARE_WITH_TIMEOUT(m_prompter->closedCaptions().size(), 1, 6000);
        m_form->button(RegistrationDialog::ModeButton).click();
        m_form->button(RegistrationDialog::ModeButton).click();
        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(m_form->isOutgoingMode());
        QCOMPARE(m_prompter->texts().size(), 1);
    }

    void savedScanGoesIntoTheIncomingRegister()
    {
        openForm();
        attachOutgoingWork();
        dateEdit().setDate(QDate(2024, 3, 5));
        const DocumentRecord sent = test::sampleOutgoingRow("京法〔2024〕31号"_gbk);
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(sent)));
        QTRY_COMPARE(list().rowCount(), 1);
        list().selectRow(0);
        m_form->button(RegistrationDialog::SaveButton).click();
        QCOMPARE(list().rowCount(), 0);
        QVERIFY(m_prompter->shown().empty());

        const QStringList saved = registeredRow(RegisterStatements::incomingTable(), sent[DocumentRecord::Number]);
        QCOMPARE(saved.size(), 15);
        for (int column = 0; column < DocumentRecord::Remarks; ++column)
            QCOMPARE(saved[column], toQString(sent.fields[column]));
        QCOMPARE(saved[DocumentRecord::Remarks], QStringLiteral("20240305"));
        QCOMPARE(saved[RegistrationFormLogic::kBarcodeMadeColumn], QString()); // no 条码已打
        QVERIFY(registeredRow(RegisterStatements::outgoingTable(), sent[DocumentRecord::Number]).isEmpty());

        // Scanned again, the saved number asks.
        m_prompter->willAnswer(Prompter::Answer::Cancel);
        QVERIFY(m_pty->write(BarcodePayload::buildPayload(sent)));
        QTRY_COMPARE(m_prompter->texts(), QStringList{registeredQuestion(sent[DocumentRecord::Number])});
        QCOMPARE(list().rowCount(), 0);
    }

    void outgoingBarcodeScannedBackGivesTheSameFields()
    {
        m_folder->writeSettings("[发文型式]\n型式1=法\n[发文种类]\n种类1=通知\n[主送单位]\n单位1=各庭室\n"
                                "[发文设置]\n制码单位=某某法院办公室\n发文单位=某某人民法院\n二维码输出位置=" +
                                m_folder->path().toStdString() +
                                "\n制码号固定标识=FY\n制码号固定位数=2\n制码号年度位数=2\n制码号流水位数=4\n");
        openForm();
        attachOutgoingWork();

        // Outgoing: fill the form, confirm, hand the row to the encoder.
        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(m_form->isOutgoingMode());
        auto* number = qobject_cast<QComboBox*>(m_form->control(RegistrationDialog::NumberCombo));
        number->setFocus(Qt::MouseFocusReason);
        number->setCurrentIndex(0);
        number->showPopup();
        number->hidePopup();
        auto edit = [this](int id) { return qobject_cast<QLineEdit*>(m_form->control(id)); };
        // The choice is numbered once the closed list has been handled.
        QTRY_VERIFY(!edit(RegistrationDialog::CodeNumberEdit)->text().isEmpty());
        edit(RegistrationDialog::TitleEdit)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!number->currentText().isEmpty());
        edit(RegistrationDialog::TitleEdit)->setText(QStringLiteral("关于开庭安排的通知"));
        edit(RegistrationDialog::KindEdit)->setText(QStringLiteral("通知"));
        edit(RegistrationDialog::LevelEdit)->setText(QStringLiteral("公开"));
        qobject_cast<QComboBox*>(m_form->control(RegistrationDialog::RecipientCombo))
            ->setEditText(QStringLiteral("各庭室"));
        qobject_cast<QComboBox*>(m_form->control(RegistrationDialog::SecrecyCombo))->setCurrentIndex(1);
        dateEdit().setDate(QDate(QDate::currentDate().year(), 3, 5));
        qobject_cast<QDateEdit*>(m_form->control(RegistrationDialog::CodeDatePicker))
            ->setDate(QDate(QDate::currentDate().year(), 3, 12));
        m_form->button(RegistrationDialog::ConfirmButton).click();
        QCOMPARE(list().rowCount(), 1);
        QCOMPARE(m_prompter->texts(), QStringList{});
        const GbkString documentNumber = cell(0, DocumentRecord::Number);

        list().selectRow(0);
        m_form->button(RegistrationDialog::BarcodeButton).click();
        QCOMPARE(m_prompter->texts(), QStringList{});
        QFile exchange(m_folder->filePath(QStringLiteral("TxtTemp.txt")));
        QVERIFY(exchange.open(QIODevice::ReadOnly));
        QByteArray handed = exchange.readAll();
        exchange.close();
        QVERIFY(handed.endsWith("\r\n"));
        handed.chop(2);
        // The encoder's pick-up is not part of this test: save the barcoded row by hand.
        m_form->stopDeskTimer(RegistrationDialog::EncoderTimer);
        list().selectRow(0);
        m_form->button(RegistrationDialog::SaveButton).click();
        QCOMPARE(list().rowCount(), 0);
        const QStringList outgoing = registeredRow(RegisterStatements::outgoingTable(), documentNumber);
        QCOMPARE(outgoing.size(), 15);
        QCOMPARE(outgoing[RegistrationFormLogic::kBarcodeMadeColumn], QStringLiteral("是"));

        // Incoming: the same barcode arrives through the scanner.
        m_form->button(RegistrationDialog::ModeButton).click();
        QVERIFY(!m_form->isOutgoingMode());
        for (qsizetype at = 0; at < handed.size(); at += 7)
            QVERIFY(m_pty->write(handed.mid(at, 7).toStdString()));
        QTRY_COMPARE(list().rowCount(), 1);
        list().selectRow(0);
        m_form->button(RegistrationDialog::SaveButton).click();
        QCOMPARE(list().rowCount(), 0);
        QCOMPARE(m_prompter->texts(), QStringList{});

        const QStringList incoming = registeredRow(RegisterStatements::incomingTable(), documentNumber);
        QCOMPARE(incoming.size(), 15);
        QCOMPARE(incoming.mid(0, 13), outgoing.mid(0, 13));
        QCOMPARE(incoming[DocumentRecord::Secrecy], QStringLiteral("秘密"));
        QCOMPARE(incoming[DocumentRecord::DocumentDate],
                 QString::number(QDate::currentDate().year()) + QStringLiteral("0305"));
        QCOMPARE(incoming[RegistrationFormLogic::kBarcodeMadeColumn], QString());
    }

private:
    // The outgoing work (numbering, confirmation, barcode hand-off, saving)
    // with a fake encoder program.
    void attachOutgoingWork()
    {
        m_outgoing =
            std::make_unique<OutgoingRegistration>(*m_form, m_launcher, m_realSeams.processes, m_clock, m_opener);
    }

    void openForm(bool expectQuiet = true)
    {
        m_prompter = std::make_unique<FakePrompter>();
        m_database = std::make_unique<AdoDatabase>(*m_prompter);
        m_form = std::make_unique<RegistrationDialog>(*m_database, *m_prompter);
        m_scanner = std::make_unique<IncomingScanner>(*m_form, *m_prompter);
        m_scanner->port().setModemLines(m_lines);
        m_form->show();
        QTRY_VERIFY(AdoDatabase::activeConnection() != nullptr);
        if (expectQuiet)
            QVERIFY(m_prompter->shown().empty());
    }

    RegisterListCtrl& list() const { return m_form->registerList(); }
    const GbkString& cell(int row, int column) const { return list().listModel().cellText(row, column); }
    const GbkString& receiveText() const { return m_scanner->scanner().receiveText().text(); }
    QDateEdit& dateEdit() const
    {
        return *qobject_cast<QDateEdit*>(m_form->control(RegistrationDialog::DocumentDatePicker));
    }

    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<test::TempDeskFolder> m_folder;
    std::shared_ptr<FakeModemLines> m_lines;
    std::unique_ptr<FakePrompter> m_prompter;
    std::unique_ptr<AdoDatabase> m_database;
    std::unique_ptr<RegistrationDialog> m_form;
    std::unique_ptr<IncomingScanner> m_scanner;
    test::FakeProcessLauncher m_launcher;
    test::FakeClock m_clock;
    test::FakeDesktopOpener m_opener;
    DesktopSeams m_realSeams;
    std::unique_ptr<OutgoingRegistration> m_outgoing;
};

QTEST_MAIN(IncomingScannerGuiTest)
#include "IncomingScannerGuiTest.moc"

// Incoming registration on a form without a window: the scanner port follows
// the form, and scans become rows of its list.
#include "desk/IncomingRegistration.h"

#include "FakePrompter.h"
#include "FakeRegisters.h"
#include "FakeRegistrationView.h"
#include "IntakeFixtures.h"
#include "SerialPortFixture.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"
#include "desk/FileIntake.h"
#include "platform/GbkQt.h"

#include <QTemporaryDir>
#include <QTest>

using namespace regdesk;
using namespace regdesk::test;

class IncomingRegistrationTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_serial = std::make_unique<SerialPortFixture>();
        QVERIFY(m_serial->isReady());
        m_prompter.clear();
        m_registered = FakeRegisterStore();
        m_view = std::make_unique<FakeRegistrationView>();
        m_view->date = QDate(2024, 3, 5);
        m_incoming = std::make_unique<IncomingRegistration>(*m_view, m_prompter, m_registered);
        m_incoming->port().setModemLines(m_serial->lines());
    }

    void cleanup()
    {
        m_incoming.reset();
        m_view.reset();
        m_serial.reset();
    }

    void scanBecomesARowWithTheFormsDate()
    {
        m_incoming->start();
        QVERIFY(m_incoming->port().portOpen());
        QVERIFY(m_prompter.shown().empty());
        const DocumentRecord sent = sampleOutgoingRow("京法〔2024〕21号"_gbk);
        const GbkString payload = BarcodePayload::buildPayload(sent);
        for (std::size_t at = 0; at < payload.size(); at += 5)
            QVERIFY(m_serial->send(payload.substr(at, 5)));
        QTRY_COMPARE(m_view->list.rowCount(), 1);
        const DocumentRecord& row = m_view->list.rows[0].record;
        for (int column = 0; column < DocumentRecord::Remarks; ++column)
            QCOMPARE(toQString(row.fields[column]), toQString(sent.fields[column]));
        QCOMPARE(row[DocumentRecord::Remarks], GbkString("20240305"));
        QVERIFY(m_view->form.document[DocumentRecord::Number].empty()); // the fields stay as they are

        // Scanned again: the list is asked about; the register too.
        m_registered.rows[sent[DocumentRecord::Number]] = sent;
        m_prompter.willAnswer(Prompter::Answer::Ok);
        m_prompter.willAnswer(Prompter::Answer::Cancel);
        QVERIFY(m_serial->send(payload));
        QTRY_COMPARE(m_prompter.texts().size(), 2);
        QCOMPARE(m_prompter.texts()[0], QStringLiteral("发文号京法〔2024〕21号的文件已扫描，请确认是否继续?"));
        QCOMPARE(m_prompter.texts()[1], QStringLiteral("发文号京法〔2024〕21号的文件已登记，请确认是否继续?"));
        QCOMPARE(m_view->list.rowCount(), 1);
    }

    void portFollowsTheModeAndTheClosingForm()
    {
        m_incoming->start();
        emit m_view->events().modeChanged(RegistrationMode::Outgoing);
        QVERIFY(!m_incoming->port().portOpen());
        QVERIFY(m_serial->send(BarcodePayload::buildPayload(sampleOutgoingRow("D-1"))));
        QCoreApplication::processEvents();
        QVERIFY(m_incoming->scanner().receiveText().isEmpty());

        emit m_view->events().modeChanged(RegistrationMode::Incoming);
        QVERIFY(m_incoming->port().portOpen());
        QVERIFY(m_serial->send(BarcodePayload::buildPayload(sampleOutgoingRow("D-2"))));
        QTRY_COMPARE(m_view->list.rowCount(), 1);
        QCOMPARE(m_view->list.rows[0].record[DocumentRecord::Number], GbkString("D-2"));

        emit m_view->events().closing();
        QVERIFY(!m_incoming->port().portOpen());
        QVERIFY(!m_incoming->port().deviceOpen());
        QVERIFY(m_prompter.shown().empty());
    }

    void fileGivesTheRowOfTheSameScan()
    {
        m_incoming->start();
        FileIntake files(*m_view, m_prompter, m_incoming->intake());
        QTemporaryDir folder;
        const GbkString payload = trickyPayload("京法〔2024〕22号"_gbk);
        const QString pdf = folder.filePath(QStringLiteral("来文.pdf"));
        QVERIFY(writeBytes(pdf, pdfOfPages({{symbolImage(payload)}})));
        const QString blank = folder.filePath(QStringLiteral("空白.pdf"));
        QVERIFY(writeBytes(blank, pdfOfPages({{}})));

        QVERIFY(m_serial->send(payload + "\r\n"));
        QTRY_COMPARE(m_view->list.rowCount(), 1);
        files.takeFiles({blank, pdf});
        QCOMPARE(m_view->list.rowCount(), 2);
        QVERIFY(m_view->list.rows[1].record.fields == m_view->list.rows[0].record.fields);
        // The file's number was listed already: the scan's question, answered OK by default.
        QCOMPARE(m_prompter.texts(),
                 (QStringList{QStringLiteral("文件中没有可识别的公文条码：空白.pdf"),
                              QStringLiteral("发文号京法〔2024〕22号的文件已扫描，请确认是否继续?")}));

        m_prompter.clear();
        m_view->shownMode = RegistrationMode::Outgoing;
        files.takeFiles({pdf});
        QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("发文登记时不能收文，请先切换到收文登记。")});
        QCOMPARE(m_view->list.rowCount(), 2);
    }

    void missingScannerIsReportedOnlyAtTheStart()
    {
        m_serial->unplug();
        m_incoming->start();
        QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("串口设备问题")});
        QCOMPARE(m_incoming->scanner().noticeTimerInterval(ScannerPort::kFailureNoticeTimer), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(m_prompter.closedCaptions(), QStringList{QStringLiteral("硬件提示")}, 6000);
        for (const RegistrationMode mode :
             {RegistrationMode::Outgoing, RegistrationMode::Incoming, RegistrationMode::Outgoing})
            emit m_view->events().modeChanged(mode);
        QCOMPARE(m_prompter.texts().size(), 1);
    }

private:
    std::unique_ptr<SerialPortFixture> m_serial;
    FakePrompter m_prompter;
    FakeRegisterStore m_registered;
    std::unique_ptr<FakeRegistrationView> m_view;
    std::unique_ptr<IncomingRegistration> m_incoming;
};

QTEST_GUILESS_MAIN(IncomingRegistrationTest)
#include "IncomingRegistrationTest.moc"

// The scanner port over pseudo-terminals, its notices and the intake of scans.
#include "scanner/ScannerPort.h"

#include "FakePrompter.h"
#include "FakeRegisters.h"
#include "SerialPortFixture.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"
#include "platform/GbkQt.h"
#include "platform/QtPrompter.h"
#include "scanner/CMSComm.h"
#include "scanner/IncomingList.h"
#include "scanner/ScanIntake.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

using namespace regdesk;
using regdesk::test::FakePrompter;
using regdesk::test::SerialPortFixture;

namespace {

const char* const kPortVariable = "REGDESK_COM1";

// The registration list as a plain vector of rows.
class RowList final : public IncomingList
{
public:
    int rowCount() const override { return static_cast<int>(rows.size()); }
    GbkString numberAt(int row) const override { return rows.at(row)[DocumentRecord::Number]; }
    void appendRecord(const DocumentRecord& record) override { rows.push_back(record); }

    std::vector<DocumentRecord> rows;
};

QString hardwareCaption()
{
    return QStringLiteral("硬件提示");
}

QString scannedQuestion(const QString& number)
{
    return QStringLiteral("发文号%1的文件已扫描，请确认是否继续?").arg(number);
}

QString registeredQuestion(const QString& number)
{
    return QStringLiteral("发文号%1的文件已登记，请确认是否继续?").arg(number);
}

// A port on the fixture's scanner, with DSR from the test.
struct PortOnPty
{
    PortOnPty() { port.setModemLines(serial.lines()); }

    SerialPortFixture serial;
    CMSComm port;
};

} // namespace

class ScannerPortTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv(kPortVariable); }

    // --- The port --------------------------------------------------------------

    void devicePathOfCommPort_data()
    {
        QTest::addColumn<int>("commPort");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("path");
        QTest::newRow("COM1 without variable") << 1 << QByteArray() << QByteArray() << QStringLiteral("/dev/ttyS0");
        QTest::newRow("COM3 without variable") << 3 << QByteArray() << QByteArray() << QStringLiteral("/dev/ttyS2");
        QTest::newRow("COM1 named by its variable")
            << 1 << QByteArray("REGDESK_COM1") << QByteArray("/dev/ttyUSB0") << QStringLiteral("/dev/ttyUSB0");
        QTest::newRow("bare device name lies in /dev")
            << 1 << QByteArray("REGDESK_COM1") << QByteArray("ttyACM0") << QStringLiteral("/dev/ttyACM0");
        QTest::newRow("COM2's variable does not move COM1")
            << 1 << QByteArray("REGDESK_COM2") << QByteArray("/dev/ttyUSB1") << QStringLiteral("/dev/ttyS0");
        QTest::newRow("COM2 named by its variable")
            << 2 << QByteArray("REGDESK_COM2") << QByteArray("/dev/ttyUSB1") << QStringLiteral("/dev/ttyUSB1");
        QTest::newRow("empty variable counts as unset")
            << 1 << QByteArray("REGDESK_COM1") << QByteArray("") << QStringLiteral("/dev/ttyS0");
        QTest::newRow("no COM0") << 0 << QByteArray() << QByteArray() << QString();
    }

    void devicePathOfCommPort()
    {
        QFETCH(int, commPort);
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, path);
        if (!variable.isEmpty())
            qputenv(variable.constData(), value);
        const QString actual = CMSComm::devicePath(commPort);
        if (!variable.isEmpty())
            qunsetenv(variable.constData());
        QCOMPARE(actual, path);
    }

    void settingsAreCheckedAndReachTheLine_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("twoStopBits");
        QTest::addColumn<uint>("speed");
        QTest::newRow("scanner default") << QStringLiteral("9600,n,8,1") << true << false << uint(B9600);
        QTest::newRow("even, seven bits, two stops") << QStringLiteral("19200,E,7,2") << true << true << uint(B19200);
        QTest::newRow("odd parity") << QStringLiteral("4800,o,8,1") << true << false << uint(B4800);
        QTest::newRow("mark parity, 115200") << QStringLiteral("115200,m,8,1") << true << false << uint(B115200);
        QTest::newRow("one and a half stops") << QStringLiteral("9600,n,8,1.5") << true << true << uint(B9600);
        QTest::newRow("unknown speed") << QStringLiteral("9601,n,8,1") << false << false << 0u;
        QTest::newRow("unknown parity") << QStringLiteral("9600,x,8,1") << false << false << 0u;
        QTest::newRow("nine data bits") << QStringLiteral("9600,n,9,1") << false << false << 0u;
        QTest::newRow("three stop bits") << QStringLiteral("9600,n,8,3") << false << false << 0u;
        QTest::newRow("missing part") << QStringLiteral("9600,n,8") << false << false << 0u;
        QTest::newRow("empty") << QString() << false << false << 0u;
    }

    void settingsAreCheckedAndReachTheLine()
    {
        QFETCH(QString, settings);
        QFETCH(bool, accepted);
        PortOnPty fixture;
        QVERIFY(fixture.serial.isReady());
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.port.deviceOpen());
        QCOMPARE(fixture.port.setSettings(settings), accepted);
        if (!accepted) {
            QCOMPARE(fixture.port.settings(), QStringLiteral("9600,n,8,1"));
            return;
        }
        QFETCH(bool, twoStopBits);
        QFETCH(uint, speed);
        QCOMPARE(fixture.port.settings(), settings);
        // A pseudo-terminal keeps speed, stop bits and the raw mode, but
        // forces its own character size and parity.
        const termios line = fixture.serial.scanner().deviceAttributes();
        QCOMPARE((line.c_cflag & CSTOPB) != 0, twoStopBits);
        QCOMPARE(uint(cfgetispeed(&line)), speed);
        QCOMPARE(line.c_lflag & ICANON, tcflag_t(0));
        QCOMPARE(line.c_lflag & ECHO, tcflag_t(0));
    }

    void receivedBytesRaiseReceiveEvents()
    {
        PortOnPty fixture;
        fixture.port.setRThreshold(1);
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.port.portOpen());
        QSignalSpy events(&fixture.port, &CMSComm::OnComm);
        QByteArray received;
        connect(&fixture.port, &CMSComm::OnComm, this, [&] {
            QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvReceive));
            received += fixture.port.input();
        });
        QVERIFY(fixture.serial.send("abc"));
        QTRY_COMPARE(received, QByteArray("abc"));
        QVERIFY(fixture.serial.send(std::string("d\0\xB7\xA2", 4)));
        QTRY_COMPARE(received, QByteArray("abcd\0\xB7\xA2", 7));
        QVERIFY(events.count() >= 2);
    }

    void inputTakesAtMostInputLenBytes()
    {
        PortOnPty fixture;
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.serial.send("abcdef"));
        QTRY_COMPARE(fixture.port.inBufferCount(), 6);
        fixture.port.setInputLen(4);
        QCOMPARE(fixture.port.input(), QByteArray("abcd"));
        QCOMPARE(fixture.port.input(), QByteArray("ef"));
        QCOMPARE(fixture.port.input(), QByteArray());
    }

    void fullBufferLeavesTheRestWithTheDriver()
    {
        PortOnPty fixture;
        QSignalSpy events(&fixture.port, &CMSComm::OnComm);
        fixture.port.setInBufferSize(8);
        fixture.port.setPortOpen(true);
        const QByteArray sent = "0123456789abcdefghij";
        QVERIFY(fixture.serial.send(sent.toStdString()));
        QByteArray received;
        while (received.size() < sent.size()) {
            QTRY_VERIFY(fixture.port.inBufferCount() > 0);
            QVERIFY(fixture.port.inBufferCount() <= 8);
            received += fixture.port.input();
        }
        QCOMPARE(received, sent);
        QCOMPARE(events.count(), 0); // RThreshold 0: no receive events
    }

    void closedPortTakesNothing()
    {
        PortOnPty fixture;
        fixture.port.setPortOpen(true);
        fixture.port.setPortOpen(false);
        QVERIFY(!fixture.port.portOpen());
        QVERIFY(!fixture.port.deviceOpen());
        QVERIFY(!fixture.port.dsrHolding());
        QVERIFY(fixture.serial.send("while closed"));
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.serial.send("after"));
        QTRY_COMPARE(fixture.port.inBufferCount(), 5);
        QCOMPARE(fixture.port.input(), QByteArray("after"));
    }

    void dsrChangesRaiseDsrEvents()
    {
        PortOnPty fixture;
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.port.dsrHolding());
        QSignalSpy events(&fixture.port, &CMSComm::OnComm);

        fixture.serial.lines()->setDataSetReady(false);
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvDSR));
        QVERIFY(!fixture.port.dsrHolding());

        // "Cannot tell" counts as held.
        fixture.serial.lines()->setDataSetReady(std::nullopt);
        QTRY_COMPARE(events.count(), 2);
        QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvDSR));
        QVERIFY(fixture.port.dsrHolding());

        // No change, no event, however often the lines are read.
        fixture.serial.lines()->setDataSetReady(true);
        const int reads = fixture.serial.lines()->reads();
        QTRY_VERIFY(fixture.serial.lines()->reads() >= reads + 3);
        QCOMPARE(events.count(), 2);
    }

    void vanishedDeviceIsDroppedAtOnceAndCountsAsDsrLoss()
    {
        PortOnPty fixture;
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.port.deviceOpen());
        QSignalSpy events(&fixture.port, &CMSComm::OnComm);

        fixture.serial.unplug();
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvDSR));
        QVERIFY(!fixture.port.deviceOpen());
        QVERIFY(!fixture.port.dsrHolding());
        QVERIFY(fixture.port.portOpen()); // still waiting for the scanner

        // Plugged back in under the same name: DSR is back.
        QVERIFY(fixture.serial.plugIn());
        QTRY_COMPARE(events.count(), 2);
        QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvDSR));
        QVERIFY(fixture.port.deviceOpen());
        QVERIFY(fixture.port.dsrHolding());
        QVERIFY(fixture.serial.send("ok"));
        QTRY_COMPARE(fixture.port.inBufferCount(), 2);
    }

    void missingDeviceIsWaitedFor()
    {
        PortOnPty fixture;
        fixture.serial.unplug();
        QSignalSpy events(&fixture.port, &CMSComm::OnComm);
        fixture.port.setPortOpen(true);
        QVERIFY(fixture.port.portOpen());
        QVERIFY(!fixture.port.deviceOpen());
        QVERIFY(!fixture.port.dsrHolding());
        QCOMPARE(fixture.port.deviceName(), fixture.serial.portPath());
        QCOMPARE(events.count(), 0);

        QVERIFY(fixture.serial.plugIn());
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(fixture.port.commEvent(), short(CMSComm::comEvDSR));
        QVERIFY(fixture.port.dsrHolding());
    }

    void deviceThatIsNoTerminalIsRefused()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("plain-file"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv(kPortVariable, path.toLocal8Bit());
        CMSComm port;
        port.setPortOpen(true);
        QVERIFY(!port.deviceOpen());
    }

    // --- The form's side of the port ---------------------------------------------

    void openSequenceSetsThePortUp()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        fixture.port.setCommPort(5);
        scanner.openPort();
        QCOMPARE(fixture.port.commPort(), short(1));
        QCOMPARE(fixture.port.inBufferSize(), short(1024));
        QCOMPARE(fixture.port.outBufferSize(), short(512));
        QVERIFY(fixture.port.portOpen());
        QVERIFY(fixture.port.deviceOpen());
        QCOMPARE(fixture.port.inputMode(), int(CMSComm::comInputModeBinary));
        QCOMPARE(fixture.port.settings(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(fixture.port.rThreshold(), short(1));
        QCOMPARE(fixture.port.inputLen(), short(0));
        QVERIFY(scanner.scannerReady());
        QVERIFY(prompter.shown().empty());
    }

    void noDsrAtOpenShowsTheNoticeForThreeSeconds()
    {
        PortOnPty fixture;
        fixture.serial.lines()->setDataSetReady(false);
        FakePrompter prompter;
        QWidget owner;
        ScannerPort scanner(fixture.port, prompter, &owner);
        int timerWhileShown = -1;
        bool readyWhileShown = true;
        prompter.onAsk([&](const Prompter::Message&) {
            timerWhileShown = scanner.noticeTimerInterval(ScannerPort::kFailureNoticeTimer);
            readyWhileShown = scanner.scannerReady();
        });
        scanner.openPort();

        QCOMPARE(prompter.texts(), QStringList{QStringLiteral("串口设备问题")});
        QCOMPARE(prompter.captions(), QStringList{hardwareCaption()});
        QCOMPARE(prompter.shown()[0].owner, &owner);
        QCOMPARE(prompter.shown()[0].message.buttons, Prompter::Buttons::Ok);
        QCOMPARE(timerWhileShown, 3000);
        QVERIFY(!readyWhileShown);
        QVERIFY(!scanner.scannerReady());
        QVERIFY(fixture.port.portOpen()); // waits for DSR

        QTRY_COMPARE_WITH_TIMEOUT(prompter.closedCaptions(), QStringList{hardwareCaption()}, 6000);
        QCOMPARE(scanner.noticeTimerInterval(ScannerPort::kFailureNoticeTimer), 0);

        // The scanner is switched on later.
        prompter.clear();
        fixture.serial.lines()->setDataSetReady(true);
        QTRY_COMPARE(prompter.texts(), QStringList{QStringLiteral("串口已恢复")});
        QTRY_VERIFY(scanner.scannerReady());
    }

    void missingDeviceIsReportedOnceAndWaitedFor()
    {
        PortOnPty fixture;
        fixture.serial.unplug();
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        scanner.openPort();
        QCOMPARE(prompter.texts(), QStringList{QStringLiteral("串口设备问题")});
        QVERIFY(!scanner.scannerReady());

        // Polls that still find no device say nothing more.
        QTRY_COMPARE_WITH_TIMEOUT(prompter.closedCaptions().size(), 1, 6000);
        QCOMPARE(prompter.texts().size(), 1);

        QVERIFY(fixture.serial.plugIn());
        QTRY_COMPARE(prompter.texts().size(), 2);
        QCOMPARE(prompter.texts()[1], QStringLiteral("串口已恢复"));
        QVERIFY(scanner.scannerReady());
        QVERIFY(fixture.serial.send("x^|"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("x^|"));
    }

    void dsrLossAndReturnShowNoticesAndReopen()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        scanner.openPort();
        QVERIFY(scanner.scannerReady());

        struct Seen
        {
            QString text;
            int failureTimer;
            int recoveryTimer;
            bool ready;
        };
        std::vector<Seen> seen;
        prompter.onAsk([&](const Prompter::Message& message) {
            seen.push_back({message.text, scanner.noticeTimerInterval(ScannerPort::kFailureNoticeTimer),
                            scanner.noticeTimerInterval(ScannerPort::kRecoveryNoticeTimer), scanner.scannerReady()});
        });

        fixture.serial.lines()->setDataSetReady(false);
        QTRY_COMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen[0].text, QStringLiteral("串口设备问题"));
        QCOMPARE(seen[0].failureTimer, 1500);
        QVERIFY(seen[0].ready); // the flag changes only after the notice
        QVERIFY(!scanner.scannerReady());
        QTRY_COMPARE(prompter.closedCaptions(), QStringList{hardwareCaption()});
        QCOMPARE(scanner.noticeTimerInterval(ScannerPort::kFailureNoticeTimer), 0);

        // Bytes left in the port's buffer are dropped by the reopen.
        fixture.port.setRThreshold(0);
        QVERIFY(fixture.serial.send("stale"));
        QTRY_COMPARE(fixture.port.inBufferCount(), 5);

        fixture.serial.lines()->setDataSetReady(true);
        QTRY_COMPARE(seen.size(), std::size_t(2));
        QCOMPARE(seen[1].text, QStringLiteral("串口已恢复"));
        QCOMPARE(seen[1].recoveryTimer, 1500);
        QVERIFY(!seen[1].ready);
        QVERIFY(scanner.scannerReady());
        QVERIFY(fixture.port.portOpen());
        QCOMPARE(fixture.port.inBufferCount(), 0);
        QCOMPARE(fixture.port.rThreshold(), short(1)); // set again by the open sequence
        QCOMPARE(prompter.captions(), (QStringList{hardwareCaption(), hardwareCaption()}));
        QTRY_COMPARE(prompter.closedCaptions(), (QStringList{hardwareCaption(), hardwareCaption()}));
        QCOMPARE(scanner.noticeTimerInterval(ScannerPort::kRecoveryNoticeTimer), 0);

        QVERIFY(fixture.serial.send("a^|"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("a^|"));
    }

    void unpluggedScannerIsNoticedAndWelcomedBack()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        scanner.openPort();
        QVERIFY(scanner.scannerReady());

        fixture.serial.unplug();
        QTRY_COMPARE(prompter.texts(), QStringList{QStringLiteral("串口设备问题")});
        QVERIFY(!scanner.scannerReady());
        QVERIFY(!fixture.port.deviceOpen());

        QVERIFY(fixture.serial.plugIn());
        QTRY_COMPARE(prompter.texts().size(), 2);
        QCOMPARE(prompter.texts()[1], QStringLiteral("串口已恢复"));
        QVERIFY(scanner.scannerReady());
        QVERIFY(fixture.port.deviceOpen());
        QVERIFY(fixture.serial.send("b^|"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("b^|"));
    }

    void noticesCloseThemselvesOnScreen()
    {
        // The real boxes: each notice must end by its own timer.
        PortOnPty fixture;
        fixture.serial.lines()->setDataSetReady(false);
        QtPrompter prompter;
        QWidget owner;
        ScannerPort scanner(fixture.port, prompter, &owner);
        QStringList titlesSeen;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<QMessageBox*>(widget) && widget->isVisible() &&
                    !titlesSeen.contains(widget->windowTitle()))
                    titlesSeen << widget->windowTitle();
            }
        });
        watcher.start(50);
        scanner.openPort(); // returns once timer 3 has closed the box
        QCOMPARE(titlesSeen, QStringList{hardwareCaption()});
        QVERIFY(!scanner.scannerReady());
        QCOMPARE(scanner.noticeTimerInterval(ScannerPort::kFailureNoticeTimer), 0);

        fixture.serial.lines()->setDataSetReady(true);
        QTRY_VERIFY_WITH_TIMEOUT(scanner.scannerReady(), 8000);
        QTRY_COMPARE(scanner.noticeTimerInterval(ScannerPort::kRecoveryNoticeTimer), 0);
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<QMessageBox*>(widget) && widget->isVisible()));
    }

    void scanInSmallChunksIsAnnouncedOnceComplete()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        QSignalSpy announced(&scanner, &ScannerPort::scanComplete);
        scanner.openPort();
        const GbkString payload = BarcodePayload::buildPayload(test::sampleOutgoingRow("京法〔2024〕7号"_gbk));
        int events = 0;
        connect(&fixture.port, &CMSComm::OnComm, this, [&] { ++events; });
        for (std::size_t at = 0; at < payload.size(); at += 3) {
            const std::string chunk = payload.substr(at, 3);
            const std::size_t before = scanner.receiveText().text().size();
            QVERIFY(fixture.serial.send(chunk));
            QTRY_COMPARE(scanner.receiveText().text().size(), before + chunk.size());
            if (at + 3 < payload.size()) {
                QCoreApplication::processEvents();
                QCOMPARE(announced.count(), 0);
            }
        }
        QTRY_COMPARE(announced.count(), 1);
        QCOMPARE(scanner.receiveText().text(), payload);
        QVERIFY(events >= int(payload.size() / 3));
    }

    void textStartingWithTheEndMarkAnnouncesNothing()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        QSignalSpy announced(&scanner, &ScannerPort::scanComplete);
        scanner.openPort();
        QVERIFY(fixture.serial.send("^|"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("^|"));
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 0);
        QVERIFY(fixture.serial.send(std::string("\0\0", 2)));
        QVERIFY(fixture.serial.send("ab"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("^|ab"));
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 0);
        QVERIFY(fixture.serial.send("^|"));
        QTRY_COMPARE(announced.count(), 1);
    }

    void pendingAnnouncementIsNotRepeated()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        QSignalSpy announced(&scanner, &ScannerPort::scanComplete);
        scanner.openPort();
        scanner.receiveText().append("a^^|");
        // Several events before the announcement is delivered.
        scanner.portEvent();
        scanner.portEvent();
        scanner.portEvent();
        QCOMPARE(announced.count(), 0); // queued, not delivered inside the event
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 1);
        // Once delivered, a mark still in the text is announced again.
        scanner.portEvent();
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 2);
    }

    void closedPortGathersNothing()
    {
        PortOnPty fixture;
        FakePrompter prompter;
        ScannerPort scanner(fixture.port, prompter, nullptr);
        QSignalSpy announced(&scanner, &ScannerPort::scanComplete);
        scanner.openPort();
        fixture.port.setPortOpen(false);
        QVERIFY(fixture.serial.send("x^^|"));
        fixture.port.setPortOpen(true); // back to incoming: PortOpen only
        QVERIFY(fixture.serial.send("y"));
        QTRY_COMPARE(scanner.receiveText().text(), std::string("y"));
        QCoreApplication::processEvents();
        QCOMPARE(announced.count(), 0);
    }

    // --- Intake of a completed scan ------------------------------------------------

    void scannedPayloadBecomesTheSendingRow()
    {
        Intake intake;
        const DocumentRecord sent = test::sampleOutgoingRow("京法〔2024〕11号"_gbk);
        intake.receive(BarcodePayload::buildPayload(sent));
        QVERIFY(intake.take());
        QCOMPARE(intake.list.rows.size(), std::size_t(1));
        const DocumentRecord& row = intake.list.rows[0];
        for (int column = 0; column < DocumentRecord::Remarks; ++column)
            QCOMPARE(toQString(row.fields[column]), toQString(sent.fields[column]));
        QCOMPARE(row[DocumentRecord::Remarks], std::string("20240305"));
        QVERIFY(row.barcodeMade.empty());
        QVERIFY(row.attachmentPath.empty());
        QVERIFY(intake.scanner.receiveText().isEmpty());
        QVERIFY(intake.prompter.shown().empty());
    }

    void bytesAfterTheEndMarkGoWithTheScan()
    {
        Intake intake;
        const DocumentRecord sent = test::sampleOutgoingRow("A-1");
        intake.receive(BarcodePayload::buildPayload(sent) + "tail^more");
        QVERIFY(intake.take());
        QCOMPARE(intake.list.rows.size(), std::size_t(1));
        QCOMPARE(intake.list.rows[0][DocumentRecord::Number], std::string("A-1"));
        QCOMPARE(intake.list.rows[0][DocumentRecord::Remarks], std::string("20240305"));
        QVERIFY(intake.scanner.receiveText().isEmpty());
    }

    void duplicateQuestions_data()
    {
        QTest::addColumn<int>("rowsWithNumber");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QList<int>>("answers"); // Prompter::Answer values, in order
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<bool>("appended");
        const QString number = QStringLiteral("B-2");
        QTest::newRow("listed once, OK") << 1 << false << QList<int>{int(Prompter::Answer::Ok)}
                                         << QStringList{scannedQuestion(number)} << true;
        QTest::newRow("listed once, Cancel")
            << 1 << false << QList<int>{int(Prompter::Answer::Cancel)} << QStringList{scannedQuestion(number)} << false;
        QTest::newRow("listed twice, OK both")
            << 2 << false << QList<int>{int(Prompter::Answer::Ok), int(Prompter::Answer::Ok)}
            << QStringList{scannedQuestion(number), scannedQuestion(number)} << true;
        QTest::newRow("listed twice, Cancel at first")
            << 2 << false << QList<int>{int(Prompter::Answer::Cancel)} << QStringList{scannedQuestion(number)} << false;
        QTest::newRow("listed twice, Cancel at second")
            << 2 << false << QList<int>{int(Prompter::Answer::Ok), int(Prompter::Answer::Cancel)}
            << QStringList{scannedQuestion(number), scannedQuestion(number)} << false;
        QTest::newRow("registered, OK") << 0 << true << QList<int>{int(Prompter::Answer::Ok)}
                                        << QStringList{registeredQuestion(number)} << true;
        QTest::newRow("registered, Cancel") << 0 << true << QList<int>{int(Prompter::Answer::Cancel)}
                                            << QStringList{registeredQuestion(number)} << false;
        QTest::newRow("listed and registered, list asked first")
            << 1 << true << QList<int>{int(Prompter::Answer::Ok), int(Prompter::Answer::Ok)}
            << QStringList{scannedQuestion(number), registeredQuestion(number)} << true;
        QTest::newRow("listed and registered, Cancel skips the register question")
            << 1 << true << QList<int>{int(Prompter::Answer::Cancel)} << QStringList{scannedQuestion(number)} << false;
    }

    void duplicateQuestions()
    {
        QFETCH(int, rowsWithNumber);
        QFETCH(bool, registered);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, questions);
        QFETCH(bool, appended);

        const DocumentRecord sent = test::sampleOutgoingRow("B-2");
        Intake intake;
        intake.list.rows.push_back(test::sampleOutgoingRow("other"));
        for (int i = 0; i < rowsWithNumber; ++i)
            intake.list.rows.push_back(sent);
        if (registered)
            intake.registered.rows[sent[DocumentRecord::Number]] = sent;
        for (const int answer : answers)
            intake.prompter.willAnswer(Prompter::Answer(answer));

        const std::size_t before = intake.list.rows.size();
        intake.receive(BarcodePayload::buildPayload(sent));
        QCOMPARE(intake.take(), appended);
        QCOMPARE(intake.prompter.texts(), questions);
        QCOMPARE(intake.prompter.pendingAnswers(), 0);
        for (const auto& shown : intake.prompter.shown()) {
            QCOMPARE(shown.message.caption, QStringLiteral("系统提示"));
            QCOMPARE(shown.message.buttons, Prompter::Buttons::OkCancel);
            QCOMPARE(shown.message.icon, Prompter::Icon::Question);
        }
        QCOMPARE(intake.list.rows.size(), before + (appended ? 1 : 0));
        if (appended)
            QCOMPARE(intake.list.rows.back()[DocumentRecord::Number], std::string("B-2"));
        QVERIFY(intake.scanner.receiveText().isEmpty());
    }

    void incomingRegisterLooksNumbersUpSafely()
    {
        test::TestDatabase db;
        QVERIFY(db.isOpen());
        QVERIFY(test::TestDatabase::insertIncoming(test::sampleOutgoingRow("other")));
        SqlIncomingRegister register_;
        const GbkString quoted = "x' OR '1'='1";
        QVERIFY(!register_.isRegistered(quoted));
        QVERIFY(test::TestDatabase::insertIncoming(test::sampleOutgoingRow(quoted)));
        QVERIFY(register_.isRegistered(quoted));
        QVERIFY(register_.isRegistered("other"));
        QVERIFY(db.prompter().shown().empty());
    }

    void emptyReceiveTextGivesADateOnlyRow()
    {
        Intake intake;
        QVERIFY(intake.take());
        QCOMPARE(intake.list.rows.size(), std::size_t(1));
        for (int column = 0; column < DocumentRecord::Remarks; ++column)
            QVERIFY(intake.list.rows[0].fields[column].empty());
        QCOMPARE(intake.list.rows[0][DocumentRecord::Remarks], std::string("20240305"));
    }

    void portIsFlushedWhateverTheAnswer_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("answer");
        QTest::newRow("row added") << false << int(Prompter::Answer::Ok);
        QTest::newRow("duplicate accepted") << true << int(Prompter::Answer::Ok);
        QTest::newRow("duplicate declined") << true << int(Prompter::Answer::Cancel);
    }

    void portIsFlushedWhateverTheAnswer()
    {
        QFETCH(bool, listed);
        QFETCH(int, answer);
        Intake intake;
        const DocumentRecord sent = test::sampleOutgoingRow("C-3");
        if (listed)
            intake.list.rows.push_back(sent);
        intake.prompter.willAnswer(Prompter::Answer(answer));
        // Bytes waiting in the port's own buffer when the scan is taken.
        intake.fixture.port.setRThreshold(0);
        QVERIFY(intake.fixture.serial.send("leftover"));
        QTRY_COMPARE(intake.fixture.port.inBufferCount(), 8);
        intake.receive(BarcodePayload::buildPayload(sent));
        intake.fixture.port.setInputLen(3);
        intake.take();
        QCOMPARE(intake.fixture.port.inBufferCount(), 0);
        QCOMPARE(intake.fixture.port.inputLen(), short(0));
    }

    void scansThroughThePortBecomeRows()
    {
        Intake intake;
        QObject::connect(&intake.scanner, &ScannerPort::scanComplete, &intake.scanner, [&intake] { intake.take(); });
        const DocumentRecord first = test::sampleOutgoingRow("D-4");
        const DocumentRecord second = test::sampleOutgoingRow("D-5");
        const GbkString payload = BarcodePayload::buildPayload(first);
        for (std::size_t at = 0; at < payload.size(); at += 5)
            QVERIFY(intake.fixture.serial.send(payload.substr(at, 5)));
        QTRY_COMPARE(intake.list.rows.size(), std::size_t(1));
        QVERIFY(intake.fixture.serial.send(BarcodePayload::buildPayload(second)));
        QTRY_COMPARE(intake.list.rows.size(), std::size_t(2));
        QCOMPARE(intake.list.rows[0][DocumentRecord::Number], std::string("D-4"));
        QCOMPARE(intake.list.rows[1][DocumentRecord::Number], std::string("D-5"));
        QCoreApplication::processEvents();
        QCOMPARE(intake.list.rows.size(), std::size_t(2));
    }

private:
    // The intake wired to a port on a pseudo-terminal, with the list and the
    // date picker as plain values.
    struct Intake
    {
        Intake()
            : scanner(fixture.port, prompter, nullptr), intake(scanner.receiveText(), fixture.port, prompter, nullptr,
                                                               list, registered, [] { return QDate(2024, 3, 5); })
        {
            scanner.openPort();
        }
        void receive(const GbkString& bytes) { scanner.receiveText().append(bytes); }
        bool take() { return intake.takeScan(); }

        PortOnPty fixture;
        FakePrompter prompter;
        RowList list;
        test::FakeRegisterStore registered;
        ScannerPort scanner;
        ScanIntake intake;
    };
};

QTEST_MAIN(ScannerPortTest)
#include "ScannerPortTest.moc"

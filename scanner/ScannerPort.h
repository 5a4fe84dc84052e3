#pragma once

#include "scanner/ReceiveText.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace regdesk {

class CMSComm;
class Prompter;

// The form's side of the scanner port: the open sequence, the receive text
// filled by the port's events, the hardware notices that close themselves
// on the port's own timers 3 and 4, and the scan-complete event once an end
// mark has arrived.
class ScannerPort : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFailureNoticeTimer = 3;
    static constexpr int kRecoveryNoticeTimer = 4;
    static constexpr int kNoticeAfterOpen = 3000;   // ms
    static constexpr int kNoticeAfterChange = 1500; // ms

    ScannerPort(CMSComm& port, Prompter& prompter, QWidget* owner);
    ~ScannerPort() override;

    // Sets the port up, opens it and empties its buffer; without DSR (or
    // without the device) tells the clerk once and waits for the scanner.
    void openPort();

    // What notice timer 3 or 4 does when it fires: stop and close "硬件提示".
    void closeNotice(int timerId);

    bool scannerReady() const { return m_scannerReady; }
    ReceiveText& receiveText() { return m_receiveText; }
    const ReceiveText& receiveText() const { return m_receiveText; }
    // Interval of notice timer 3 or 4 while it runs, else 0.
    int noticeTimerInterval(int timerId) const;

    // Handles the port's OnComm.
    void portEvent();

signals:
    // Queued when an event leaves an end mark in the receive text and no
    // announcement is still waiting to be delivered.
    void scanComplete();

private:
    void showNotice(int timerId, int interval, const QString& text);
    QTimer& noticeTimer(int timerId);

    CMSComm& m_port;
    Prompter& m_prompter;
    QWidget* m_owner;
    ReceiveText m_receiveText;
    bool m_scannerReady = false;
    bool m_scanAnnounced = false;
    QTimer m_failureNoticeTimer;  // 3
    QTimer m_recoveryNoticeTimer; // 4
};

} // namespace regdesk

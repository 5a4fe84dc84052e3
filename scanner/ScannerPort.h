#pragma once

#include "scanner/ReceiveText.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>

class QWidget;

namespace regdesk {

class CMSComm;
class Prompter;

// The window timers the notices run on. The form has its own, with fixed ids;
// without them the port uses timers of its own.
class NoticeTimers
{
public:
    virtual ~NoticeTimers() = default;
    virtual void start(int id, int intervalMs) = 0;
    virtual void stop(int id) = 0;
    virtual bool isActive(int id) const = 0;
};

// The form's side of the scanner port: the open sequence, the receive text
// filled by the port's events, the hardware notices that close themselves
// (timers 3 and 4) and the scan-complete event once an end mark has arrived.
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

    // Runs the notices on these timers from now on (null: the port's own).
    // Their owner calls closeNotice() when timer 3 or 4 fires.
    void setNoticeTimers(NoticeTimers* timers);

    // Sets the port up, opens it and empties its buffer; without DSR (or
    // without the device) tells the clerk once and waits for the scanner.
    void openPort();

    // What a notice timer does when it fires: stop and close "硬件提示".
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
    class OwnTimers;

    void showNotice(int timerId, int interval, const QString& text);
    NoticeTimers& timers() const;

    CMSComm& m_port;
    Prompter& m_prompter;
    QWidget* m_owner;
    ReceiveText m_receiveText;
    bool m_scannerReady = false;
    bool m_scanAnnounced = false;
    std::unique_ptr<OwnTimers> m_ownTimers;
    NoticeTimers* m_timers = nullptr;
    std::map<int, int> m_noticeIntervals; // last interval started, by timer id
};

} // namespace regdesk

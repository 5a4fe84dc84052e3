#include "scanner/ScannerPort.h"

#include "platform/Prompter.h"
#include "scanner/CMSComm.h"

#include <QMetaObject>
#include <QTimer>

namespace regdesk {
namespace {

QString noticeCaption()
{
    return QStringLiteral("硬件提示");
}

} // namespace

// Two plain timers standing in for the form's window timers 3 and 4.
class ScannerPort::OwnTimers final : public NoticeTimers
{
public:
    explicit OwnTimers(ScannerPort& owner)
    {
        for (const int id : {kFailureNoticeTimer, kRecoveryNoticeTimer})
            QObject::connect(&m_timers[id], &QTimer::timeout, &owner, [&owner, id] { owner.closeNotice(id); });
    }
    void start(int id, int intervalMs) override { m_timers[id].start(intervalMs); }
    void stop(int id) override { m_timers[id].stop(); }
    bool isActive(int id) const override
    {
        const auto found = m_timers.find(id);
        return found != m_timers.end() && found->second.isActive();
    }

private:
    std::map<int, QTimer> m_timers;
};

ScannerPort::ScannerPort(CMSComm& port, Prompter& prompter, QWidget* owner)
    : m_port(port), m_prompter(prompter), m_owner(owner), m_ownTimers(std::make_unique<OwnTimers>(*this))
{
    connect(&m_port, &CMSComm::OnComm, this, &ScannerPort::portEvent);
}

ScannerPort::~ScannerPort() = default;

void ScannerPort::setNoticeTimers(NoticeTimers* timers)
{
    m_timers = timers;
}

void ScannerPort::openPort()
{
    m_port.setCommPort(1);
    m_port.setInBufferSize(1024);
    m_port.setOutBufferSize(512);
    if (!m_port.portOpen())
        m_port.setPortOpen(true);
    m_port.setInputMode(CMSComm::comInputModeBinary);
    m_port.setSettings(QStringLiteral("9600,n,8,1"));
    m_port.setRThreshold(1);
    m_port.setInputLen(0);
    m_port.input();
    if (m_port.dsrHolding()) {
        m_scannerReady = true;
        return;
    }
    showNotice(kFailureNoticeTimer, kNoticeAfterOpen, QStringLiteral("串口设备问题"));
    m_scannerReady = false;
}

void ScannerPort::portEvent()
{
    switch (m_port.commEvent()) {
    case CMSComm::comEvReceive:
        m_receiveText.append(m_port.input().toStdString());
        break;
    case CMSComm::comEvDSR:
        // The flag changes only once the notice has closed: an event that
        // comes while it is open still sees the old state.
        if (m_scannerReady) {
            showNotice(kFailureNoticeTimer, kNoticeAfterChange, QStringLiteral("串口设备问题"));
            m_scannerReady = false;
        } else {
            showNotice(kRecoveryNoticeTimer, kNoticeAfterChange, QStringLiteral("串口已恢复"));
            m_port.setPortOpen(false);
            openPort();
        }
        break;
    default:
        break;
    }
    // One announcement at a time: a second one queued for the same scan would
    // find the text already taken and add a row of nothing but the date.
    if (m_receiveText.hasEndMark() && !m_scanAnnounced) {
        m_scanAnnounced = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scanAnnounced = false;
                emit scanComplete();
            },
            Qt::QueuedConnection);
    }
}

void ScannerPort::closeNotice(int timerId)
{
    if (timerId != kFailureNoticeTimer && timerId != kRecoveryNoticeTimer)
        return;
    timers().stop(timerId);
    m_prompter.closeMessages(noticeCaption());
}

int ScannerPort::noticeTimerInterval(int timerId) const
{
    const auto interval = m_noticeIntervals.find(timerId);
    if (interval == m_noticeIntervals.end() || !timers().isActive(timerId))
        return 0;
    return interval->second;
}

void ScannerPort::showNotice(int timerId, int interval, const QString& text)
{
    // The timer starts first: the box is modal and the timer is what closes it.
    m_noticeIntervals[timerId] = interval;
    timers().start(timerId, interval);
    m_prompter.ask(m_owner, Prompter::Message{text, noticeCaption()});
}

NoticeTimers& ScannerPort::timers() const
{
    return m_timers ? *m_timers : *m_ownTimers;
}

} // namespace regdesk

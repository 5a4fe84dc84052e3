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

ScannerPort::ScannerPort(CMSComm& port, Prompter& prompter, QWidget* owner)
    : m_port(port), m_prompter(prompter), m_owner(owner)
{
    connect(&m_port, &CMSComm::OnComm, this, &ScannerPort::portEvent);
    for (const int id : {kFailureNoticeTimer, kRecoveryNoticeTimer})
        connect(&noticeTimer(id), &QTimer::timeout, this, [this, id] { closeNotice(id); });
}

ScannerPort::~ScannerPort() = default;

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
    noticeTimer(timerId).stop();
    m_prompter.closeMessages(noticeCaption());
}

int ScannerPort::noticeTimerInterval(int timerId) const
{
    const QTimer* timer = timerId == kFailureNoticeTimer    ? &m_failureNoticeTimer
                          : timerId == kRecoveryNoticeTimer ? &m_recoveryNoticeTimer
                                                            : nullptr;
    return timer && timer->isActive() ? timer->interval() : 0;
}

void ScannerPort::showNotice(int timerId, int interval, const QString& text)
{
    // The timer starts first: the box is modal and the timer is what closes it.
    noticeTimer(timerId).start(interval);
    m_prompter.ask(m_owner, Prompter::Message{text, noticeCaption()});
}

QTimer& ScannerPort::noticeTimer(int timerId)
{
    return timerId == kFailureNoticeTimer ? m_failureNoticeTimer : m_recoveryNoticeTimer;
}

} // namespace regdesk

#include "printing/QtPrintProgress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QThread>

namespace regdesk {

void QtPrintProgress::start(int maximum)
{
    m_bar.setRange(0, maximum);
    m_bar.setValue(0);
    m_bar.show();
}

void QtPrintProgress::setPosition(int position)
{
    m_pending->position = position;
    if (m_pending->posted.exchange(true))
        return; // the update on its way takes this position
    QMetaObject::invokeMethod(
        &m_bar,
        [bar = &m_bar, pending = m_pending] {
            pending->posted = false;
            bar->setValue(pending->position);
        },
        Qt::QueuedConnection);
}

void QtPrintProgress::hide()
{
    // Updates still queued land before the bar goes.
    QCoreApplication::sendPostedEvents(&m_bar, QEvent::MetaCall);
    m_bar.hide();
}

void QtPrintProgress::waiting()
{
    if (QThread::currentThread() == m_bar.thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace regdesk

#include "query/QtPrintProgress.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace regdesk {

void QtPrintProgress::start(int maximum)
{
    m_bar.setRange(0, maximum);
    m_bar.setValue(0);
    m_bar.show();
}

void QtPrintProgress::setPosition(int position)
{
    m_bar.setValue(position);
    waiting(); // let the bar repaint between pages
}

void QtPrintProgress::hide()
{
    m_bar.hide();
}

void QtPrintProgress::waiting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace regdesk

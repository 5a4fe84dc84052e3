#include "platform/BackgroundWork.h"

#include <QEventLoop>
#include <new>
#include <thread>

namespace regdesk {

QString runInBackground(const std::function<QString()>& work)
{
    QEventLoop loop;
    QString failure;
    std::thread worker([&] {
        try {
            failure = work();
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("内存不足");
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        // Queued: the loop may not have started yet; it quits as soon as it does.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return failure;
}

} // namespace regdesk

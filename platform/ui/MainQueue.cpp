#include "platform/ui/MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cmath>

#include "platform/foundation/SerialQueue.h"

namespace ui {

void installMainQueueExecutor() {
    // The queue keeps its tasks and their order; the loop only runs its drains. A drain holds the
    // queue weakly, and one queued on an application object that has gone is dropped with it.
    foundation::MainExecutor executor;
    executor.post = [](foundation::Task drain, double delaySeconds) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return; // the event loop is gone: the process is ending
        if (delaySeconds <= 0) {
            QMetaObject::invokeMethod(app, std::move(drain), Qt::QueuedConnection);
            return;
        }
        // A timer starts on the thread it belongs to: hop there first. Rounded up, so the deadline
        // has passed when it fires; a drain that finds it has not asks again.
        int ms = int(std::ceil(delaySeconds * 1000.0));
        QMetaObject::invokeMethod(
            app,
            [app, drain = std::move(drain), ms]() mutable {
                QTimer::singleShot(ms, Qt::PreciseTimer, app, std::move(drain));
            },
            Qt::QueuedConnection);
    };
    executor.isCurrentThread = [] {
        QCoreApplication* app = QCoreApplication::instance();
        return app && QThread::currentThread() == app->thread();
    };
    foundation::SerialQueue::setMainExecutor(std::move(executor));
}

void removeMainQueueExecutor() {
    foundation::SerialQueue::clearMainExecutor();
}

} // namespace ui

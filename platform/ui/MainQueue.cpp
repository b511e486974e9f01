#include "platform/ui/MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cmath>

#include "platform/foundation/SerialQueue.h"

namespace ui {

void installMainQueueExecutor() {
    foundation::MainExecutor executor;
    executor.post = [](foundation::Task task, double delaySeconds) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return; // the event loop is gone: the process is ending
        QMetaObject::invokeMethod(
            app,
            [task = std::move(task), delaySeconds]() mutable {
                if (delaySeconds <= 0) {
                    task();
                    return;
                }
                int ms = int(std::ceil(delaySeconds * 1000.0));
                QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(task));
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

#include "platform/ui/MainQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/foundation/SerialQueue.h"

namespace ui {

namespace {

// Where the queue's drains wait for the GUI thread. They are handed over under a lock of ours, not
// inside the event Qt carries: Qt's own hand-over is invisible to the thread checker, which would take
// a drain's first read on the GUI thread for a race with its making on the posting thread.
class Mailbox final : public QObject {
  public:
    static inline const QString kName = QStringLiteral("mainQueueMailbox");
    explicit Mailbox(QObject* parent) : QObject(parent) { setObjectName(kName); }

    // From any thread. The event is made before the lock, so its making is handed over too.
    void post(foundation::Task drain, int delayMs) {
        auto* event = new QEvent(kDrain);
        {
            std::lock_guard lock(mutex_);
            drains_.push_back({std::move(drain), delayMs});
        }
        QCoreApplication::postEvent(this, event);
    }

    bool event(QEvent* e) override {
        std::unique_lock lock(mutex_); // before the event is read: see above
        if (e->type() != kDrain || drains_.empty()) {
            lock.unlock();
            return QObject::event(e);
        }
        Drain next = std::move(drains_.front());
        drains_.pop_front();
        lock.unlock();
        if (next.delayMs <= 0)
            next.task();
        else
            QTimer::singleShot(next.delayMs, Qt::PreciseTimer, this, std::move(next.task));
        return true;
    }

  private:
    struct Drain {
        foundation::Task task;
        int delayMs;
    };
    static inline const QEvent::Type kDrain = QEvent::Type(QEvent::registerEventType());
    std::mutex mutex_;
    std::deque<Drain> drains_;
};

} // namespace

void installMainQueueExecutor() {
    // The queue keeps its tasks and their order; the loop only runs its drains. A drain holds the
    // queue weakly. The mailbox lives as long as the application object, one for every install on it:
    // a drain posted by an executor just replaced may still reach it.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    // Found by name: only a Mailbox bears it.
    auto* mailbox =
        static_cast<Mailbox*>(app->findChild<QObject*>(Mailbox::kName, Qt::FindDirectChildrenOnly));
    if (!mailbox) mailbox = new Mailbox(app);
    foundation::MainExecutor executor;
    executor.post = [mailbox](foundation::Task drain, double delaySeconds) {
        if (!QCoreApplication::instance()) return; // the event loop is gone: the process is ending
        // Rounded up, so the deadline has passed when the timer fires; a drain that finds it has not
        // asks again.
        const int ms = delaySeconds <= 0 ? 0 : int(std::ceil(delaySeconds * 1000.0));
        mailbox->post(std::move(drain), ms);
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

#include "platform/photos/LibraryWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

namespace photos {

namespace {
// How often a step looks at its condition: short against the waits of half a second that callers ask for.
constexpr int kPollMs = 5;

void runStep(double seconds, const std::function<bool()>& done) {
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return;
    }
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs = qint64(seconds * 1000.0);
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (elapsed.elapsed() >= limitMs || (done && done())) loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::AllEvents);
}
} // namespace

std::atomic<int>& photoLibraryBusyFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

void runMainLoopFor(double seconds) {
    runStep(seconds, nullptr);
}

void runMainLoopUntil(const std::function<bool()>& done, double stepSeconds) {
    while (!done())
        runStep(stepSeconds, done);
}

void sleepWhileLibraryBusy(long stepMicroseconds) {
    while (photoLibraryBusyFlag().load() != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(stepMicroseconds));
}

} // namespace photos

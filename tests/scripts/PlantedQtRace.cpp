// A race of ours that runs wholly through Qt, for the ThreadSanitizer gate's test: two threads append
// to one QByteArray without a lock, first two threads of our own, then two tasks on a Qt thread pool.
// Qt is not instrumented, so the sanitizer sees only Qt's frames for the accesses, as it does for
// Qt's own races. The threads take turns through a relaxed flag, which orders nothing for the sanitizer
// (it reports the race all the same) but keeps the arrays whole, so the program ends every time.
#include <QByteArray>
#include <QThreadPool>
#include <atomic>
#include <thread>

namespace {

constexpr int kRounds = 64;

void appendInTurns(QByteArray& shared, std::atomic<int>& turn, int mine) {
    for (int round = 0; round < kRounds; ++round) {
        while (turn.load(std::memory_order_relaxed) % 2 != mine)
            std::this_thread::yield();
        shared.append("0123456789abcdef", 16);
        turn.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace

int main() {
    QByteArray byThreads, byPool;
    std::atomic<int> threadTurn{0}, poolTurn{0};
    std::thread first([&] { appendInTurns(byThreads, threadTurn, 0); });
    std::thread second([&] { appendInTurns(byThreads, threadTurn, 1); });
    first.join();
    second.join();
    QThreadPool pool;
    pool.setMaxThreadCount(2); // both tasks run at once, or the turns would never come round
    pool.start([&] { appendInTurns(byPool, poolTurn, 0); });
    pool.start([&] { appendInTurns(byPool, poolTurn, 1); });
    pool.waitForDone();
    return byThreads.size() == 2 * kRounds * 16 && byPool.size() == 2 * kRounds * 16 ? 0 : 1;
}

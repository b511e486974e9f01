// Qt's own races only, for the ThreadSanitizer gate's test: empty functions handed to Qt's thread
// pool, which touch nothing of ours, so every report is of the pool's own tasks, queue and lists.
#include <QThreadPool>

int main() {
    for (int i = 0; i < 200; ++i)
        QThreadPool::globalInstance()->start([] {});
    QThreadPool::globalInstance()->waitForDone();
    return 0;
}

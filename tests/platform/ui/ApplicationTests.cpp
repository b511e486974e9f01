#include <QApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <catch2/catch.hpp>
#include <thread>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/ui/Application.h"
#include "platform/ui/Tag.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Recorder.h"
#include "tests/support/ManualQueueClock.h"

using namespace ui;
using Lines = std::vector<std::string>;

namespace {
class RecordingDelegate : public ApplicationDelegate {
  public:
    explicit RecordingDelegate(uitest::Journal j) : journal(std::move(j)) {}
    bool applicationDidFinishLaunchingWithOptions(Application&, const foundation::Dictionary&) override {
        journal->push_back("didFinishLaunching");
        windowDuringLaunch = window() != nullptr;
        return true;
    }
    void applicationDidBecomeActive(Application&) override { journal->push_back("didBecomeActive"); }
    void applicationWillResignActive(Application&) override { journal->push_back("willResignActive"); }
    void applicationDidEnterBackground(Application&) override { journal->push_back("didEnterBackground"); }
    void applicationWillEnterForeground(Application&) override { journal->push_back("willEnterForeground"); }
    void applicationWillTerminate(Application&) override { journal->push_back("willTerminate"); }
    uitest::Journal journal;
    bool windowDuringLaunch = false;
};

struct NotificationLog {
    std::vector<std::string> names;
    foundation::ObserverPtr token = foundation::NotificationCenter::defaultCenter()->addObserver(
        "", nullptr, nullptr, [this](const foundation::Notification& n) {
            if (n.name.rfind("UIApplication", 0) == 0) names.push_back(n.name);
        });
};
} // namespace

TEST_CASE("the application drives the delegate through its life cycle", "[ui][application]") {
    auto journal = uitest::makeJournal();
    auto board = Storyboard::define("ApplicationTests");
    board->addScene("first", [journal] { return std::make_shared<uitest::Recorder>("first", journal); });
    board->setInitialScene("first", true);
    auto delegate = std::make_shared<RecordingDelegate>(journal);
    NotificationLog notes;

    Application app(delegate);
    CHECK(Application::shared() == &app);
    REQUIRE(app.launch("ApplicationTests"));
    CHECK(delegate->windowDuringLaunch);
    // The first scene shows after the delegate finished launching; activation follows on the loop.
    CHECK(*journal == Lines{"didFinishLaunching", "first.load", "first.willAppear", "first.didAppear"});
    CHECK(app.applicationState() == ApplicationState::Inactive);
    REQUIRE(QTest::qWaitFor([&] { return app.applicationState() == ApplicationState::Active; }, 2000));
    CHECK(journal->back() == "didBecomeActive");
    CHECK(app.keyWindow()->isVisible());
    CHECK(app.keyWindow()->size() == QSize(768, 1024));
    journal->clear();

    SECTION("background and back") {
        app.enterBackground();
        app.enterBackground(); // once is enough
        app.enterForeground();
        app.becomeActive();
        CHECK(*journal ==
              Lines{"willResignActive", "didEnterBackground", "willEnterForeground", "didBecomeActive"});
        CHECK(notes.names == Lines{"UIApplicationDidFinishLaunchingNotification",
                                   "UIApplicationDidBecomeActiveNotification",
                                   "UIApplicationWillResignActiveNotification",
                                   "UIApplicationDidEnterBackgroundNotification",
                                   "UIApplicationWillEnterForegroundNotification",
                                   "UIApplicationDidBecomeActiveNotification"});
    }

    SECTION("termination is announced once") {
        app.terminate();
        app.terminate();
        app.becomeActive();
        CHECK(*journal == Lines{"willTerminate"});
        CHECK(notes.names.back() == "UIApplicationWillTerminateNotification");
    }

    SECTION("URLs go to the handler; the settings page cannot be opened here") {
        std::vector<std::string> opened;
        app.setURLHandler({nullptr, [&](const std::string& u) {
                               opened.push_back(u);
                               return true;
                           }});
        CHECK_FALSE(app.canOpenURL(kApplicationOpenSettingsURLString));
        CHECK_FALSE(app.openURL(kApplicationOpenSettingsURLString));
        CHECK(app.openURL("https://example.test/login.php"));
        CHECK(opened == Lines{"https://example.test/login.php"});
    }
}

TEST_CASE("the main queue runs on the event loop once the application launched", "[ui][queue]") {
    auto board = Storyboard::define("QueueTests");
    board->addScene("first", [] { return std::make_shared<ViewController>(); });
    board->setInitialScene("first", false);
    Application app(std::make_shared<ApplicationDelegate>());
    app.launch("QueueTests");

    auto main = foundation::SerialQueue::main();
    CHECK(main->isCurrent());
    std::vector<int> order;
    std::atomic<bool> onGuiThread{true};
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            main->async([&, i] {
                order.push_back(i);
                if (QThread::currentThread() != qApp->thread()) onGuiThread = false;
            });
    });
    worker.join();
    CHECK(order.empty()); // nothing runs until the loop turns
    REQUIRE(QTest::qWaitFor([&] { return order.size() == 5; }, 2000));
    CHECK(order == std::vector<int>{0, 1, 2, 3, 4});
    CHECK(onGuiThread);

    testsupport::ManualTimeOn time(main);
    bool late = false;
    main->after(0.25, [&] { late = true; });
    QCoreApplication::sendPostedEvents();
    CHECK_FALSE(late);
    time.advance(0.25);
    QCoreApplication::sendPostedEvents();
    CHECK(late);

    SECTION("a sync call from a worker waits for the loop") {
        int value = 0;
        std::thread t([&] { main->sync([&] { value = 42; }); });
        REQUIRE(QTest::qWaitFor([&] { return value == 42; }, 2000));
        t.join();
    }
}

TEST_CASE("tags find views depth first, the view itself first", "[ui][tag]") {
    QWidget root;
    auto* a = new QWidget(&root);
    auto* a1 = new QWidget(a);
    auto* b = new QWidget(&root);
    setTag(a1, 421);
    setTag(b, 421);
    b->setProperty("tag", 423); // how a Designer form sets it
    CHECK(viewWithTag(&root, 421) == a1);
    CHECK(viewWithTag(&root, 423) == b);
    CHECK(viewWithTag(&root, 999) == nullptr);
    CHECK(tag(a) == 0);
    setTag(&root, 423);
    CHECK(viewWithTag(&root, 423) == &root);
    CHECK(viewWithTag(nullptr, 1) == nullptr);
}

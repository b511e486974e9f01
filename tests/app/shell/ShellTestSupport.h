#pragma once
// Launching the clinic application in a test: a fresh home, the app's load hooks, a delegate whose SDK
// start is recorded, and URLs recorded instead of opened.
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/MainStoryboard.h"
#include "app/ProcessEntry.h"
#include "app/shell/CallStack.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestHome.h"

namespace shelltest {

struct LaunchedApp {
    std::shared_ptr<zurarerizIvaDadadavu> delegate = std::make_shared<zurarerizIvaDadadavu>();
    std::unique_ptr<ui::Application> app;
    std::vector<std::string> opened;
    bool sdkStarted = false;

    // Set defaults, statuses and scenes before calling this.
    void launch() {
        app::registerLoadHooks();
        delegate->setSDKStarter([this] { sdkStarted = true; });
        app = std::make_unique<ui::Application>(delegate);
        app->setURLHandler({nullptr, [this](const std::string& url) {
                                opened.push_back(url);
                                return true;
                            }});
        app->launch(app::kMainStoryboardName);
    }
    ui::Window& window() const { return *delegate->window(); }
    std::shared_ptr<ui::NavigationController> navigation() const {
        return std::dynamic_pointer_cast<ui::NavigationController>(window().rootViewController());
    }
    // Lets queued main-queue work (activation, the authorization answer) run.
    void settle(int ms = 100) const { QTest::qWait(ms); }
    // Lets queued work run until `done` holds (a photograph decoded on the image manager's pool, say),
    // however busy the machine; says whether it came within the generous limit.
    template <class Done> bool settleUntil(Done done, int limitMs = 20000) const {
        return QTest::qWaitFor(done, limitMs);
    }
    ~LaunchedApp() {
        app.reset();
        delegate->setWindow(nullptr);
    }
};

} // namespace shelltest

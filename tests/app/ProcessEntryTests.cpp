#include <QImage>
#include <catch2/catch.hpp>
#include <dlfcn.h>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/ProcessEntry.h"
#include "app/photos/albums/McInfo.h"
#include "app/shell/CallStack.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

namespace {
[[noreturn, gnu::noinline]] void raiseFromDeepInside() {
    foundation::raise(foundation::kInvalidArgumentException, "Could not find a storyboard named '%@'",
                      "Main");
}

std::string stackLine(const std::vector<std::string>& symbols) {
    return foundation::Value(foundation::Array(symbols.begin(), symbols.end())).description();
}
} // namespace

TEST_CASE("an exception escaping the main loop is logged with its call stack and thrown again",
          "[shell][entry]") {
    foundation::LogCapture log;
    SECTION("a named exception: the stack where it was raised, though others were thrown since") {
        const foundation::NamedException* raised = nullptr;
        std::exception_ptr escaped;
        try {
            app::runLoggingEscapes([&]() -> int {
                try {
                    raiseFromDeepInside();
                } catch (const foundation::NamedException& e) {
                    raised = &e;
                    try {
                        throw std::runtime_error("handled on the way out");
                    } catch (const std::runtime_error&) {
                    }
                    throw;
                }
            });
        } catch (const foundation::NamedException& e) {
            CHECK(&e == raised); // the same exception, thrown again
            escaped = std::current_exception();
        }
        REQUIRE(escaped);
        auto symbols = shell::callStackSymbols(escaped);
        CHECK(symbols.size() > 1);
        CHECK(log.lines() == std::vector<std::string>{stackLine(symbols)});
    }
    SECTION("a named exception carried over from another thread logs the stack of that thread") {
        std::exception_ptr fromWorker;
        std::thread([&] {
            try {
                raiseFromDeepInside();
            } catch (...) {
                fromWorker = std::current_exception();
            }
        }).join();
        auto symbols = shell::callStackSymbols(fromWorker);
        REQUIRE_FALSE(symbols.empty());
        CHECK_THROWS_AS(app::runLoggingEscapes([&]() -> int { std::rethrow_exception(fromWorker); }),
                        foundation::NamedException);
        CHECK(log.lines() == std::vector<std::string>{stackLine(symbols)});
    }
    SECTION("another kind: its type and message, then an empty stack") {
        CHECK_THROWS_AS(app::runLoggingEscapes([]() -> int { throw std::length_error("boom"); }),
                        std::length_error);
        CHECK_THROWS_AS(app::runLoggingEscapes([]() -> int { throw 7; }), int);
        CHECK(log.lines() ==
              std::vector<std::string>{"Exception 'std::length_error' escaped the main loop, reason: 'boom'",
                                       "()", "Exception 'int' escaped the main loop, reason: ''", "()"});
        CHECK(shell::callStackSymbols(std::make_exception_ptr(std::length_error("boom"))).empty());
    }
    SECTION("a normal end logs nothing") {
        CHECK(app::runLoggingEscapes([] { return 7; }) == 7);
        CHECK(log.lines().empty());
    }
}

TEST_CASE("throwing goes through the C++ runtime's own throw function", "[shell][entry]") {
    // A throw function defined in the executable would take over every throw in the process.
    Dl_info thrower{}, self{};
    void* resolved = dlsym(RTLD_DEFAULT, "__cxa_throw");
    REQUIRE(resolved);
    REQUIRE(dladdr(resolved, &thrower));
    REQUIRE(dladdr(reinterpret_cast<void*>(&raiseFromDeepInside), &self));
    CHECK(thrower.dli_fbase != self.dli_fbase);
}

TEST_CASE("the app's photographs a lost photo index no longer names go back to its camera album",
          "[shell][entry][photos]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    const auto camera = photoalbums::getPhotoFolderName();
    REQUIRE(camera);
    const std::string root = foundation::home::photoLibrary();
    std::vector<std::string> ids;
    {
        photos::PhotoLibrary before(root);
        for (QColor color : {Qt::red, Qt::blue}) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(color);
            REQUIRE_FALSE(before.performChangesAndWait(
                [&](photos::ChangeRequest& c) { ids.push_back(c.createImageAsset(image)); }));
        }
    }
    REQUIRE(std::filesystem::remove(root + "/Photos.sqlite"));

    app::registerLoadHooks();
    auto library = photos::PhotoLibrary::shared();
    REQUIRE(library->root() == root);
    library->queue()->drain();
    const auto albums = library->albumsWithTitle(*camera);
    REQUIRE(albums.size() == 1);
    std::vector<std::string> found;
    for (const auto& asset : library->assetsInAlbum(albums[0]))
        found.push_back(asset.localIdentifier);
    CHECK(std::set<std::string>(found.begin(), found.end()) == std::set<std::string>(ids.begin(), ids.end()));
}

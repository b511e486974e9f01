// The app's home: where it is, and what makes it unusable (no home at all, a folder that cannot be
// made, a disk that refuses writes).
#include <catch2/catch.hpp>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestHome.h"

using namespace foundation;
namespace fs = std::filesystem;

namespace {

// Sets (or, with none, unsets) the variables that decide the home for one test, and puts them back.
class HomeVariables {
  public:
    HomeVariables(std::optional<std::string> zaruvedez, std::optional<std::string> xdg,
                  std::optional<std::string> user) {
        for (const char* name : kNames) {
            const char* v = std::getenv(name);
            saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
        }
        set(kNames[0], zaruvedez);
        set(kNames[1], xdg);
        set(kNames[2], user);
        home::reset();
    }
    ~HomeVariables() {
        for (size_t i = 0; i < saved_.size(); ++i)
            set(kNames[i], saved_[i]);
        home::reset();
        home::setWriteCheckForTesting(nullptr);
    }

  private:
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    static constexpr const char* kNames[] = {"ZARUVEDEZ_HOME", "XDG_DATA_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved_;
};

} // namespace

TEST_CASE("the home is ZARUVEDEZ_HOME, else under XDG_DATA_HOME, else under HOME", "[home]") {
    {
        HomeVariables vars("/srv/clinic", "/data", "/home/staff");
        CHECK(home::root() == "/srv/clinic");
    }
    {
        HomeVariables vars(std::nullopt, "/data", "/home/staff");
        CHECK(home::root() == "/data/zaruvedez");
    }
    {
        HomeVariables vars("", "", "/home/staff");
        CHECK(home::root() == "/home/staff/.local/share/zaruvedez");
        CHECK(home::preferences() == "/home/staff/.local/share/zaruvedez/Library/Preferences");
    }
}

TEST_CASE("without HOME there is no home, and nothing falls back to a shared folder", "[home]") {
    HomeVariables vars(std::nullopt, std::nullopt, std::nullopt);
    CHECK(home::root().empty());
    for (const auto& folder : {home::documents(), home::library(), home::caches(), home::applicationSupport(),
                               home::preferences(), home::photoLibrary(), home::tmp()})
        CHECK(folder.empty());
    auto problem = home::ensureLayout();
    REQUIRE(problem);
    CHECK(problem->noHome());
    CHECK_FALSE(fs::exists("/tmp/.local/share/zaruvedez"));
    CHECK_FALSE(fs::exists("/Documents"));
    // Defaults have no file then: a setting is kept for the run only.
    LogCapture log;
    auto defaults = UserDefaults::suite("jp.zaruvedez.nohome");
    defaults->setObject(Value("x"), "k");
    CHECK(defaults->stringForKey("k") == "x");
    CHECK_FALSE(fs::exists("/jp.zaruvedez.nohome.plist"));
    UserDefaults::resetAll();
}

TEST_CASE("a home that cannot be made or written is reported with its folder and cause", "[home]") {
    const std::string base = testsupport::makeTempDir("zvbadhome");
    SECTION("a sound home: every folder made, nothing left of the checks") {
        HomeVariables vars(base + "/home", std::nullopt, "/nonexistent");
        CHECK_FALSE(home::ensureLayout());
        CHECK(fs::is_directory(base + "/home/Library/Application Support"));
        for (const auto& entry : fs::recursive_directory_iterator(base + "/home"))
            CHECK(entry.is_directory());
        CHECK_FALSE(home::ensureLayout()); // again: nothing changes
    }
    SECTION("a file where the home should be") {
        std::ofstream(base + "/home") << "not a folder";
        HomeVariables vars(base + "/home", std::nullopt, "/nonexistent");
        auto problem = home::ensureLayout();
        REQUIRE(problem);
        CHECK(problem->folder == base + "/home/Documents");
        CHECK((problem->error == ENOTDIR || problem->error == EEXIST));
    }
    SECTION("a disk that refuses writes, read-only or full") {
        const int refusal = GENERATE(EROFS, ENOSPC);
        HomeVariables vars(base + "/home", std::nullopt, "/nonexistent");
        home::setWriteCheckForTesting(
            [&](const std::string& folder) { return folder == home::preferences() ? refusal : 0; });
        auto problem = home::ensureLayout();
        REQUIRE(problem);
        CHECK(problem->folder == base + "/home/Library/Preferences");
        CHECK(problem->error == refusal);
    }
    fs::remove_all(base);
}

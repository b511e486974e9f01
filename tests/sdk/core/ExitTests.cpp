// The way out of a program that uses the SDK: a program that configures and leaves main at once, with
// no waiting of its own, ends cleanly every time (under AddressSanitizer in the sanitizer build), and
// what the SDK keeps on disk is whole: every property list reads, no temporary file is left, and the
// configuration's diagnostics record is stored.
#include <catch2/catch.hpp>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/Plist.h"
#include "tests/sdk/core/transport/StorageRig.h"
#include "tests/support/TestHome.h"

namespace fs = std::filesystem;

namespace {

int runs() {
    const char* v = std::getenv("ZARUVEDEZ_EXIT_RUNS");
    return v ? std::atoi(v) : 20;
}

} // namespace

TEST_CASE("A program that configures the SDK and leaves main at once exits cleanly every time",
          "[sdk][exit]") {
    for (int run = 0; run < runs(); ++run) {
        INFO("run " << run);
        const std::string home = testsupport::makeTempDir("zvexit");
        REQUIRE_FALSE(home.empty());
        const std::string output = home + "/output.txt";
        const std::string command =
            "ZARUVEDEZ_HOME='" + home + "' '" ZARUVEDEZ_CONFIGURE_AND_EXIT "' >'" + output + "' 2>&1";
        const int status = std::system(command.c_str());
        const std::string text = foundation::readTextFile(output).value_or("");
        INFO(text);
        REQUIRE(WIFEXITED(status));
        CHECK(WEXITSTATUS(status) == 0);
        for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error", "ThreadSanitizer"})
            CHECK(text.find(report) == std::string::npos);
        fs::remove(output);

        for (const auto& entry : fs::recursive_directory_iterator(home)) {
            const std::string name = entry.path().filename().string();
            INFO(entry.path());
            CHECK(name.find(".tmp-") == std::string::npos);
            if (entry.path().extension() == ".plist") CHECK(foundation::plist::readFile(entry.path()));
        }
        const auto stored = transporttest::persistedEvents(home + "/Library/Caches/ruvara-sdks-events");
        CHECK(stored.size() == 1); // the configuration's diagnostics record
        std::error_code ec;
        fs::remove_all(home, ec);
    }
}

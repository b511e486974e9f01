#include <catch2/catch.hpp>

#include <filesystem>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/StoragePayloads.h"
#include "tests/sdk/core/transport/TransportFakes.h"

using namespace transporttest;
using foundation::Data;
namespace fs = std::filesystem;

namespace {
Data bytes(const std::string& text) {
    return Data(text.begin(), text.end());
}
} // namespace

TEST_CASE("a batch of payload files is written in place and synced together",
          "[transport][storage][payloads]") {
    TempDir dir;
    auto path = [&](const std::string& name) { return dir.path + "/" + name; };

    SECTION("each file holds its bytes once synced, and a sync covers only what came since the last") {
        transport::PayloadBatch batch;
        REQUIRE(batch.add(path("event-1"), bytes("one")));
        REQUIRE(batch.add(path("event-2"), bytes("two, longer")));
        CHECK(batch.sync() == std::vector<bool>{true, true});
        CHECK(batch.sync().empty());
        REQUIRE(batch.add(path("event-3"), bytes("three")));
        CHECK(batch.sync() == std::vector<bool>{true});
        CHECK(foundation::readTextFile(path("event-1")) == std::optional<std::string>("one"));
        CHECK(foundation::readTextFile(path("event-2")) == std::optional<std::string>("two, longer"));
        CHECK(foundation::readTextFile(path("event-3")) == std::optional<std::string>("three"));
        // Written in place: no temporary files beside them.
        size_t files = 0;
        for (auto& e : fs::directory_iterator(dir.path))
            files += e.is_regular_file();
        CHECK(files == 3);
    }
    SECTION("a leftover of a write cut short is replaced whole") {
        REQUIRE(foundation::writeFileAtomically(path("event-4"), std::string("half-written leftover")));
        transport::PayloadBatch batch;
        REQUIRE(batch.add(path("event-4"), bytes("new")));
        CHECK(batch.sync() == std::vector<bool>{true});
        CHECK(foundation::readTextFile(path("event-4")) == std::optional<std::string>("new"));
    }
    SECTION("what cannot be written is refused and nothing is left in its place") {
        transport::PayloadBatch batch;
        fs::create_directories(path("event-5")); // a folder where the file should go
        CHECK_FALSE(batch.add(path("event-5"), bytes("x")));
        CHECK(fs::is_directory(path("event-5")));
        CHECK_FALSE(batch.add(path("missing/event-6"), bytes("x")));
        CHECK_FALSE(fs::exists(path("missing")));
        CHECK(batch.sync().empty());
    }
    SECTION("a symbolic link is not followed out of the folder") {
        TempDir outside;
        const std::string victim = outside.path + "/victim";
        REQUIRE(foundation::writeFileAtomically(victim, std::string("keep me")));
        REQUIRE(::symlink(victim.c_str(), path("event-7").c_str()) == 0);
        transport::PayloadBatch batch;
        CHECK_FALSE(batch.add(path("event-7"), bytes("x")));
        CHECK(foundation::readTextFile(victim) == std::optional<std::string>("keep me"));
    }
    SECTION("files of a batch given up before its sync are removed") {
        {
            transport::PayloadBatch batch;
            REQUIRE(batch.add(path("event-8"), bytes("never synced")));
        }
        CHECK_FALSE(fs::exists(path("event-8")));
    }
}

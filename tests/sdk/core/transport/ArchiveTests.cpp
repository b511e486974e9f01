#include <catch2/catch.hpp>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "tests/sdk/core/transport/TransportFakes.h"

using namespace transporttest;
using foundation::Data;
using foundation::Dictionary;
using foundation::Value;

namespace {
struct Thing : RDTCORCoding {
    Value v;
    Value encodeToArchive() const override { return v; }
};

Value sample() {
    return Value(Dictionary{{"$class", "Thing"},
                            {"s", "日本語"},
                            {"neg", -123456789012345},
                            {"big", int64_t(UINT64_MAX >> 1)},
                            {"r", 2.5},
                            {"b", true},
                            {"null", Value()},
                            {"data", Data{0, 255, 7}},
                            {"date", foundation::Date{1700000000.25}},
                            {"list", Value(foundation::Array{1, "two", Value(Dictionary{{"k", 3}})})}});
}
} // namespace

TEST_CASE("the archive encoding round-trips every value", "[transport][archive]") {
    Value v = sample();
    auto bytes = transport::codec::encodeValue(v);
    auto back = transport::codec::decodeValue(bytes.data(), bytes.size());
    REQUIRE(back);
    CHECK(*back == v);
    CHECK((*back)["neg"].intValue() == -123456789012345);
    CHECK((*back)["null"].isNull());
    CHECK((*back)["date"].date()->secondsSince1970 == 1700000000.25);
}

TEST_CASE("archives are written atomically and read back by class", "[transport][archive]") {
    TempDir dir;
    std::string path = dir.path + "/a/archive";
    Thing thing;
    thing.v = sample();
    foundation::ErrorPtr error;
    auto bytes = RDTCOREncodeArchive(thing, path, &error);
    REQUIRE(bytes);
    CHECK_FALSE(error);
    CHECK(foundation::readFile(path) == bytes);

    SECTION("from the file or from bytes") {
        auto fromFile = RDTCORDecodeArchive("Thing", path, nullptr, &error);
        REQUIRE(fromFile);
        CHECK(*fromFile == thing.v);
        auto fromBytes = RDTCORDecodeArchive("Thing", "", &*bytes, &error);
        REQUIRE(fromBytes);
        CHECK(*fromBytes == thing.v);
    }
    SECTION("a missing file is simply absent") {
        foundation::LogCapture log;
        foundation::ErrorPtr none;
        CHECK_FALSE(RDTCORDecodeArchive("Thing", dir.path + "/missing", nullptr, &none));
        CHECK_FALSE(none);
        CHECK(log.lines().empty());
    }
    SECTION("an older class name decodes as the class it became") {
        RDTCORArchiveSetClassName("OldThing", "Thing");
        thing.v = Value(Dictionary{{"$class", "OldThing"}, {"x", 1}});
        REQUIRE(RDTCOREncodeArchive(thing, path));
        auto back = RDTCORDecodeArchive("Thing", path, nullptr);
        REQUIRE(back);
        CHECK((*back)["x"].intValue() == 1);
    }
    SECTION("damaged, truncated, foreign or other-class input reads as absent with a log line") {
        Data damaged = *bytes;
        damaged[damaged.size() / 2] ^= 0x40;
        Data truncated(bytes->begin(), bytes->end() - 3);
        Data longer = *bytes;
        longer.push_back(0);
        std::string text = "<?xml version=\"1.0\"?><plist/>";
        Data foreign(text.begin(), text.end());
        for (const Data& bad : {damaged, truncated, longer, foreign, Data{}}) {
            foundation::LogCapture log;
            foundation::ErrorPtr err;
            CHECK_FALSE(RDTCORDecodeArchive("Thing", "", &bad, &err));
            CHECK(err);
            CHECK(log.contains("[RuvaraDataTransport][I-RDTCOR001007] The archive"));
        }
        foundation::ErrorPtr err;
        CHECK_FALSE(RDTCORDecodeArchive("Other", path, nullptr, &err));
        CHECK(err);
    }
    SECTION("a body whose counts promise more than it holds is refused, not trusted") {
        // An array claiming a huge count right before the end.
        Data body{'a', 0xff, 0xff, 0xff, 0xff, 0x0f};
        CHECK_FALSE(transport::codec::decodeValue(body.data(), body.size()));
        Data framed = transport::codec::frame(body);
        CHECK_FALSE(transport::codec::unframe(framed));
        Data deep;
        for (int i = 0; i < 200; ++i)
            deep.insert(deep.end(), {'a', 1});
        deep.push_back('n');
        CHECK_FALSE(transport::codec::decodeValue(deep.data(), deep.size()));
    }
    SECTION("a write that cannot happen reports an error") {
        foundation::LogCapture log;
        foundation::writeFileAtomically(dir.path + "/file", std::string("x"));
        foundation::ErrorPtr err;
        CHECK_FALSE(RDTCOREncodeArchive(thing, dir.path + "/file/inside", &err));
        CHECK(err);
        CHECK(log.contains("Attempt to write archive failed"));
    }
}

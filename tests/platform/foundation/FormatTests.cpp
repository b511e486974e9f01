#include <catch2/catch.hpp>

#include "platform/foundation/Format.h"
#include "platform/foundation/PercentEncoding.h"

using foundation::format;

namespace {
struct Thing {
    std::string description() const { return "<thing>"; }
};
} // namespace

TEST_CASE("format replaces %@ with descriptions and printf placeholders with values", "[format]") {
    CHECK(format("App named %@ has already been configured.", std::string("x")) ==
          "App named x has already been configured.");
    CHECK(format("%@/%@", "vev-ios", "6.8.0") == "vev-ios/6.8.0");
    CHECK(format("I-RDTCOR%06ld", 1234L) == "I-RDTCOR001234");
    CHECK(format("%@%@%@000", 6, "08", "00") == "60800000");
    CHECK(format("%02d", 7) == "07");
    CHECK(format("Start,%lu", size_t(12)) == "Start,12");
    CHECK(format("%.2f", 0.25) == "0.25");
    CHECK(format("%@", Thing{}) == "<thing>");
    CHECK(format("%@", foundation::Value(true)) == "1");
    CHECK(format("%s!", "hi") == "hi!");
}

TEST_CASE("format edge cases", "[format]") {
    SECTION("a message with no arguments prints literally, placeholders included") {
        CHECK(format("100% sure %@") == "100% sure %@");
    }
    SECTION("%% writes one percent and consumes no argument") {
        CHECK(format("%d%% of %@", 50, "x") == "50% of x");
    }
    SECTION("a placeholder without an argument stays as written") {
        CHECK(format("%@ and %@", "a") == "a and %@");
    }
    SECTION("a trailing lone percent is kept") {
        CHECK(format("%@ %", "a") == "a %");
    }
    SECTION("width applies to %@") {
        CHECK(format("[%5@]", "ab") == "[   ab]");
    }
    SECTION("null C strings print as (null)") {
        CHECK(format("%@", static_cast<const char*>(nullptr)) == "(null)");
    }
}

TEST_CASE("percent-encoding keeps only what is safe", "[foundation][format]") {
    CHECK(foundation::percentEncode("abc-XYZ_09.~", "-_.") == "abc-XYZ_09.%7E");
    CHECK(foundation::percentEncode("abc-XYZ_09.~", "-._~") == "abc-XYZ_09.~");
    // Separators, dots of a parent path and bytes beyond ASCII never pass through.
    CHECK(foundation::percentEncode("../a/b c", "") == "%2E%2E%2Fa%2Fb%20c");
    CHECK(foundation::percentEncode("歯", "-") == "%E6%AD%AF");
    CHECK(foundation::percentEncode(std::string_view("\0x", 2), "") == "%00x");
}

// The sending device's script: what is a step and what is refused.
#include <catch2/catch.hpp>

#include "tools/peer-send/PeerScript.h"

using peersend::parseScript;
using peersend::Step;

TEST_CASE("peer-send scripts read one step a line", "[tools][peer-send]") {
    std::string error;
    auto steps = parseScript({"# a transfer of one", "", "text:Start,1", "expect:Readiness",
                              "file:/tmp/a b.jpg", "text:", "text:a:b", "wait:250\r", "bye"},
                             error);
    REQUIRE(steps);
    REQUIRE(steps->size() == 7);
    CHECK((*steps)[0].kind == Step::Text);
    CHECK((*steps)[0].argument == "Start,1");
    CHECK((*steps)[1].kind == Step::Expect);
    CHECK((*steps)[2].argument == "/tmp/a b.jpg");
    CHECK((*steps)[3].argument.empty()); // an empty text is still a text
    CHECK((*steps)[4].argument == "a:b");
    CHECK((*steps)[5].milliseconds == 250);
    CHECK((*steps)[6].kind == Step::Bye);

    for (const char* bad : {"send:x", "file:", "wait:", "wait:-1", "wait:10s", "Start,1"}) {
        INFO(bad);
        CHECK_FALSE(parseScript({bad}, error));
        CHECK(error.find("line 1") == 0);
    }
}

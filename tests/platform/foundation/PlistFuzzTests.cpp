// Mutations of sound plists, binary and text, fed to the plist reader that every plist file of the
// program goes through (user defaults, Info.plist, the options file, heartbeats, keychain items, the
// legacy identity marker). None may stop the process; whatever is read can be written and read again.
#include <catch2/catch.hpp>

#include "platform/foundation/Plist.h"
#include "tests/support/Mutator.h"
#include "tests/support/PlistSamples.h"

using namespace foundation;
using namespace testsupport;

namespace {

Value richValue() {
    return Value(Dictionary{
        {"name", Value("歯科クリニック")},
        {"ascii", Value("plain")},
        {"empty", Value("")},
        {"count", Value(42)},
        {"negative", Value(-7)},
        {"big", Value(int64_t(1) << 40)},
        {"ratio", Value(0.25)},
        {"flag", Value(true)},
        {"off", Value(false)},
        {"bytes", Value(Data{0, 1, 2, 0xfe, 0xff})},
        {"when", Value(Date{1700000000.25})},
        {"list", Value(Array{Value("a"), Value(Array{Value(1), Value(Dictionary{{"k", Value("v")}})})})},
        {"nested", Value(Dictionary{{"inner", Value(Dictionary{{"deep", Value(Array{})}})}})},
    });
}

} // namespace

TEST_CASE("the plist reader survives mutated plists", "[plist][fuzz]") {
    using namespace std::string_literals;
    const Value sample = richValue();
    std::vector<Data> seeds{plist::toBinary(sample),
                            plist::toXml(sample),
                            nameDictionary(u"ab"),
                            nestedBinary(8),
                            binaryPlist({array({1, 1, 2}), utf16(u"é"), ascii("x")}),
                            bytes(xmlPlist("<array><string>a</string><integer>1</integer></array>"))};
    // What damaged files hold: NUL characters, length markers, type markers, nesting.
    Mutator m(fuzzSeed(20260321),
              {"\0\0"s,     "\0"s,      "\x6f\x10"s, "\x5f\x11"s, "\xaf\x13"s, "\xd1"s,  "\x61"s,  "\x80"s,
               "<array>",   "</array>", "<dict>",    "<key>",     "<string>",  "<data>", "<date>", "<!--",
               "<![CDATA[", "&#0;",     "&#x0;",     "&amp;",     "/>",        "\""});
    size_t read = 0;
    for (size_t i = 0, n = fuzzIterations(60000); i < n; ++i) {
        Data input = m.mutate(seeds);
        auto v = plist::parse(input);
        if (!v) continue;
        ++read;
        // What was read is sound: it writes and reads back in both forms.
        REQUIRE(plist::parse(plist::toBinary(*v)));
        REQUIRE(plist::parse(plist::toXml(*v)));
    }
    INFO("read " << read);
    CHECK(read > 0);
}

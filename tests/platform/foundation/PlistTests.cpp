// Damaged property lists: refused as malformed, never a reason to stop, whichever reader meets them.
// Dates of any year read back as they were written.
#include <catch2/catch.hpp>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Plist.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/PlistSamples.h"
#include "tests/support/TestHome.h"

using namespace foundation;
using namespace testsupport;

namespace {

void writeBytes(const std::string& path, const Data& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Seconds since 1970 of a UTC time on the proleptic Gregorian calendar.
double secondsOf(std::chrono::year_month_day day, int hour = 0, int minute = 0, double second = 0) {
    return double(std::chrono::sys_days(day).time_since_epoch().count()) * 86400 + hour * 3600 + minute * 60 +
           second;
}

} // namespace

TEST_CASE("dates of any year survive a write and a read", "[plist]") {
    using namespace std::chrono;
    struct Sample {
        const char* name;
        double seconds;
        const char* xml; // the date as an XML plist writes it
    };
    const Sample samples[] = {
        {"1600-01-01", secondsOf(1600y / 1 / 1), "1600-01-01T00:00:00Z"},
        {"1900-02-28 23:59:59.999", secondsOf(1900y / 2 / 28, 23, 59, 59.999), "1900-02-28T23:59:59Z"},
        {"1931-12-31", secondsOf(1931y / 12 / 31), "1931-12-31T00:00:00Z"},
        {"1990-01-01 12:00:00.25", secondsOf(1990y / 1 / 1, 12, 0, 0.25), "1990-01-01T12:00:00Z"},
        {"2000-12-31 23:59:59.5", secondsOf(2000y / 12 / 31, 23, 59, 59.5), "2000-12-31T23:59:59Z"},
        {"2001-01-01", secondsOf(2001y / 1 / 1), "2001-01-01T00:00:00Z"},
        {"2024-05-06 07:08:09.123", secondsOf(2024y / 5 / 6, 7, 8, 9.123), "2024-05-06T07:08:09Z"},
        {"2069-12-31", secondsOf(2069y / 12 / 31), "2069-12-31T00:00:00Z"},
        {"2100-06-15 12:34:56.789", secondsOf(2100y / 6 / 15, 12, 34, 56.789), "2100-06-15T12:34:56Z"},
        {"4000-01-01", secondsOf(4000y / 1 / 1), "4000-01-01T00:00:00Z"},
        {"9999-12-31 23:59:59.999", secondsOf(9999y / 12 / 31, 23, 59, 59.999), "9999-12-31T23:59:59Z"},
    };
    auto readBack = [](const Data& bytes) -> std::optional<double> {
        auto v = plist::parse(bytes);
        if (!v || !v->dictionary() || !v->dictionary()->count("when")) return std::nullopt;
        const auto* date = v->dictionary()->at("when").date();
        if (!date) return std::nullopt;
        return date->secondsSince1970;
    };
    SECTION("a binary plist keeps them to the millisecond") {
        for (const auto& s : samples) {
            INFO(s.name);
            auto back = readBack(plist::toBinary(Value(Dictionary{{"when", Value(Date{s.seconds})}})));
            REQUIRE(back);
            CHECK(std::abs(*back - s.seconds) < 1e-4);
        }
    }
    SECTION("an XML plist holds whole seconds: the second each date falls in") {
        for (const auto& s : samples) {
            INFO(s.name);
            const Data xml = plist::toXml(Value(Dictionary{{"when", Value(Date{s.seconds})}}));
            CHECK_THAT(std::string(xml.begin(), xml.end()),
                       Catch::Matchers::Contains(std::string("<date>") + s.xml + "</date>"));
            auto back = readBack(xml);
            REQUIRE(back);
            CHECK(*back == std::floor(s.seconds));
        }
    }
}

TEST_CASE("a date that is not one makes the file damaged; dates at the ends of years 1 to 9999 read",
          "[plist]") {
    using namespace std::chrono;
    auto binaryDate = [](double seconds) {
        return plist::toBinary(Value(Dictionary{{"when", Value(Date{seconds})}}));
    };
    auto xmlDate = [](const std::string& text) {
        return bytes(xmlPlist("<dict><key>when</key>" + text + "</dict>"));
    };
    auto dateIn = [](const Data& bytes) -> std::optional<double> {
        auto v = plist::parse(bytes);
        if (!v || !v->dictionary() || !v->dictionary()->count("when") || !v->dictionary()->at("when").date())
            return std::nullopt;
        return v->dictionary()->at("when").date()->secondsSince1970;
    };
    const double firstSecond = secondsOf(1y / 1 / 1), pastLastSecond = secondsOf(10000y / 1 / 1);
    SECTION("a binary date that is not finite or lies outside years 1 to 9999") {
        for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300, pastLastSecond,
                           std::nextafter(firstSecond, -HUGE_VAL)}) {
            INFO(bad);
            CHECK_FALSE(plist::parse(binaryDate(bad)));
        }
        CHECK(dateIn(binaryDate(firstSecond)) == firstSecond);
        CHECK(dateIn(binaryDate(pastLastSecond - 0.001)) == pastLastSecond - 0.001);
    }
    SECTION("XML date text that names no day and time of years 1 to 9999") {
        for (const char* bad : {"<date>garbage</date>",
                                "<date></date>",
                                "<date/>",
                                "<date>  </date>",
                                "<date>2024-13-45T99:99:99Z</date>",
                                "<date>2024-02-30T00:00:00Z</date>",
                                "<date>2023-02-29T00:00:00Z</date>",
                                "<date>1900-02-29T00:00:00Z</date>",
                                "<date>2024-04-31T00:00:00Z</date>",
                                "<date>2024-00-10T00:00:00Z</date>",
                                "<date>2024-01-00T00:00:00Z</date>",
                                "<date>2024-01-01T24:00:00Z</date>",
                                "<date>2024-01-01T23:60:00Z</date>",
                                "<date>2024-01-01T23:59:60Z</date>",
                                "<date>0000-01-01T00:00:00Z</date>",
                                "<date>10000-01-01T00:00:00Z</date>",
                                "<date>2024-02-29</date>",
                                "<date>2024-02-30</date>",
                                "<date>2024-02-29T12:00:00</date>",
                                "<date>2024-02-29T12:00:00+09:00</date>",
                                "<date>2024-02-29T12:00:00.5Z</date>",
                                "<date>2024-2-9T01:02:03Z</date>",
                                "<date>2024-02-29 12:00:00Z</date>",
                                "<date>2024-02-29T12:00:00Zjunk</date>",
                                "<date>-2024-02-29T12:00:00Z</date>",
                                "<date>2024-02-29T12:00:00&#90;</date>",
                                "<date>2024-02-29T12:00:00<!-- -->Z</date>"}) {
            INFO(bad);
            CHECK_FALSE(plist::parse(xmlDate(bad)));
        }
    }
    SECTION("XML dates of years 1 to 9999, leap days, and a year written with fewer than four digits") {
        CHECK(dateIn(xmlDate("<date>0001-01-01T00:00:00Z</date>")) == firstSecond);
        CHECK(dateIn(xmlDate("<date>1-01-01T00:00:00Z</date>")) == firstSecond);
        CHECK(dateIn(xmlDate("<date>999-12-31T23:59:59Z</date>")) == secondsOf(999y / 12 / 31, 23, 59, 59));
        CHECK(dateIn(xmlDate("<date>9999-12-31T23:59:59Z</date>")) == pastLastSecond - 1);
        CHECK(dateIn(xmlDate("<date>2024-02-29T12:00:00Z</date>")) == secondsOf(2024y / 2 / 29, 12));
        CHECK(dateIn(xmlDate("<date>2000-02-29T00:00:00Z</date>")) == secondsOf(2000y / 2 / 29));
        CHECK(dateIn(xmlDate("<date>\n  2024-05-06T07:08:09Z\n</date>")) ==
              secondsOf(2024y / 5 / 6, 7, 8, 9));
        CHECK(dateIn(xmlDate("<date >2024-05-06T07:08:09Z</date >")) == secondsOf(2024y / 5 / 6, 7, 8, 9));
    }
    SECTION("what a date once written holds reads again, whatever its year") {
        for (double seconds :
             {firstSecond + 0.5, secondsOf(500y / 6 / 1, 1, 2, 3.25), pastLastSecond - 0.5}) {
            INFO(seconds);
            CHECK(dateIn(plist::toXml(Value(Dictionary{{"when", Value(Date{seconds})}}))) ==
                  std::floor(seconds));
            CHECK(dateIn(binaryDate(seconds)) == Approx(seconds).margin(1e-3));
        }
    }
}

TEST_CASE("strings are read by their stored length", "[plist]") {
    SECTION("UTF-16 text reads whole") {
        auto v = plist::parse(nameDictionary(u"歯科ab"));
        REQUIRE(v);
        CHECK((*v)["name"] == Value("歯科ab"));
    }
    SECTION("a NUL character in a value, a key or a text file makes the whole file damaged") {
        using namespace std::string_literals;
        CHECK_FALSE(plist::parse(nameDictionary(u"ab\0c"s)));
        CHECK_FALSE(plist::parse(binaryPlist({utf16(u"\0"s)})));
        CHECK_FALSE(plist::parse(binaryPlist({dictionary({{1, 2}}), utf16(u"k\0"s), ascii("x")})));
        CHECK_FALSE(plist::parse(bytes(xmlPlist("<string>a\0b</string>"s))));
        CHECK_FALSE(plist::parse(bytes(xmlPlist("<dict><key>a\0</key><true/></dict>"s))));
    }
    SECTION("text that is not UTF-8 would not survive a rewrite: the file is damaged") {
        CHECK_FALSE(plist::parse(binaryPlist({ascii("caf\xe9")})));
        CHECK_FALSE(plist::parse(bytes(xmlPlist("<string>\xed\xa0\x80</string>"))));
        CHECK_FALSE(plist::parse(bytes(xmlPlist("<dict><key>\xe0\x80\xaf</key><true/></dict>"))));
        CHECK(plist::parse(bytes(xmlPlist("<string>\xf0\x9f\xa6\xb7</string>")))->stringValue() == "🦷");
    }
}

TEST_CASE("nesting, sharing and references are bounded", "[plist]") {
    SECTION("nesting up to the limit reads, one level more does not") {
        auto deepest = plist::parse(nestedBinary(plist::kMaxDepth - 1));
        REQUIRE(deepest);
        const Value* v = &*deepest;
        for (int level = 1; level < plist::kMaxDepth; ++level) {
            REQUIRE(v->array());
            v = &v->array()->front();
        }
        CHECK(*v == Value("x"));
        CHECK_FALSE(plist::parse(nestedBinary(plist::kMaxDepth)));
        CHECK(plist::parse(bytes(xmlPlist(repeated("<array>", 200) + repeated("</array>", 200)))));
        CHECK_FALSE(plist::parse(bytes(xmlPlist(repeated("<array>", 300) + repeated("</array>", 300)))));
    }
    SECTION("self-closing elements, comments and quoted attributes add no depth") {
        std::string items = repeated("<true/><!-- <array> --><string><![CDATA[<array>]]></string>", 400);
        auto v = plist::parse(bytes(xmlPlist("<array>" + items + "</array>")));
        REQUIRE(v);
        CHECK(v->array()->size() == 800);
        CHECK((*v->array())[1] == Value("<array>"));
    }
    SECTION("an object referred to many times is read each time") {
        std::vector<uint64_t> items(14, 1);
        auto v = plist::parse(binaryPlist({array(items), ascii("same")}));
        REQUIRE(v);
        CHECK(*v->array() == Array(14, Value("same")));
    }
    SECTION("every damaged sample is refused") {
        for (const auto& [what, bytes] : damagedPlists()) {
            INFO(what);
            CHECK_FALSE(plist::parse(bytes));
        }
    }
}

TEST_CASE("large sound plists read, whatever width their offsets take", "[plist]") {
    // Near a megabyte the writer gives offsets three bytes each.
    const Data big(900000, 0x5a);
    const Value v(Dictionary{{"data", Value(big)}, {"text", Value(std::string(70000, 'x'))}});
    for (const auto& bytes : {plist::toBinary(v), plist::toXml(v)}) {
        auto back = plist::parse(bytes);
        REQUIRE(back);
        CHECK(*back == v);
    }
}

TEST_CASE("a plist file larger than the limit is not read", "[plist]") {
    TempHome home;
    const std::string path = home.path() + "/big.plist";
    std::string body = "<data>" + std::string(plist::kMaxBytes, 'A') + "</data>";
    writeBytes(path, bytes(xmlPlist(body)));
    CHECK_FALSE(plist::readFile(path));
    CHECK(readFile(path, 16) == std::nullopt);
    CHECK(readFile(path)->size() > plist::kMaxBytes);
}

TEST_CASE("readers of plist files treat a damaged one as absent and go on", "[plist]") {
    TempHome home;
    const auto samples = damagedPlists();
    SECTION("user defaults start empty and write a sound file again") {
        for (size_t i = 0; i < samples.size(); ++i) {
            INFO(samples[i].first);
            const std::string suite = "jp.zaruvedez.damaged" + std::to_string(i);
            writeBytes(home::preferences() + "/" + suite + ".plist", samples[i].second);
            auto defaults = UserDefaults::suite(suite);
            CHECK(defaults->dictionaryRepresentation().empty());
            defaults->setObject(Value("kept"), "k");
        }
        home.relaunch();
        for (size_t i = 0; i < samples.size(); ++i)
            CHECK(UserDefaults::suite("jp.zaruvedez.damaged" + std::to_string(i))->stringForKey("k") ==
                  "kept");
    }
    SECTION("a bundle with a damaged Info.plist has no identifier") {
        for (const auto& [what, damaged] : samples) {
            INFO(what);
            const std::string bundle = home.path() + "/bundle";
            writeBytes(bundle + "/Info.plist", damaged);
            Bundle::setMainPath(bundle);
            CHECK(Bundle::main()->bundleIdentifier().empty());
            CHECK(Bundle::main()->objectForInfoDictionaryKey("CFBundleIdentifier").isNull());
        }
        Bundle::setMainPath("");
    }
}

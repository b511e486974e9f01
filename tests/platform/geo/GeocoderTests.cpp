#include <catch2/catch.hpp>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <fstream>

#include "platform/foundation/SerialQueue.h"
#include "platform/geo/Geocoder.h"
#include "platform/geo/ZipCodeDictionary.h"
#include "platform/ui/MainQueue.h"
#include "tests/support/TestHome.h"

using geo::Geocoder;
using geo::Placemark;
using geo::ZipCodeDictionary;

namespace {

struct Outcome {
    bool called = false;
    int calls = 0;
    bool onMainThread = false;
    std::vector<Placemark> placemarks;
    foundation::ErrorPtr error;
};

// Runs one look-up and waits on the event loop for its completion.
Outcome geocode(Geocoder& geocoder, const std::string& text) {
    auto out = std::make_shared<Outcome>();
    geocoder.geocodeAddressString(
        text, [out](const std::vector<Placemark>& p, const foundation::ErrorPtr& e) {
            out->called = true;
            ++out->calls;
            out->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            out->placemarks = p;
            out->error = e;
        });
    (void)QTest::qWaitFor([&] { return out->called; }, 10000);
    QTest::qWait(20); // a second delivery would show up here
    return *out;
}

struct MainQueueOnEventLoop {
    MainQueueOnEventLoop() { ui::installMainQueueExecutor(); }
    ~MainQueueOnEventLoop() { ui::removeMainQueueExecutor(); }
};

bool haveSystemDictionary() {
    return std::ifstream(geo::kDefaultZipCodeDictionaryPath).good();
}

} // namespace

TEST_CASE("Postal codes are read in the forms a receptionist types", "[geo]") {
    for (const char* text :
         {"0600000", "〒0600000", "〒060-0000", "060-0000", "〒 060 − 0000", "０６０－００００"})
        CHECK(ZipCodeDictionary::normalizeZip(text).value_or("") == "0600000");
    for (const char* text : {"", "〒", "12", "060-000", "06000000", "060-0000a", "東京都千代田区"})
        CHECK_FALSE(ZipCodeDictionary::normalizeZip(text).has_value());
}

TEST_CASE("Addresses split into prefecture, municipality and town", "[geo]") {
    auto dict = ZipCodeDictionary::fromText(";; comment line\n"
                                            "0040000 /北海道札幌市厚別区/北海道札幌市清田区/\n"
                                            "0040801 /北海道札幌市清田区里塚一条/\n"
                                            "0610200 /北海道石狩郡当別町/\n"
                                            "0610201 /北海道石狩郡当別町青山/\n"
                                            "1940000 /東京都町田市/\n"
                                            "1940013 /東京都町田市原町田/\n"
                                            "1000301 /東京都利島村/\n"
                                            "6040800 /京都府京都市中京区松本町/\n"
                                            "6040000 /京都府京都市中京区/\n"
                                            "6040801 /京都府京都市中京区松本町南/\n"
                                            "9999999 /沖縄県八重山郡与那国町与那国/\n"
                                            "broken line\n");
    REQUIRE(dict->size() == 11);

    auto one = [&](const char* zip, size_t index = 0) {
        auto found = dict->lookup(zip);
        REQUIRE(found.size() > index);
        return found[index];
    };
    SECTION("a municipality is the shortest whole municipality the address starts with") {
        auto a = one("0040801");
        CHECK(a.prefecture == "北海道");
        CHECK(a.municipality == "札幌市清田区");
        CHECK(a.rest == "里塚一条");
        // "町田市" begins with a town's suffix; the town area ends with one.
        CHECK(one("1940013").municipality == "町田市");
        CHECK(one("1940013").rest == "原町田");
        CHECK(one("0610201").municipality == "石狩郡当別町");
        // A town area whose own code ends in "00" does not hide its city.
        CHECK(one("6040801").municipality == "京都市中京区");
        CHECK(one("6040801").rest == "松本町南");
    }
    SECTION("a code covering several places gives each of them") {
        auto found = dict->lookup("〒004-0000");
        REQUIRE(found.size() == 2);
        CHECK(found[0].municipality == "札幌市厚別区");
        CHECK(found[1].municipality == "札幌市清田区");
    }
    SECTION("municipalities without a code of their own") {
        CHECK(one("1000301").municipality == "利島村");
        CHECK(one("1000301").rest.empty());
        auto y = one("9999999");
        CHECK(y.municipality == "八重山郡与那国町");
        CHECK(y.rest == "与那国");
    }
    SECTION("unknown and malformed codes find nothing") {
        CHECK(dict->lookup("1111111").empty());
        CHECK(dict->lookup("12").empty());
    }
}

TEST_CASE("The system dictionary answers real postal codes", "[geo]") {
    if (!haveSystemDictionary()) {
        WARN("skkdic-extra is not installed");
        return;
    }
    auto dict = ZipCodeDictionary::shared();
    REQUIRE(dict);
    CHECK(dict->size() > 100000);
    auto check = [&](const char* zip, const char* pref, const char* city) {
        auto found = dict->lookup(zip);
        REQUIRE_FALSE(found.empty());
        CHECK(found[0].prefecture == pref);
        CHECK(found[0].municipality == city);
    };
    check("0600000", "北海道", "札幌市中央区");
    check("1000001", "東京都", "千代田区");
    check("1940013", "東京都", "町田市");
    check("5100001", "三重県", "四日市市");
    check("0610201", "北海道", "石狩郡当別町");
    check("9071801", "沖縄県", "八重山郡与那国町");
}

TEST_CASE("The geocoder completes on the main thread", "[geo]") {
    MainQueueOnEventLoop mainQueue;
    testsupport::TempHome home;
    const std::string fixture = home.path() + "/zip.txt";
    // The dictionary on disk is EUC-JP: "0600000 /北海道札幌市中央区/" and its municipality line.
    {
        std::ofstream f(fixture, std::ios::binary);
        f << ";; fixture\n0600000 "
             "/\xCB\xCC\xB3\xA4\xC6\xBB\xBB\xA5\xCB\xDA\xBB\xD4\xC3\xE6\xB1\xFB\xB6\xE8/\n";
    }
    const std::string previous = Geocoder::dictionaryPath();
    Geocoder::setDictionaryPath(fixture);

    SECTION("a known code, with or without hyphen, gives prefecture and city") {
        for (const char* text : {"〒0600000", "〒060-0000"}) {
            Geocoder geocoder;
            auto out = geocode(geocoder, text);
            CHECK(out.calls == 1);
            CHECK(out.onMainThread);
            CHECK_FALSE(out.error);
            REQUIRE(out.placemarks.size() == 1);
            auto address = out.placemarks[0].addressDictionary();
            CHECK(address["State"].stringValue() == "北海道");
            CHECK(address["City"].stringValue() == "札幌市中央区");
            CHECK(address["ZIP"].stringValue() == "060-0000");
            CHECK_FALSE(geocoder.isGeocoding());
        }
    }
    SECTION("an unknown or short code gives no placemark") {
        for (const char* text : {"〒1234567", "〒12", "〒"}) {
            Geocoder geocoder;
            auto out = geocode(geocoder, text);
            CHECK(out.calls == 1);
            CHECK(out.onMainThread);
            CHECK(out.placemarks.empty());
            REQUIRE(out.error);
            CHECK(out.error->code() == geo::kGeocodeFoundNoResult);
        }
    }
    SECTION("a cancelled look-up reports the cancel once") {
        Geocoder geocoder;
        auto out = std::make_shared<Outcome>();
        geocoder.geocodeAddressString("〒0600000", [out](auto& p, auto& e) {
            ++out->calls;
            out->called = true;
            out->placemarks = p;
            out->error = e;
        });
        geocoder.cancelGeocode();
        (void)QTest::qWaitFor([&] { return out->called; }, 5000);
        QTest::qWait(50);
        CHECK(out->calls == 1);
        REQUIRE(out->error);
        CHECK(out->error->code() == geo::kGeocodeCanceled);
    }
    SECTION("a missing dictionary is an error, not a crash") {
        Geocoder::setDictionaryPath(home.path() + "/none.txt");
        Geocoder geocoder;
        auto out = geocode(geocoder, "〒0600000");
        CHECK(out.placemarks.empty());
        REQUIRE(out.error);
        CHECK(out.error->code() == geo::kGeocodeDictionaryUnavailable);
    }
    Geocoder::setDictionaryPath(previous);
}

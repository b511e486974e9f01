#include <catch2/catch.hpp>

#include <filesystem>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Plist.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestHome.h"

using namespace foundation;

TEST_CASE("the app home is laid out under ZARUVEDEZ_HOME", "[home]") {
    testsupport::TempHome home;
    CHECK(home::root() == home.path());
    for (auto d : {"Documents", "Library/Caches", "Library/Application Support", "Library/Preferences",
                   "PhotoLibrary", "tmp"})
        CHECK(std::filesystem::is_directory(home.path() + "/" + d));
}

TEST_CASE("property lists round-trip every value type", "[plist]") {
    Dictionary d{{"s", Value("日本語")},
                 {"i", Value(-5)},
                 {"b", Value(true)},
                 {"r", Value(2.5)},
                 {"a", Value(Array{1, "x"})},
                 {"data", Value(Data{0, 1, 255})},
                 {"date", Value(Date{1700000000.5})}};
    for (auto bytes : {plist::toXml(Value(d)), plist::toBinary(Value(d))}) {
        auto back = plist::parse(bytes);
        REQUIRE(back);
        CHECK((*back)["s"] == Value("日本語"));
        CHECK((*back)["i"].intValue() == -5);
        CHECK((*back)["b"].type() == Value::Type::Bool);
        CHECK((*back)["r"].doubleValue() == 2.5);
        CHECK(*back->operator[]("a").array() == Array{1, "x"});
        CHECK((*back)["data"] == Value(Data{0, 1, 255}));
        CHECK((*back)["date"].date()->secondsSince1970 == Approx(1700000000.5));
    }
    CHECK_FALSE(plist::parse(Data{'n', 'o', 'p', 'e'}));
    CHECK_FALSE(plist::parse(Data{}));
}

TEST_CASE("values read as bools and numbers the usual way", "[value]") {
    for (const char* yes : {"YES", "true", " t", "1", "+7", "-3", "007"})
        CHECK(Value(yes).boolValue());
    for (const char* no : {"NO", "false", "", "0", "000", "-0", "abc", " ", "0x1"})
        CHECK_FALSE(Value(no).boolValue());
    CHECK(Value(2.5).boolValue());
    CHECK_FALSE(Value(0).boolValue());
    CHECK(Value(true) == Value(1));
    CHECK(Value(1.0) == Value(1));
    CHECK(Value(true).hash() == Value(1.0).hash()); // equal numbers hash alike
    CHECK(Value("12").intValue() == 12);
    CHECK(Value(Dictionary{{"k", 1}})["missing"].isNull());
}

TEST_CASE("user defaults persist per suite across launches", "[defaults]") {
    testsupport::TempHome home;
    auto std1 = UserDefaults::standard();
    std1->setBool(true, "flag");
    std1->setObject(Value("x"), "s");
    UserDefaults::suite("com.example.other")->setObject(Value(3), "n");
    CHECK(std::filesystem::exists(home.path() + "/Library/Preferences/com.example.other.plist"));

    home.relaunch();
    auto again = UserDefaults::standard();
    CHECK(again != std1);
    CHECK(again->boolForKey("flag"));
    CHECK(again->stringForKey("s") == "x");
    CHECK(UserDefaults::suite("com.example.other")->integerForKey("n") == 3);
    CHECK(again->objectForKey("n").isNull());

    again->removeObjectForKey("flag");
    home.relaunch();
    CHECK(UserDefaults::standard()->objectForKey("flag").isNull());
}

TEST_CASE("the main bundle reads its Info.plist and finds resources", "[bundle]") {
    auto b = Bundle::main();
    CHECK_FALSE(b->bundleIdentifier().empty());
    CHECK(b->pathForResource("Info", "plist"));
    CHECK_FALSE(b->pathForResource("Missing", "plist"));
}

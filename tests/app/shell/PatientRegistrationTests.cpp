#include <catch2/catch.hpp>

#include "app/shell/PatientRegistration.h"

using namespace shell;

TEST_CASE("Registration fields and stored columns convert both ways", "[shell][patient]") {
    SECTION("postal code") {
        CHECK(composePostal("0600000") == "060-0000");
        CHECK(splitPostal("060-0000") == "0600000");
        // Short codes are kept as typed: nothing to put a hyphen between.
        CHECK(composePostal("12") == "12");
        CHECK(composePostal("123") == "123");
        CHECK(composePostal("") == "");
        CHECK(splitPostal("12") == "12");
    }
    SECTION("names") {
        CHECK(joinName("山田", "花子") == "山田\u3000花子");
        CHECK(splitName("山田\u3000花子") == std::array<std::string, 2>{"山田", "花子"});
        CHECK(splitName("山田太郎") == std::array<std::string, 2>{"山田太郎", ""});
        CHECK(splitName("Yamada Hanako") == std::array<std::string, 2>{"Yamada", "Hanako"});
        CHECK(splitName("") == std::array<std::string, 2>{"", ""});
    }
    SECTION("telephone numbers") {
        CHECK(joinTel("03", "1234", "5678") == "03-1234-5678");
        // Empty parts keep their place: an unknown middle part stays in the middle.
        CHECK(joinTel("", "", "") == "--");
        CHECK(joinTel("090", "", "5678") == "090--5678");
        CHECK(splitTel("090--5678") == std::array<std::string, 3>{"090", "", "5678"});
        CHECK(splitTel("03-1234-5678") == std::array<std::string, 3>{"03", "1234", "5678"});
        CHECK(splitTel("0312345678") == std::array<std::string, 3>{"0312345678", "", ""});
        CHECK(splitTel("090-1234") == std::array<std::string, 3>{"090", "1234", ""});
        CHECK(splitTel("03-1234-5678-9") == std::array<std::string, 3>{"03", "1234", "5678-9"});
        CHECK(splitTel("") == std::array<std::string, 3>{"", "", ""});
    }
    SECTION("sex") {
        CHECK(sexForSegment(0) == "男");
        CHECK(sexForSegment(1) == "女");
    }
}

#include <catch2/catch.hpp>

#include "app/store/DemoData.h"
#include "app/store/FormJson.h"
#include "app/store/InquiryResult.h"

using nlohmann::ordered_json;
using store::InquiryScores;

namespace {
InquiryScores scoresOf(const char* json) {
    return store::inquiryScores(ordered_json::parse(json));
}
} // namespace

TEST_CASE("questionnaire scores", "[InquiryResult]") {
    SECTION("the seed answers give 4, 3, 5, 1, 3") {
        CHECK(scoresOf(store::kDemoInquiryResult) == InquiryScores{4, 3, 5, 1, 3});
    }

    SECTION("no answers at all give 1 everywhere") {
        CHECK(scoresOf("{}") == InquiryScores{1, 1, 1, 1, 1});
        CHECK(store::inquiryScores(store::inquiryResultJSON({})) == InquiryScores{1, 1, 1, 1, 1});
    }

    SECTION("graph1 takes question 12 before question 14") {
        CHECK(scoresOf(R"({"12":"3"})").graph1 == 5);
        CHECK(scoresOf(R"({"12":"2","14":"1"})").graph1 == 4);
        CHECK(scoresOf(R"({"12":"1","14":"2"})").graph1 == 3);
        CHECK(scoresOf(R"({"14":"1"})").graph1 == 3);
        CHECK(scoresOf(R"({"14":"2"})").graph1 == 2);
        CHECK(scoresOf(R"({"12":"4","14":"3"})").graph1 == 1);
        CHECK(scoresOf(R"({"12":["2"]})").graph1 == 1); // only a string equals a text
    }

    SECTION("graph2 and graph3 add up and stop at 5") {
        CHECK(scoresOf(R"({"21":"1","71":["1","2"]})").graph2 == 4);
        CHECK(scoresOf(R"({"21":"1","71":["1","2","3","4","5"]})").graph2 == 5);
        CHECK(scoresOf(R"({"21":"2","71":["1"]})").graph2 == 2);
        CHECK(scoresOf(R"({"41":"1","42":"1"})").graph3 == 3);
        CHECK(scoresOf(R"({"41":"1","61":["1","2","3","4","5"]})").graph3 == 5); // 61 counts at most 3
        CHECK(scoresOf(R"({"61":["1","2","3","4","5"]})").graph3 == 4);
    }

    SECTION("graph4 rounds the weighted sum of question 81 to tens") {
        CHECK(scoresOf(R"({"81":["15","16","17"]})").graph4 == 2);        // 15 → 1.5 → 2
        CHECK(scoresOf(R"({"81":["1"]})").graph4 == 1);                   // 1 → 0, raised to 1
        CHECK(scoresOf(R"({"81":["3","9","12"]})").graph4 == 1);          // 12 → 1
        CHECK(scoresOf(R"({"81":["2","3","9","12","15"]})").graph4 == 2); // 20 → 2
        nlohmann::ordered_json all = {{"81", nlohmann::ordered_json::array()}};
        for (int c = 1; c <= 17; ++c)
            all["81"].push_back(std::to_string(c));
        CHECK(store::inquiryScores(all).graph4 == 5); // the largest sum, 50
    }

    SECTION("graph5 adds the yes answers and the count of question 51") {
        CHECK(scoresOf(R"({"31":"1","32":"1"})").graph5 == 3);
        CHECK(scoresOf(R"({"51":"0"})").graph5 == 1);
        CHECK(scoresOf(R"({"51":"2"})").graph5 == 2);
        CHECK(scoresOf(R"({"51":"3"})").graph5 == 3);
        CHECK(scoresOf(R"({"51":"7"})").graph5 == 4);
        CHECK(scoresOf(R"({"31":"1","32":"1","51":"4"})").graph5 == 5);
        CHECK(scoresOf(R"({"51":"-2"})").graph5 == 1);
    }

    SECTION("odd stored answers never fail the scoring") {
        CHECK(scoresOf(R"({"81":"15","71":"x","61":{"a":1}})") == InquiryScores{1, 1, 1, 1, 1});
        CHECK(scoresOf(R"({"81":["99","-3","abc",null,[1],"15",16]})").graph4 == 1); // 15 and 16: 10
        CHECK(scoresOf(R"({"51":null})").graph5 == 1);
        CHECK(store::inquiryScores(ordered_json("just text")) == InquiryScores{1, 1, 1, 1, 1});
    }
}

TEST_CASE("questionnaire between tags and stored JSON", "[InquiryResult]") {
    SECTION("tags are grouped by range") {
        const auto json = store::inquiryResultJSON({{"4304", "on"},
                                                    {"4301", "on"},
                                                    {"122", "on"},
                                                    {"21", "2"},
                                                    {"10012", "on"},
                                                    {"611", "on"},
                                                    {"613", "on"}});
        CHECK(json ==
              ordered_json::parse(R"({"100":["12"],"12":"2","text_21":"2","43":["1","4"],"61":"3"})"));
        CHECK(store::compactJSON(json).find(' ') == std::string::npos);
    }

    SECTION("keys without a number land in text_0") {
        const auto json = store::inquiryResultJSON({{"graph1", "4"}});
        CHECK(json == ordered_json::parse(R"({"text_0":"4"})"));
    }

    SECTION("the seed answers spread onto their tags") {
        store::FormData items;
        store::mergeInquiryResult(ordered_json::parse(store::kDemoInquiryResult), items);
        std::vector<std::string> keys;
        for (const auto& [key, value] : items)
            keys.push_back(key);
        std::vector<std::string> expected = {"421",  "774",  "211",  "321",  "111",  "4301", "4304",
                                             "4309", "4307", "4311", "8110", "7101", "122",  "6109",
                                             "6107", "6105", "6103", "6101", "6106", "0",    "511",
                                             "21",   "32",   "412",  "312"};
        std::sort(expected.begin(), expected.end());
        CHECK(keys == expected);
        CHECK(items["0"] == "1");
        CHECK(items["21"] == "2");
        CHECK(items["32"] == "睡眠導入剤");
        CHECK(items["4311"] == "on");
    }

    SECTION("merging adds to what is there and skips other member types") {
        store::FormData items = {{"11", "kept"}};
        store::mergeInquiryResult(ordered_json::parse(R"({"12":"2","text_13":"it's","15":3,"16":{"a":"b"}})"),
                                  items);
        CHECK(items == store::FormData{{"11", "kept"}, {"122", "on"}, {"13", "it's"}});
        store::mergeInquiryResult(store::parseStoredJSON("not json"), items);
        CHECK(items.size() == 3);
    }

    SECTION("answers survive a round trip") {
        const store::FormData items = {
            {"11", "山田 \"quoted\" it's"}, {"122", "on"}, {"4301", "on"}, {"4311", "on"}, {"10012", "on"}};
        store::FormData back;
        store::mergeInquiryResult(store::parseStoredJSON(store::compactJSON(store::inquiryResultJSON(items))),
                                  back);
        CHECK(back == items);
    }
}

TEST_CASE("form JSON helpers", "[FormJson]") {
    CHECK(store::leadingInteger("42abc") == 42);
    CHECK(store::leadingInteger("  -7") == -7);
    CHECK(store::leadingInteger("text_5") == 0);
    CHECK(store::leadingInteger("99999999999999") == INT_MAX);
    CHECK(store::formDataFromJSON(R"({"1":"a","2":3,"3":null,"4":["x"]})") ==
          store::FormData{{"1", "a"}, {"2", "3"}});
    CHECK(store::formDataFromJSON("[1,2]").empty());
    CHECK(store::formDataFromJSON("{broken").empty());
    CHECK(store::formDataJSON({{"1", "a/b"}, {"2", "●"}}) == R"({"1":"a\/b","2":"●"})");
}

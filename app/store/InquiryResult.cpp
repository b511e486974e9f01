#include "app/store/InquiryResult.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/store/FormJson.h"

namespace store {

using nlohmann::ordered_json;

ordered_json inquiryResultJSON(const FormData& inputItems) {
    ordered_json result = ordered_json::object();
    for (const auto& [key, value] : inputItems) {
        const int n = leadingInteger(key);
        if (n >= 1000) {
            ordered_json& member = result[std::to_string(n / 100)];
            // A single-choice member of the same number is replaced, as a later key of a group is.
            if (!member.is_array()) member = ordered_json::array();
            member.push_back(std::to_string(n % 100));
        } else if (n >= 100) {
            result[std::to_string(n / 10)] = std::to_string(n % 10);
        } else {
            result["text_" + std::to_string(n)] = value;
        }
    }
    return result;
}

void mergeInquiryResult(const ordered_json& result, FormData& inputItems) {
    if (!result.is_object()) return;
    for (const auto& [name, value] : result.items()) {
        const int64_t group = leadingInteger(name);
        if (value.is_string()) {
            if (name.find("text_") == std::string::npos)
                inputItems[std::to_string(group * 10 + leadingInteger(value.get_ref<const std::string&>()))] =
                    "on";
            else
                inputItems[name.size() > 5 ? name.substr(5) : std::string()] = value.get<std::string>();
        } else if (value.is_array()) {
            for (const auto& element : value)
                inputItems[std::to_string(group * 100 + jsonNumber(element))] = "on";
        }
    }
}

namespace {

bool memberEquals(const ordered_json& result, const char* name, const char* text) {
    const auto it = result.find(name);
    return it != result.end() && it->is_string() && it->get_ref<const std::string&>() == text;
}

int memberCount(const ordered_json& result, const char* name) {
    const auto it = result.find(name);
    return it != result.end() && it->is_array() ? int(it->size()) : 0;
}

// Weight of each choice of question 81 (index = choice number).
constexpr std::array<int, 18> kGraph4Weights = {0, 1, 3, 4, 2, 2, 3, 3, 3, 4, 2, 2, 4, 1, 1, 5, 5, 5};

int graph1(const ordered_json& r) {
    if (memberEquals(r, "12", "3")) return 5;
    if (memberEquals(r, "12", "2")) return 4;
    if (memberEquals(r, "12", "1")) return 3;
    if (memberEquals(r, "14", "1")) return 3;
    if (memberEquals(r, "14", "2")) return 2;
    return 1;
}

int graph2(const ordered_json& r) {
    return std::min(5, (memberEquals(r, "21", "1") ? 2 : 1) + memberCount(r, "71"));
}

int graph3(const ordered_json& r) {
    const int yes = int(memberEquals(r, "41", "1")) + int(memberEquals(r, "42", "1"));
    return std::min(5, 1 + yes + std::min(3, memberCount(r, "61")));
}

int graph4(const ordered_json& r) {
    int64_t s = 0;
    const auto it = r.find("81");
    if (it != r.end() && it->is_array()) {
        for (const auto& element : *it) {
            const int choice = jsonNumber(element);
            if (choice >= 0 && choice < int(kGraph4Weights.size())) s += kGraph4Weights[size_t(choice)];
        }
    }
    const int64_t q = s / 10, rest = s - 10 * q;
    const int64_t score = rest >= 5 ? q + 1 : q;
    return score == 0 ? 1 : int(score);
}

int graph5(const ordered_json& r) {
    int score = 1 + int(memberEquals(r, "31", "1")) + int(memberEquals(r, "32", "1"));
    const auto it = r.find("51");
    const int v = it != r.end() ? jsonNumber(*it) : 0;
    if (v >= 4)
        score += 3;
    else if (v == 3)
        score += 2;
    else if (v >= 1)
        score += 1;
    return std::min(5, score);
}

} // namespace

InquiryScores inquiryScores(const ordered_json& result) {
    if (!result.is_object()) return {};
    return {graph1(result), graph2(result), graph3(result), graph4(result), graph5(result)};
}

} // namespace store

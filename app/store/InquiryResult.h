#pragma once
// The questionnaire between its two shapes: in memory the answers are keyed by the view tag that
// holds them (`inputItems`); stored, they are one JSON object grouped by question
// (`inquiryResultJSON`), from which the five radar scores are computed.
#include <nlohmann/json.hpp>

#include "app/store/ClinicState.h"

namespace store {

// Groups the tag keys: n >= 1000 → array member n/100 gains "n%100"; 100 <= n < 1000 → member n/10
// is "n%10"; n < 100 → member "text_n" holds the text. Members appear in key order.
nlohmann::ordered_json inquiryResultJSON(const FormData& inputItems);

// Spreads a stored object back onto tag keys ("on" for marked circles, the text for text fields),
// adding to what `inputItems` already holds. Anything but an object adds nothing.
void mergeInquiryResult(const nlohmann::ordered_json& result, FormData& inputItems);

struct InquiryScores {
    int graph1 = 1, graph2 = 1, graph3 = 1, graph4 = 1, graph5 = 1;
    bool operator==(const InquiryScores&) const = default;
};

// The five radar scores of a stored questionnaire; never fails on odd input.
InquiryScores inquiryScores(const nlohmann::ordered_json& result);

} // namespace store

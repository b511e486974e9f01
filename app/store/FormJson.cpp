#include "app/store/FormJson.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace store {

int leadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT_MAX) + 1) value = int64_t(INT_MAX) + 1; // keeps saturating
    }
    if (negative) return value > int64_t(INT_MAX) ? INT_MIN : int(-value);
    return value > INT_MAX ? INT_MAX : int(value);
}

int jsonNumber(const nlohmann::ordered_json& value) {
    if (value.is_string()) return leadingInteger(value.get_ref<const std::string&>());
    if (value.is_number_integer() || value.is_number_unsigned()) {
        const int64_t n = value.is_number_unsigned()
                              ? int64_t(std::min<uint64_t>(value.get<uint64_t>(), INT64_MAX))
                              : value.get<int64_t>();
        return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : int(n);
    }
    return 0;
}

nlohmann::ordered_json parseStoredJSON(std::string_view text) {
    return nlohmann::ordered_json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
}

std::string compactJSON(const nlohmann::ordered_json& value) {
    std::string text =
        value.dump(-1, ' ', /*ensure_ascii=*/false, nlohmann::ordered_json::error_handler_t::replace);
    // "/" is written "\/", as the stored rows always had it; outside strings JSON has no "/" to change.
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

std::string formDataJSON(const FormData& form) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [key, value] : form)
        object[key] = value;
    return compactJSON(object);
}

bool isReadableForm(std::string_view text) {
    return text.empty() || parseStoredJSON(text).is_object();
}

FormData formDataFromJSON(std::string_view text) {
    FormData form;
    const auto parsed = parseStoredJSON(text);
    if (!parsed.is_object()) return form;
    for (const auto& [key, value] : parsed.items()) {
        if (value.is_string())
            form[key] = value.get<std::string>();
        else if (value.is_number() || value.is_boolean())
            form[key] = value.dump();
    }
    return form;
}

} // namespace store

#pragma once
// The JSON text of the stored forms: compact, UTF-8, read leniently (any JSON value at the top, a
// broken text reads as nothing) so one damaged row never stops a form from opening.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "app/store/ClinicState.h"

namespace store {

// The leading decimal integer of a text, as the tag keys use it: leading blanks and a sign are
// accepted, anything else ends the number; no digits gives 0; out-of-range values saturate.
int leadingInteger(std::string_view text);

// The number a JSON element stands for: a string's leading integer, an integral number's value, else 0.
int jsonNumber(const nlohmann::ordered_json& value);

// Parses a stored text; a text that is not JSON gives a discarded value (is_discarded()).
nlohmann::ordered_json parseStoredJSON(std::string_view text);

// Compact UTF-8 text, "/" written as "\/"; invalid UTF-8 in a value is replaced rather than failing
// the save. The one writer of the form records and the photo rows.
std::string compactJSON(const nlohmann::ordered_json& value);

// Whether a stored form's text reads as a form: a JSON object, or nothing stored at all (empty).
bool isReadableForm(std::string_view text);

// A form's dictionary as stored in certifMst/letterMst.result and photoMst.photo_num.
std::string formDataJSON(const FormData& form);
// The members of a stored JSON object; numbers and booleans keep their text, other members are
// skipped. Anything but an object reads as an empty form.
FormData formDataFromJSON(std::string_view text);

} // namespace store

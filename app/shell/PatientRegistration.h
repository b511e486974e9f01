#pragma once
// One patient's registration data between the form's fields and the stored columns: name and kana
// joined by an ideographic space, the postal code with its hyphen, telephone numbers from three parts,
// and back. The rows themselves are the store's (app/store/PatientRows.h).
#include <array>
#include <string>

namespace shell {

inline constexpr const char* kIdeographicSpace = "\u3000";

// "0600000" → "060-0000"; three characters or fewer are kept as typed.
std::string composePostal(const std::string& digits);
// Every "-" removed.
std::string splitPostal(const std::string& stored);

// Family and given name joined by an ideographic space.
std::string joinName(const std::string& family, const std::string& given);
// Split at the first ideographic space (else at an ASCII space); without one the whole text is the
// family name.
std::array<std::string, 2> splitName(const std::string& stored);

// The three parts joined by "-", empty ones included, so each part comes back to its own field.
std::string joinTel(const std::string& a, const std::string& b, const std::string& c);
// Split at the first two "-"; missing parts are empty, the third keeps anything after a further "-".
std::array<std::string, 3> splitTel(const std::string& stored);

// "男" for segment 0, "女" for any other.
std::string sexForSegment(int segment);

} // namespace shell

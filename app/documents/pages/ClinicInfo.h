#pragma once
// The clinic's own details, which the clinic puts into the Documents folder as "clinicInfo.json" and
// the form pages print: name, address, director, logo and so on.
#include <QPixmap>
#include <map>
#include <optional>
#include <string>

namespace documents {

inline constexpr const char* kClinicInfoFile = "clinicInfo.json";

// The text members of the file's first "clinicInfo" element. None, logged as "Not ClinicInfo File.",
// when the file is missing, can't be read as JSON or holds no such element; a member that is not text
// is logged the same way and left out.
std::optional<std::map<std::string, std::string>> readClinicInfo(const std::string& documentsFolder);

// The postal label of a clinic: "〒" and the code; empty when the file has no postal code at all.
std::string clinicPostalText(const std::map<std::string, std::string>& info);

// The logo image the file names, from the same folder; a null pixmap when there is none (a named but
// missing image is logged as "Not Logo Image.").
QPixmap clinicLogo(const std::string& documentsFolder);

} // namespace documents

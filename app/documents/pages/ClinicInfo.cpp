#include "app/documents/pages/ClinicInfo.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace documents {

std::optional<std::map<std::string, std::string>> readClinicInfo(const std::string& documentsFolder) {
    const auto bytes =
        foundation::readFile((std::filesystem::path(documentsFolder) / kClinicInfoFile).string());
    if (!bytes) {
        foundation::log("Not ClinicInfo File.");
        return std::nullopt;
    }
    // A file the clinic got wrong (not JSON, no clinic in it) is as good as none: logged the same way,
    // it leaves the pages without its details, never without the page.
    const auto json = nlohmann::json::parse(bytes->begin(), bytes->end(), nullptr, false);
    const auto list = json.is_object() ? json.find("clinicInfo") : json.end();
    if (list == json.end() || !list->is_array() || list->empty() || !(*list)[0].is_object()) {
        foundation::log("Not ClinicInfo File.");
        return std::nullopt;
    }
    std::map<std::string, std::string> info;
    bool malformed = false;
    for (const auto& [key, value] : (*list)[0].items()) {
        if (value.is_string())
            info[key] = value.get<std::string>();
        else
            malformed = true;
    }
    // A member that is not text (a number, null) is a mistake in the file as much as broken JSON, and
    // logged the same way; the members that are text still print.
    if (malformed) foundation::log("Not ClinicInfo File.");
    return info;
}

std::string clinicPostalText(const std::map<std::string, std::string>& info) {
    const auto postal = info.find("postal");
    // No code, no mark: a lone "〒" would read as a code left out by mistake.
    return postal == info.end() ? std::string() : "〒" + postal->second;
}

QPixmap clinicLogo(const std::string& documentsFolder) {
    const auto info = readClinicInfo(documentsFolder);
    if (!info) return {};
    const auto logo = info->find("logo");
    if (logo == info->end() || logo->second.empty()) return {};
    // Only a plain file name in the Documents folder counts; a path could reach anywhere.
    const std::filesystem::path name(logo->second);
    const std::filesystem::path path = std::filesystem::path(documentsFolder) / name;
    std::error_code error;
    if (name.has_parent_path() || !std::filesystem::is_regular_file(path, error)) {
        foundation::log("Not Logo Image.");
        return {};
    }
    QPixmap image(QString::fromStdString(path.string()));
    if (image.isNull()) foundation::log("Not Logo Image.");
    return image;
}

} // namespace documents

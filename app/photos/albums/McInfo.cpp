#include "app/photos/albums/McInfo.h"

#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Files.h"

namespace photoalbums {

namespace {
std::optional<std::string> mcInfoValue(const char* key) {
    auto path = foundation::Bundle::main()->pathForResource("mcInfo", "json");
    if (!path) return std::nullopt;
    auto data = foundation::readFile(*path);
    if (!data) return std::nullopt;
    const auto json = nlohmann::json::parse(data->begin(), data->end(), nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) return std::nullopt;
    auto list = json.find("mcInfo");
    if (list == json.end() || !list->is_array() || list->empty() || !(*list)[0].is_object())
        return std::nullopt;
    auto value = (*list)[0].find(key);
    if (value == (*list)[0].end() || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::mutex titleMutex;
std::string& title() {
    static std::string t = "Eye-Fi";
    return t;
}
} // namespace

std::optional<std::string> getServiceType() {
    return mcInfoValue("ServiceType");
}

std::optional<std::string> getPhotoFolderName() {
    return mcInfoValue("PhotoFolderName");
}

std::string cameraAlbumTitle() {
    std::lock_guard lock(titleMutex);
    return title();
}

void setPhotoFolderName(const std::optional<std::string>& value) {
    std::lock_guard lock(titleMutex);
    title() = value.value_or(std::string());
}

} // namespace photoalbums

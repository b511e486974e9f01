// The upload extras of an event: a JSON object in its custom bytes with the network-info request flag,
// the network connection record (base64) and the event code (decimal text).
#include <charconv>
#include <nlohmann/json.hpp>

#include "sdk/core/transport/Base64.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORLog.h"

using nlohmann::json;

namespace {
constexpr const char* kNeedsNetworkInfoKey = "needs_network_connection_info";
constexpr const char* kNetworkInfoKey = "network_connection_info";
constexpr const char* kEventCodeKey = "event_code_info";

// The extras object; nothing when there are no custom bytes or they are not a JSON object.
std::optional<json> readExtras(const std::optional<foundation::Data>& bytes, const char* failure) {
    if (!bytes) return std::nullopt;
    json object = json::parse(bytes->begin(), bytes->end(), nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        RDTCORLogDebug(failure, "the custom bytes are not a JSON object");
        return std::nullopt;
    }
    return object;
}

// Reads the extras (a new object when there are none), applies `change` and stores the result. Extras
// that cannot be read are left as they are.
void updateExtras(RDTCOREvent& event, const char* failure, const std::function<void(json&)>& change) {
    json object = json::object();
    if (event.customBytes()) {
        auto existing = readExtras(event.customBytes(), failure);
        if (!existing) return;
        object = std::move(*existing);
    }
    change(object);
    try {
        std::string text = object.dump();
        event.setCustomBytes(foundation::Data(text.begin(), text.end()));
    } catch (const json::exception& e) {
        RDTCORLogDebug(failure, e.what());
        event.setCustomBytes(std::nullopt);
    }
}

} // namespace

bool RDTCOREvent::needsNetworkConnectionInfoPopulated() const {
    auto object =
        readExtras(customBytes_, "Error when checking the event for needs_network_connection_info: %@");
    if (!object) return false;
    auto it = object->find(kNeedsNetworkInfoKey);
    return it != object->end() && it->is_boolean() && it->get<bool>();
}

void RDTCOREvent::setNeedsNetworkConnectionInfoPopulated(bool needsNetworkInfo) {
    updateExtras(*this, "Error when setting the event for needs_network_connection_info: %@", [&](json& o) {
        if (needsNetworkInfo)
            o[kNeedsNetworkInfoKey] = true;
        else
            o.erase(kNeedsNetworkInfoKey);
    });
}

std::optional<foundation::Data> RDTCOREvent::networkConnectionInfoData() const {
    auto object = readExtras(customBytes_, "Error when getting an event's network_connection_info: %@");
    if (!object) return std::nullopt;
    auto it = object->find(kNetworkInfoKey);
    if (it == object->end() || !it->is_string()) return std::nullopt;
    return transport::base64Decode(it->get_ref<const std::string&>());
}

void RDTCOREvent::setNetworkConnectionInfoData(const std::optional<foundation::Data>& data) {
    if (!data) return;
    updateExtras(*this, "Error when setting an event's network_connection_info: %@",
                 [&](json& o) { o[kNetworkInfoKey] = transport::base64Encode(*data); });
}

std::optional<int64_t> RDTCOREvent::eventCode() const {
    auto object = readExtras(customBytes_, "Error when getting an event's event_code: %@");
    if (!object) return std::nullopt;
    auto it = object->find(kEventCodeKey);
    if (it == object->end() || !it->is_string()) return std::nullopt;
    const std::string& text = it->get_ref<const std::string&>();
    int64_t code = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return code;
}

void RDTCOREvent::setEventCode(std::optional<int64_t> code) {
    updateExtras(*this, "Error when setting an event's event_code: %@", [&](json& o) {
        if (code)
            o[kEventCodeKey] = std::to_string(*code);
        else
            o.erase(kEventCodeKey);
    });
}

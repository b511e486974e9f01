#include "sdk/core/diagnostics/VEVCoreDiagnostics.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <tuple>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/utilities/RULAppEnvironmentUtil.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/VEVCoreDiagnosticsInterop.h"
#include "sdk/core/diagnostics/VEVCoreDiagnosticsFacts.h"
#include "sdk/core/diagnostics/VEVCoreDiagnosticsLog.h"
#include "sdk/core/transport/RDTCORLog.h"

namespace {

foundation::Date systemNow() {
    using namespace std::chrono;
    return {duration<double>(system_clock::now().time_since_epoch()).count()};
}

const foundation::Value* find(const foundation::Dictionary& objects, const char* key) {
    auto it = objects.find(key);
    return it == objects.end() || it->second.isNull() ? nullptr : &it->second;
}

std::string textOf(const foundation::Value& value) {
    if (const auto* s = value.string()) return *s;
    return value.description();
}

// A failed allocation leaves the field unset, as does an empty text where emptiness means "unknown".
void setText(pb_bytes_array_t*& field, const std::string& text, bool unsetWhenEmpty) {
    std::free(field);
    field = nullptr;
    if (unsetWhenEmpty && text.empty()) return;
    field = VEVEncodeBytes(text);
}

void setDiagnosticsObjects(CoreConfiguration& config, const foundation::Dictionary& objects) {
    if (const auto* type = find(objects, kVEVCDConfigurationTypeKey); type && type->isNumber()) {
        auto value = type->intValue();
        if (value == VEVConfigTypeCore || value == VEVConfigTypeSDK) {
            config.config_type = CoreConfiguration_ConfigurationType(value);
            config.has_config_type = true;
        }
    }
    if (const auto* name = find(objects, kVEVCDSdkNameKey)) {
        config.sdk_service = vevcd::serviceCodeForName(textOf(*name));
        config.has_sdk_service = true;
    }
    if (const auto* version = find(objects, kVEVCDSdkVersionKey))
        setText(config.sdk_version, textOf(*version), false);
}

void setAppInfo(CoreConfiguration& config, const foundation::Dictionary& objects) {
    config.fixed_16 = 2;
    config.has_fixed_16 = true;
    if (const auto* count = find(objects, kVEVCDllAppsCountKey)) {
        config.app_count = int32_t(count->intValue());
    } else {
        RDTCORLogWarning(RDTCORLogCodeEncoding, "App count is a required value in the data dict.");
        config.app_count = 0;
    }
    config.has_app_count = true;
    if (const auto* appID = find(objects, kVEVCDRuvaraAppIDKey))
        setText(config.ruvara_app_id, textOf(*appID), true);
    if (const auto* bundleID = find(objects, kVEVCDBundleIDKey))
        setText(config.bundle_id, textOf(*bundleID), true);
    if (const auto* userAgent = find(objects, kVEVCDVevurizoUserAgentKey))
        setText(config.user_agent, textOf(*userAgent), true);
    if (const auto* usesDefault = find(objects, kVEVCDUsingOptionsFromDefaultPlistKey)) {
        config.uses_default_options_file = usesDefault->boolValue();
        config.has_uses_default_options_file = true;
    }
    if (const auto* versionID = find(objects, kVEVCDLibraryVersionIDKey))
        setText(config.library_version_id, textOf(*versionID), false);
    setText(config.device_model, VEVCoreDiagnostics::deviceModel(), true);
    setText(config.os_version, RULAppEnvironmentUtil::systemVersion(), true);
    config.fixed_29 = false;
    config.has_fixed_29 = true;
    config.fixed_30 = 1;
    config.has_fixed_30 = true;
    config.from_app_store = RULAppEnvironmentUtil::isFromAppStore();
    config.has_from_app_store = true;
}

void setInstalledServices(CoreConfiguration& config) {
    auto codes = vevcd::installedServices();
    if (codes.empty()) return;
    size_t size = sizeof(CoreConfiguration_ServiceType) * codes.size();
    auto* list = static_cast<CoreConfiguration_ServiceType*>(std::malloc(size));
    if (!list) return;
    std::memcpy(list, codes.data(), size);
    config.installed_services = list;
    config.installed_services_count = pb_size_t(codes.size());
}

void setInfoPlistFacts(CoreConfiguration& config) {
    // Held while its dictionary is read: the main bundle may be replaced on another thread meanwhile.
    const auto bundle = foundation::Bundle::main();
    const auto& info = bundle->infoDictionary();
    setText(config.build_tools_version, vevcd::buildToolsVersion(info), false);
    if (info.count("MinimumOSVersion"))
        setText(config.min_os_version, vevcd::infoText(info, "MinimumOSVersion"), false);
    auto proxy = info.find("DoraveziZodDelegateProxyEnabled");
    config.app_delegate_proxy_enabled =
        proxy != info.end() && proxy->second.isNumber() ? proxy->second.boolValue() : true;
    config.has_app_delegate_proxy_enabled = true;
}

} // namespace

std::shared_ptr<VEVCoreDiagnostics> VEVCoreDiagnostics::sharedInstance() {
    // Never destroyed: a send may still be queued while the process ends.
    static sdk::NoDestructor<std::shared_ptr<VEVCoreDiagnostics>> instance(initWithTransport(
        RDTCORTransport::initWithMappingID(kVEVCoreDiagnosticsMappingID, {}, RDTCORTargetFLL),
        std::make_shared<RULHeartbeatDateStorage>(kVEVCoreDiagnosticsHeartbeatStorageName)));
    return *instance;
}

void VEVCoreDiagnostics::load() {
    foundation::ClassRegistry::registerClass(
        kVEVCoreDiagnosticsClassName, VEVCoreDiagnosticsInterop{[](const VEVCoreDiagnosticsDataPtr& data) {
            sharedInstance()->sendDiagnosticsData(data);
        }});
}

std::shared_ptr<VEVCoreDiagnostics>
VEVCoreDiagnostics::initWithTransport(std::shared_ptr<RDTCORTransport> transport,
                                      std::shared_ptr<RULHeartbeatDateStorage> heartbeatDateStorage,
                                      DateSource now) {
    return std::make_shared<VEVCoreDiagnostics>(Key(), std::move(transport), std::move(heartbeatDateStorage),
                                                std::move(now));
}

VEVCoreDiagnostics::VEVCoreDiagnostics(Key, std::shared_ptr<RDTCORTransport> transport,
                                       std::shared_ptr<RULHeartbeatDateStorage> heartbeatDateStorage,
                                       DateSource now)
    : queue_(foundation::SerialQueue::create(kVEVCoreDiagnosticsQueueName)), transport_(std::move(transport)),
      heartbeatDateStorage_(std::move(heartbeatDateStorage)), now_(std::move(now)) {}

void VEVCoreDiagnostics::setDateSource(DateSource now) {
    std::lock_guard lock(dateMutex_);
    now_ = std::move(now);
}

foundation::Date VEVCoreDiagnostics::currentDate() const {
    DateSource now;
    {
        std::lock_guard lock(dateMutex_);
        now = now_;
    }
    return now ? now() : systemNow();
}

std::string VEVCoreDiagnostics::deviceModel() {
    return vevcd::machineName();
}

bool VEVCoreDiagnostics::isDateInSameDayOrBeforeThan(foundation::Date a, foundation::Date b) {
    if (a.secondsSince1970 < b.secondsSince1970) return true;
    auto dayOf = [](foundation::Date d) {
        std::time_t t = std::time_t(std::floor(d.secondsSince1970));
        std::tm local{};
        ::localtime_r(&t, &local);
        return std::tuple(local.tm_year, local.tm_mon, local.tm_mday);
    };
    return dayOf(a) == dayOf(b);
}

void VEVCoreDiagnostics::sendDiagnosticsData(const VEVCoreDiagnosticsDataPtr& data) {
    queue_->async([weak = weak_from_this(), data] {
        if (auto self = weak.lock(); self && data) self->sendOnQueue(data);
    });
}

CoreConfiguration
VEVCoreDiagnostics::configurationWithDiagnosticObjects(const foundation::Dictionary& objects) {
    CoreConfiguration config = CoreConfiguration_init_zero;
    config.fixed_36 = true;
    config.has_fixed_36 = true;
    setDiagnosticsObjects(config, objects);
    setAppInfo(config, objects);
    setInstalledServices(config);
    config.dynamic_library_count = vevcd::dynamicLibraryCount();
    config.has_dynamic_library_count = true;
    setInfoPlistFacts(config);
    return config;
}

void VEVCoreDiagnostics::setHeartbeatFlagIfNeededToConfig(CoreConfiguration& config) {
    foundation::Date now = currentDate();
    auto last = heartbeatDateStorage_->heartbeatDateForTag(kVEVCoreDiagnosticsHeartbeatTag);
    if (last && isDateInSameDayOrBeforeThan(now, *last)) return;
    // Today's record carries the mark even when the date cannot be kept; a later record may then
    // carry it again, which is better than a day without one.
    if (!heartbeatDateStorage_->setHearbeatDate(now, kVEVCoreDiagnosticsHeartbeatTag))
        RDTCORLogDebug("The core diagnostics heartbeat date could not be stored.");
    config.sdk_service = CoreConfiguration_ServiceType_ICORE;
    config.has_sdk_service = true;
}

void VEVCoreDiagnostics::sendOnQueue(const VEVCoreDiagnosticsDataPtr& data) {
    foundation::Dictionary objects = data->diagnosticObjects();
    if (const auto* enabled = find(objects, kVEVCDIsDataCollectionDefaultEnabledKey);
        enabled && !enabled->boolValue())
        return;
    CoreConfiguration config = configurationWithDiagnosticObjects(objects);
    setHeartbeatFlagIfNeededToConfig(config);
    auto log = std::make_shared<VEVCoreDiagnosticsLog>(config);
    VEVCoreDiagnosticsLog::releaseConfig(config);
    if (!transport_) return;
    auto event = transport_->eventForTransport();
    if (!event) return;
    event->setDataObject(std::move(log));
    transport_->sendTelemetryEvent(std::move(event));
}

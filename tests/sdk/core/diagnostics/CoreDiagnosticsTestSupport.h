#pragma once
// Core diagnostics over a transport of its own: a storage for target 1001 that keeps what it is
// handed, a clock moved by hand, and the records decoded back from the stored payloads.
#include <catch2/catch.hpp>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <optional>
#include <pb_decode.h>
#include <string>
#include <vector>

#include "sdk/core/diagnostics/VEVCoreDiagnostics.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORTransformer.h"

namespace diagtest {

// A record as it reads on the wire; an unset field is nullopt.
struct Record {
    std::optional<int> configType, fixed16, sdkService, appCount, dynamicLibraryCount, fixed30;
    std::vector<int> installedServices;
    std::optional<std::string> deviceModel, ruvaraAppID, bundleID, libraryVersionID, sdkVersion, osVersion,
        minOSVersion, buildToolsVersion, userAgent;
    std::optional<bool> usesDefaultOptionsFile, fromAppStore, fixed29, appDelegateProxyEnabled, fixed36;
    bool operator==(const Record&) const = default;
};

inline std::optional<std::string> text(const pb_bytes_array_t* b) {
    if (!b) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(b->bytes), b->size);
}

inline std::optional<Record> decodeRecord(const foundation::Data& bytes) {
    CoreConfiguration m = CoreConfiguration_init_zero;
    pb_istream_t stream = pb_istream_from_buffer(bytes.data(), bytes.size());
    if (!pb_decode(&stream, CoreConfiguration_fields, &m)) {
        pb_release(CoreConfiguration_fields, &m);
        return std::nullopt;
    }
    Record r;
    auto opt = [](bool has, auto v) { return has ? std::optional(v) : std::nullopt; };
    r.configType = opt(m.has_config_type, int(m.config_type));
    r.fixed16 = opt(m.has_fixed_16, int(m.fixed_16));
    r.sdkService = opt(m.has_sdk_service, int(m.sdk_service));
    r.appCount = opt(m.has_app_count, int(m.app_count));
    r.dynamicLibraryCount = opt(m.has_dynamic_library_count, int(m.dynamic_library_count));
    r.fixed30 = opt(m.has_fixed_30, int(m.fixed_30));
    for (pb_size_t i = 0; i < m.installed_services_count; ++i)
        r.installedServices.push_back(int(m.installed_services[i]));
    r.deviceModel = text(m.device_model);
    r.ruvaraAppID = text(m.ruvara_app_id);
    r.bundleID = text(m.bundle_id);
    r.libraryVersionID = text(m.library_version_id);
    r.sdkVersion = text(m.sdk_version);
    r.osVersion = text(m.os_version);
    r.minOSVersion = text(m.min_os_version);
    r.buildToolsVersion = text(m.build_tools_version);
    r.userAgent = text(m.user_agent);
    r.usesDefaultOptionsFile = opt(m.has_uses_default_options_file, m.uses_default_options_file);
    r.fromAppStore = opt(m.has_from_app_store, m.from_app_store);
    r.fixed29 = opt(m.has_fixed_29, m.fixed_29);
    r.appDelegateProxyEnabled = opt(m.has_app_delegate_proxy_enabled, m.app_delegate_proxy_enabled);
    r.fixed36 = opt(m.has_fixed_36, m.fixed_36);
    pb_release(CoreConfiguration_fields, &m);
    return r;
}

// Keeps each event it is asked to store, with its payload rendered.
class RecordingStorage : public RDTCORStorageProtocol {
  public:
    struct Stored {
        std::shared_ptr<RDTCOREvent> event;
        foundation::Data payload;
    };
    void storeEvent(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete) override {
        foundation::Data payload;
        if (event && event->dataObject()) payload = event->dataObject()->transportBytes();
        {
            std::lock_guard lock(mutex_);
            stored_.push_back({event, payload});
        }
        if (onComplete) onComplete(true, nullptr);
    }
    void removeEvents(const std::set<uint64_t>&) override {}
    void storeLibraryData(const foundation::Data&, const std::string&, LibraryDataCompletion done) override {
        if (done) done(nullptr);
    }
    void libraryDataForKey(const std::string&, LibraryDataReadCompletion done) override {
        if (done) done(std::nullopt, nullptr);
    }
    void removeLibraryDataForKey(const std::string&, LibraryDataCompletion done) override {
        if (done) done(nullptr);
    }
    std::vector<Stored> stored() const {
        std::lock_guard lock(mutex_);
        return stored_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Stored> stored_;
};

// Local noon of a calendar day, so an hour either way stays on that day.
inline foundation::Date localNoon(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return {double(std::mktime(&tm))};
}

struct ManualDate {
    std::mutex mutex;
    foundation::Date now = localNoon(2026, 6, 15);
    void set(foundation::Date d) {
        std::lock_guard lock(mutex);
        now = d;
    }
    void advance(double seconds) {
        std::lock_guard lock(mutex);
        now.secondsSince1970 += seconds;
    }
    VEVCoreDiagnostics::DateSource source() {
        return [this] {
            std::lock_guard lock(mutex);
            return now;
        };
    }
};

// A transport for target 1001 whose events end in a recording storage.
struct RecordingTransport {
    std::shared_ptr<RDTCORRegistrar> registrar = RDTCORRegistrar::create();
    std::shared_ptr<RecordingStorage> storage = std::make_shared<RecordingStorage>();
    std::shared_ptr<RDTCORTransformer> transformer = RDTCORTransformer::create(registrar, nullptr);
    std::shared_ptr<RDTCORTransport> transport =
        RDTCORTransport::initWithMappingID(kVEVCoreDiagnosticsMappingID, {}, RDTCORTargetFLL);

    RecordingTransport() {
        registrar->registerStorage(storage, RDTCORTargetFLL);
        registrar->registrarQueue()->drain();
        transport->setTransformerInstance(transformer);
    }
    std::vector<Record> records() const {
        std::vector<Record> out;
        for (const auto& s : storage->stored()) {
            auto r = decodeRecord(s.payload);
            REQUIRE(r);
            out.push_back(*r);
        }
        return out;
    }
};

// Diagnostics of its own over a recording transport and a hand-moved clock.
struct DiagnosticsRig {
    ManualDate clock;
    RecordingTransport recording;
    std::shared_ptr<VEVCoreDiagnostics> diagnostics = VEVCoreDiagnostics::initWithTransport(
        recording.transport,
        std::make_shared<RULHeartbeatDateStorage>(kVEVCoreDiagnosticsHeartbeatStorageName), clock.source());

    void send(const VEVCoreDiagnosticsDataPtr& data) {
        diagnostics->sendDiagnosticsData(data);
        settle();
    }
    void settle() {
        diagnostics->diagnosticsQueue()->drain();
        recording.transformer->eventWritingQueue()->drain();
    }
    std::vector<Record> records() const { return recording.records(); }
};

} // namespace diagtest

#pragma once
// The whole upload path over a folder of its own: storage, coordinator, the CCT prioritizer and
// uploader, one registrar, posting to a test URL. `relaunch` drops everything and opens the folder
// again the way a new process would.
#include <chrono>
#include <future>
#include <thread>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCCTNanopbHelpers.h"
#include "sdk/core/transport/RDTCCTPrioritizer.h"
#include "sdk/core/transport/RDTCCTUploader.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "tests/sdk/core/transport/TransportFakes.h"
#include "tests/sdk/core/transport/UploadServer.h"
#include <pb_decode.h>
#include <set>

namespace transporttest {

// Polls `done` (for work on other threads and sockets, not for time rules) until it holds or 20 s pass.
template <class F> bool eventually(F done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A wifi record, so network info is checkable whatever the machine's network.
inline foundation::Data wifiRecord() {
    return RDTCCTNetworkConnectionInfoFor(1, 0);
}

struct UploadRig {
    TempDir dir;
    std::string root = dir.path + "/ruvara-sdks-events";
    std::shared_ptr<foundation::NotificationCenter> center =
        std::make_shared<foundation::NotificationCenter>();
    std::shared_ptr<RDTCORApplication> app = RDTCORApplication::create(center);
    std::shared_ptr<foundation::UserDefaults> settings =
        std::make_shared<foundation::UserDefaults>("zaruvedez.test.upload." + std::to_string(::getpid()));
    std::atomic<uint32_t> flags{2};
    std::optional<std::string> serverURL;

    std::shared_ptr<RDTCORRegistrar> registrar;
    std::shared_ptr<RDTCORUploadCoordinator> coordinator;
    std::shared_ptr<RDTCCTPrioritizer> prioritizer;
    std::shared_ptr<RDTCCTUploader> uploader;
    std::shared_ptr<transport::EventIDCounter> counter;
    std::shared_ptr<RDTCORFlatFileStorage> storage;

    explicit UploadRig(std::optional<std::string> url = std::nullopt, std::string folder = {})
        : serverURL(std::move(url)) {
        if (!folder.empty()) root = std::move(folder);
        open();
    }
    ~UploadRig() { close(); }

    void open() {
        registrar = RDTCORRegistrar::create();
        coordinator = RDTCORUploadCoordinator::create({registrar, app, [this] { return flags.load(); }});
        prioritizer = RDTCCTPrioritizer::create({root, registrar, coordinator, wifiRecord});
        uploader = RDTCCTUploader::create({root, prioritizer, app, center, settings});
        uploader->setTestServerURL(serverURL);
        for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH}) {
            registrar->registerPrioritizer(prioritizer, t);
            registrar->registerUploader(uploader, t);
        }
        counter = std::make_shared<transport::EventIDCounter>(root);
        storage = RDTCORFlatFileStorage::create({root, registrar, coordinator, app, counter});
        for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
            registrar->registerStorage(storage, t);
        storage->storageQueue()->drain();
        prioritizer->queue()->drain(); // the events of earlier runs are offered
    }
    void close() {
        if (storage) storage->waitUntilPersisted();
        registrar.reset();
        storage.reset();
        uploader.reset();
        prioritizer.reset();
        coordinator.reset();
        counter.reset();
    }
    void relaunch() {
        close();
        open();
    }

    bool store(std::shared_ptr<RDTCOREvent> e) {
        std::promise<bool> done;
        storage->storeEvent(std::move(e),
                            [&](bool written, foundation::ErrorPtr) { done.set_value(written); });
        return done.get_future().get();
    }
    std::shared_ptr<RDTCOREvent> event(const std::string& payload, RDTCORTarget target = RDTCORTargetCCT,
                                       const std::string& mappingID = "137",
                                       RDTCOREventQoS tier = RDTCOREventQoSDefault) {
        auto e = std::make_shared<RDTCOREvent>(mappingID, target);
        e->setEventID(counter->next());
        e->setQosTier(tier);
        e->setClockSnapshot(RDTCORClock::snapshot());
        e->setDataObject(std::make_shared<BytesObject>(payload));
        return e;
    }

    // Lets the queued hops between the parts finish.
    void settle() {
        for (int round = 0; round < 4; ++round) {
            coordinator->coordinationQueue()->drain();
            uploader->uploaderQueue()->drain();
            prioritizer->queue()->drain();
            storage->waitUntilPersisted();
        }
    }
    // Waits until no upload is under way and the outcome has reached every part.
    bool waitUntilIdle() {
        bool idle = eventually(
            [&] { return !uploader->isUploading() && coordinator->targetToInFlightPackages().empty(); });
        settle();
        return idle;
    }
    // Starts uploads of the targets under the conditions and waits for their outcome.
    bool upload(std::vector<RDTCORTarget> targets,
                RDTCORUploadConditions conditions = RDTCORUploadConditionWifiData |
                                                    RDTCORUploadConditionHighPriority) {
        coordinator->uploadTargets(std::move(targets), conditions);
        settle();
        return waitUntilIdle();
    }
    std::set<uint64_t> storedIDs() const {
        std::set<uint64_t> ids;
        for (const auto& [id, e] : storage->storedEvents())
            ids.insert(id);
        return ids;
    }
    std::set<uint64_t> pendingIDs(RDTCORTarget target) const {
        std::set<uint64_t> ids;
        if (auto events = prioritizer->eventsForTarget(target))
            for (const auto& e : *events)
                ids.insert(*e->eventID());
        return ids;
    }
};

// A request body decoded with the generated decoder (its repeated parts and payloads through callbacks).
struct DecodedEvent {
    int32_t logSource = 0;
    int64_t eventTime = 0, timezoneOffset = 0, uptime = 0;
    std::string payload;
    bool hasPayload = false;
    bool hasNetworkInfo = false;
    rdtcct_NetworkConnectionInfo networkInfo = rdtcct_NetworkConnectionInfo_init_default;
    bool hasEventCode = false;
    int32_t eventCode = 0;
};

struct DecodedRequest {
    int32_t logSource = 0;
    bool hasClientInfo = false, hasRequestTime = false, hasRequestUptime = false, hasQosTier = false;
    int clientType = 0;
    std::string languageCode, bundleID, osMajorVersion;
    std::vector<DecodedEvent> events;
};

namespace detail {
inline bool decodePayload(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* e = static_cast<DecodedEvent*>(*arg);
    e->hasPayload = true;
    e->payload.resize(stream->bytes_left);
    return pb_read(stream, reinterpret_cast<pb_byte_t*>(e->payload.data()), e->payload.size());
}
inline bool decodeEvent(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* r = static_cast<DecodedRequest*>(*arg);
    DecodedEvent e;
    rdtcct_LogEvent m = rdtcct_LogEvent_init_default;
    m.source_extension.funcs.decode = decodePayload;
    m.source_extension.arg = &e;
    if (!pb_decode(stream, rdtcct_LogEvent_fields, &m)) return false;
    e.eventTime = m.event_time_ms;
    e.timezoneOffset = m.timezone_offset_seconds;
    e.uptime = m.event_uptime_ms;
    e.hasNetworkInfo = m.has_network_connection_info;
    e.networkInfo = m.network_connection_info;
    e.hasEventCode = m.has_event_code;
    e.eventCode = m.event_code;
    r->events.push_back(e);
    return true;
}
inline bool decodeRequest(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* out = static_cast<std::vector<DecodedRequest>*>(*arg);
    DecodedRequest r;
    rdtcct_LogRequest m = rdtcct_LogRequest_init_default;
    m.log_event.funcs.decode = decodeEvent;
    m.log_event.arg = &r;
    bool ok = pb_decode(stream, rdtcct_LogRequest_fields, &m);
    if (ok) {
        r.logSource = m.log_source;
        r.hasClientInfo = m.has_client_info;
        r.clientType = m.client_info.client_type;
        const auto& ios = m.client_info.ios_client_info;
        auto text = [](const char* p) { return p ? std::string(p) : std::string(); };
        r.languageCode = text(ios.language_code);
        r.bundleID = text(ios.application_bundle_id);
        r.osMajorVersion = text(ios.os_major_version);
        r.hasRequestTime = m.has_request_time_ms;
        r.hasRequestUptime = m.has_request_uptime;
        r.hasQosTier = m.has_qos_tier;
        for (auto& e : r.events)
            e.logSource = r.logSource;
        out->push_back(std::move(r));
    }
    pb_release(rdtcct_LogRequest_fields, &m);
    return ok;
}
} // namespace detail

inline std::optional<std::vector<DecodedRequest>> decodeRequests(const std::string& body) {
    std::vector<DecodedRequest> requests;
    rdtcct_BatchedLogRequest m = rdtcct_BatchedLogRequest_init_default;
    m.log_request.funcs.decode = detail::decodeRequest;
    m.log_request.arg = &requests;
    pb_istream_t stream = pb_istream_from_buffer(reinterpret_cast<const uint8_t*>(body.data()), body.size());
    if (!pb_decode(&stream, rdtcct_BatchedLogRequest_fields, &m)) return std::nullopt;
    return requests;
}

// Every log event of a body, in order.
inline std::optional<std::vector<DecodedEvent>> decodeRequest(const std::string& body) {
    auto requests = decodeRequests(body);
    if (!requests) return std::nullopt;
    std::vector<DecodedEvent> events;
    for (const auto& r : *requests)
        events.insert(events.end(), r.events.begin(), r.events.end());
    return events;
}

inline std::multiset<std::string> payloadsOf(const std::vector<ReceivedRequest>& requests) {
    std::multiset<std::string> payloads;
    for (const auto& r : requests)
        if (auto events = decodeRequest(r.body))
            for (const auto& e : *events)
                payloads.insert(e.payload);
    return payloads;
}

} // namespace transporttest

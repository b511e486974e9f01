#pragma once
// Core diagnostics: turns a diagnostics data object, with facts about the device and the bundle, into
// the core configuration record, marks it as the daily heartbeat when the calendar day has changed,
// and sends it as a telemetry event (mapping "137", target 1001). The record is built and sent on the
// serial queue "com.ruvara.VEVCoreDiagnostics", one at a time, so the heartbeat date is read and
// written without races.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"
#include "platform/utilities/RULHeartbeatDateStorage.h"
#include "sdk/core/VEVCoreDiagnosticsData.h"
#include "sdk/core/diagnostics/proto/core_configuration.pb.h"
#include "sdk/core/transport/RDTCORTransport.h"

inline constexpr const char* kVEVCoreDiagnosticsQueueName = "com.ruvara.VEVCoreDiagnostics";
inline constexpr const char* kVEVCoreDiagnosticsMappingID = "137";
inline constexpr const char* kVEVCoreDiagnosticsHeartbeatStorageName = "VEVURIZO_DIAGNOSTICS_HEARTBEAT_DATE";
inline constexpr const char* kVEVCoreDiagnosticsHeartbeatTag = "VEVCoreDiagnostics";

class VEVCoreDiagnostics : public std::enable_shared_from_this<VEVCoreDiagnostics> {
    struct Key {
        explicit Key() = default;
    };

  public:
    using DateSource = std::function<foundation::Date()>;

    static std::shared_ptr<VEVCoreDiagnostics> sharedInstance();
    // Class-load registration under "VEVCoreDiagnostics", where the connector finds it.
    static void load();
    // An empty date source reads the system clock.
    static std::shared_ptr<VEVCoreDiagnostics>
    initWithTransport(std::shared_ptr<RDTCORTransport> transport,
                      std::shared_ptr<RULHeartbeatDateStorage> heartbeatDateStorage, DateSource now = {});
    VEVCoreDiagnostics(Key, std::shared_ptr<RDTCORTransport> transport,
                       std::shared_ptr<RULHeartbeatDateStorage> heartbeatDateStorage, DateSource now);

    // Queues the work and returns; nothing is sent when the data says data collection is off.
    void sendDiagnosticsData(const VEVCoreDiagnosticsDataPtr& data);

    static std::string deviceModel();
    // True when the current calendar puts `a` and `b` on the same day, or `a` is earlier than `b`: a
    // clock set back never produces a second heartbeat.
    static bool isDateInSameDayOrBeforeThan(foundation::Date a, foundation::Date b);

    // The record for the objects, before the heartbeat (on any thread). The caller releases it.
    static CoreConfiguration configurationWithDiagnosticObjects(const foundation::Dictionary& objects);
    // On the diagnostics queue: marks the record as the heartbeat when the day has changed.
    void setHeartbeatFlagIfNeededToConfig(CoreConfiguration& config);

    const foundation::QueuePtr& diagnosticsQueue() const { return queue_; }
    const std::shared_ptr<RDTCORTransport>& transport() const { return transport_; }
    const std::shared_ptr<RULHeartbeatDateStorage>& heartbeatDateStorage() const {
        return heartbeatDateStorage_;
    }
    // Tests move the clock of the shared instance; an empty source goes back to the system clock.
    void setDateSource(DateSource now);

  private:
    foundation::Date currentDate() const;
    void sendOnQueue(const VEVCoreDiagnosticsDataPtr& data);

    foundation::QueuePtr queue_;
    std::shared_ptr<RDTCORTransport> transport_;
    std::shared_ptr<RULHeartbeatDateStorage> heartbeatDateStorage_;
    mutable std::mutex dateMutex_;
    DateSource now_;
};

// Core diagnostics end to end: the record stored through the transport reaches a local backend in the
// request for the diagnostics target.
#include "sdk/core/VEVDiagnosticsData.h"
#include "tests/sdk/core/diagnostics/CoreDiagnosticsTestSupport.h"
#include "tests/sdk/core/transport/UploadRig.h"
#include "tests/support/TestHome.h"

using namespace transporttest;

TEST_CASE("The request for the diagnostics target carries the record as its event's payload",
          "[diagnostics][upload]") {
    testsupport::TempHome home;
    UploadServer server;
    UploadRig rig(server.url());
    auto transformer = RDTCORTransformer::create(rig.registrar, rig.app);
    auto transport = RDTCORTransport::initWithMappingID(kVEVCoreDiagnosticsMappingID, {}, RDTCORTargetFLL);
    transport->setTransformerInstance(transformer);
    auto diagnostics = VEVCoreDiagnostics::initWithTransport(
        transport, std::make_shared<RULHeartbeatDateStorage>(kVEVCoreDiagnosticsHeartbeatStorageName));

    auto data = std::make_shared<VEVDiagnosticsData>();
    data->insertValue(int(VEVConfigTypeCore), kVEVCDConfigurationTypeKey);
    data->insertValue("1:123456789012:ios:0a1b2c3d4e5f60718293a4", kVEVCDRuvaraAppIDKey);
    data->insertValue(1, kVEVCDllAppsCountKey);
    diagnostics->sendDiagnosticsData(data);
    diagnostics->diagnosticsQueue()->drain();
    transformer->eventWritingQueue()->drain();
    rig.storage->waitUntilPersisted();
    REQUIRE(rig.storedIDs().size() == 1);

    REQUIRE(rig.upload({RDTCORTargetFLL}));
    auto requests = server.requests();
    REQUIRE(requests.size() == 1);
    auto events = decodeRequest(requests[0].body);
    REQUIRE(events);
    REQUIRE(events->size() == 1);
    const auto& event = (*events)[0];
    CHECK(event.logSource == 137);
    REQUIRE(event.hasPayload);
    auto record = diagtest::decodeRecord(foundation::Data(event.payload.begin(), event.payload.end()));
    REQUIRE(record);
    CHECK(record->configType == 1);
    CHECK(record->ruvaraAppID == std::string("1:123456789012:ios:0a1b2c3d4e5f60718293a4"));
    CHECK(record->appCount == 1);
    CHECK(record->sdkService == 1);
    CHECK(record->fixed36 == true);
    CHECK(rig.storedIDs().empty()); // delivered
}

// The crash report's payload object, and a report's whole road through the registered transport
// (class-load registrations, shared storage, coordinator, prioritizer and uploader) to a local backend.
#include <catch2/catch.hpp>

#include <filesystem>
#include <fstream>
#include <future>
#include <pb_decode.h>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/RDTCORLifecycle.h"
#include "sdk/core/transport/RDTCORTransport.h"
#include "sdk/crash/VEVCRSReportAdapter.h"
#include "sdk/crash/proto/crash_report.pb.h"
#include "tests/sdk/core/transport/UploadRig.h"

using namespace transporttest;

namespace {

struct DecodedReport {
    std::string sdkVersion, appIdentifier, installationID, bundleIdentifier, report;
    int64_t crashedAt = 0;
};

bool collect(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* out = static_cast<std::string*>(*arg);
    out->resize(stream->bytes_left);
    return pb_read(stream, reinterpret_cast<pb_byte_t*>(out->data()), out->size());
}

std::optional<DecodedReport> decodeReport(const std::string& bytes) {
    DecodedReport d;
    vevcrs_CrashReport m = vevcrs_CrashReport_init_zero;
    m.report.funcs.decode = collect;
    m.report.arg = &d.report;
    pb_istream_t s = pb_istream_from_buffer(reinterpret_cast<const pb_byte_t*>(bytes.data()), bytes.size());
    if (!pb_decode(&s, vevcrs_CrashReport_fields, &m)) return std::nullopt;
    auto text = [](const char* p) { return p ? std::string(p) : std::string(); };
    d.sdkVersion = text(m.sdk_version);
    d.appIdentifier = text(m.app_identifier);
    d.installationID = text(m.installation_id);
    d.bundleIdentifier = text(m.bundle_identifier);
    d.crashedAt = m.crashed_at_seconds;
    pb_release(vevcrs_CrashReport_fields, &m);
    return d;
}

VEVCRSReport reportIn(const std::string& folder, const std::string& body) {
    std::string path = folder + "/report.crsrecord";
    std::ofstream(path, std::ios::binary) << body;
    return {"4.2.0", "1:123:ios:abc", "inst-1", "jp.zaruvedez.clinic", 1700000000, path};
}

} // namespace

TEST_CASE("a crash report encodes in two passes", "[transport][crash]") {
    TempDir dir;
    std::string body(100000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = char(i * 7 + i / 300);
    VEVCRSReportAdapter adapter(reportIn(dir.path, body));
    auto bytes = adapter.transportBytes();
    auto decoded = decodeReport(std::string(bytes.begin(), bytes.end()));
    REQUIRE(decoded);
    CHECK(decoded->sdkVersion == "4.2.0");
    CHECK(decoded->appIdentifier == "1:123:ios:abc");
    CHECK(decoded->installationID == "inst-1");
    CHECK(decoded->bundleIdentifier == "jp.zaruvedez.clinic");
    CHECK(decoded->crashedAt == 1700000000);
    CHECK(decoded->report == body);

    SECTION("an empty report file is an empty field") {
        VEVCRSReportAdapter empty(reportIn(dir.path, ""));
        auto b = empty.transportBytes();
        REQUIRE(decodeReport(std::string(b.begin(), b.end())));
        CHECK(decodeReport(std::string(b.begin(), b.end()))->report.empty());
    }
}

TEST_CASE("a report that cannot be encoded yields no bytes and is not stored", "[transport][crash]") {
    TempDir dir;
    foundation::LogCapture log;
    auto report = reportIn(dir.path, "report");
    std::filesystem::remove(report.reportPath);
    VEVCRSReportAdapter adapter(report);
    CHECK(adapter.transportBytes().empty());
    CHECK(log.contains("Error in nanopb encoding for size: the report file cannot be opened"));

    SECTION("the transport refuses it") {
        auto event = std::make_shared<RDTCOREvent>("1206", RDTCORTargetCSH);
        event->setEventID(1);
        event->setDataObject(std::make_shared<VEVCRSReportAdapter>(report));
        foundation::ErrorPtr error;
        CHECK_FALSE(event->writeToRDTPath(event->payloadFileName(), &error, dir.path));
        CHECK(error);
        CHECK_FALSE(std::filesystem::exists(dir.path + "/event-1"));
    }
}

TEST_CASE("the transport's parts are registered for the three targets", "[transport][registration]") {
    foundation::LoadHooks::runOnce({&RDTCORTransportLoad});
    auto registrar = RDTCORRegistrar::sharedInstance();
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH}) {
        INFO("target " << t);
        CHECK(registrar->prioritizerForTarget(t) == RDTCCTPrioritizer::sharedInstance());
        CHECK(registrar->uploaderForTarget(t) == RDTCCTUploader::sharedInstance());
        CHECK(registrar->storageForTarget(t) == RDTCORFlatFileStorage::sharedInstance());
    }

    SECTION("a crash report goes the whole road to the backend") {
        UploadServer server;
        auto defaults = foundation::UserDefaults::standard();
        defaults->setObject(foundation::Value(server.url("/csh")), kRDTCCTUploaderCSHServerURLKey);
        defaults->setObject(foundation::Value("crash-key"), kRDTCCTUploaderFLLAndCSHAPIKeyKey);
        TempDir dir;
        auto transport = VEVCRSReportAdapter::reportTransport();
        REQUIRE(transport);
        CHECK(transport->mappingID() == "1206");
        CHECK(transport->target() == RDTCORTargetCSH);
        CHECK(transport->transformers().empty());
        std::promise<bool> written;
        VEVCRSReportAdapter::sendReport(transport, reportIn(dir.path, "the crash"),
                                        [&](bool ok, foundation::ErrorPtr) { written.set_value(ok); });
        REQUIRE(written.get_future().get());
        // Tier 4 asks for an upload at once; forced here too, whatever this machine's network says.
        RDTCORUploadCoordinator::sharedInstance()->uploadTargets(
            {RDTCORTargetCSH}, RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority);
        REQUIRE(server.waitForRequests(1));
        auto request = server.requests()[0];
        CHECK(request.header("X-Ruv-Api-Key") == "crash-key");
        auto events = decodeRequest(request.body);
        REQUIRE(events);
        REQUIRE(events->size() == 1);
        CHECK((*events)[0].logSource == 1206);
        auto report = decodeReport((*events)[0].payload);
        REQUIRE(report);
        CHECK(report->report == "the crash");
        CHECK(eventually([] { return RDTCORFlatFileStorage::sharedInstance()->storedEvents().empty(); }));
        defaults->removeObjectForKey(kRDTCCTUploaderCSHServerURLKey);
        defaults->removeObjectForKey(kRDTCCTUploaderFLLAndCSHAPIKeyKey);
    }
}

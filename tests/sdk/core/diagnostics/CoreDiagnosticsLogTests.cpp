// The record as a transport payload: copies that own their texts, and encoding that never hands out
// half a record.
#include <pb_encode.h>

#include "platform/foundation/Log.h"
#include "sdk/core/diagnostics/VEVCoreDiagnosticsLog.h"
#include "sdk/core/transport/proto/cct.pb.h"
#include "tests/sdk/core/diagnostics/CoreDiagnosticsTestSupport.h"

using namespace diagtest;

namespace {

CoreConfiguration sampleRecord() {
    CoreConfiguration c = CoreConfiguration_init_zero;
    c.has_fixed_36 = c.fixed_36 = true;
    c.has_app_count = true;
    c.app_count = -5; // 32-bit signed on the wire
    c.ruvara_app_id = VEVEncodeBytes("1:1:ios:ab");
    c.user_agent = VEVEncodeBytes(std::string("a\0b", 3)); // bytes, not C strings
    auto* list =
        static_cast<CoreConfiguration_ServiceType*>(std::malloc(2 * sizeof(CoreConfiguration_ServiceType)));
    list[0] = CoreConfiguration_ServiceType_MEASUREMENT;
    list[1] = CoreConfiguration_ServiceType_DATABASE;
    c.installed_services = list;
    c.installed_services_count = 2;
    return c;
}

// A payload callback that fails on the given call (1: the sizing pass, 2: the bytes pass).
struct FailingPayload {
    int failOnCall;
    int calls = 0;
};

bool writePayload(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    auto* p = static_cast<FailingPayload*>(*arg);
    if (++p->calls == p->failOnCall) return false;
    static const char bytes[] = "payload bytes";
    return pb_encode_tag_for_field(stream, field) &&
           pb_encode_string(stream, reinterpret_cast<const pb_byte_t*>(bytes), sizeof bytes - 1);
}

} // namespace

TEST_CASE("The payload object owns a copy of its record", "[diagnostics][log]") {
    CoreConfiguration original = sampleRecord();
    auto log = std::make_unique<VEVCoreDiagnosticsLog>(original);
    CHECK(log->config().ruvara_app_id != original.ruvara_app_id);
    CHECK(log->config().installed_services != original.installed_services);

    // Releasing the caller's record leaves the object's intact (and the sanitizers see no double free).
    VEVCoreDiagnosticsLog::releaseConfig(original);
    CHECK(original.ruvara_app_id == nullptr);
    auto r = decodeRecord(log->transportBytes());
    REQUIRE(r);
    CHECK(r->ruvaraAppID == std::string("1:1:ios:ab"));
    CHECK(r->userAgent == std::string("a\0b", 3));
    CHECK(r->installedServices == std::vector<int>{18, 15});
    CHECK(r->appCount == -5);
    CHECK_FALSE(r->deviceModel);

    SECTION("setConfig replaces the record with a copy") {
        CoreConfiguration other = CoreConfiguration_init_zero;
        other.bundle_id = VEVEncodeBytes("jp.example");
        log->setConfig(other);
        VEVCoreDiagnosticsLog::releaseConfig(other);
        auto again = decodeRecord(log->transportBytes());
        REQUIRE(again);
        CHECK(again->bundleID == std::string("jp.example"));
        CHECK_FALSE(again->ruvaraAppID);
        CHECK(again->installedServices.empty());
    }
    SECTION("the encoding is what protoc's wire rules say") {
        CoreConfiguration small = CoreConfiguration_init_zero;
        small.has_fixed_36 = small.fixed_36 = true;
        small.has_sdk_service = true;
        small.sdk_service = CoreConfiguration_ServiceType_ICORE;
        auto* list =
            static_cast<CoreConfiguration_ServiceType*>(std::malloc(sizeof(CoreConfiguration_ServiceType)));
        list[0] = CoreConfiguration_ServiceType_DATABASE;
        small.installed_services = list;
        small.installed_services_count = 1;
        log->setConfig(small);
        VEVCoreDiagnosticsLog::releaseConfig(small);
        // Field 7 packed (3A 01 0F), field 20 varint (A0 01 01), field 36 varint (A0 02 01).
        CHECK(log->transportBytes() ==
              foundation::Data{0x3A, 0x01, 0x0F, 0xA0, 0x01, 0x01, 0xA0, 0x02, 0x01});
    }
}

TEST_CASE("A failed encoding pass yields no bytes", "[diagnostics][log]") {
    foundation::LogCapture capture;
    rdtcct_LogEvent event = rdtcct_LogEvent_init_default;
    event.has_event_time_ms = true;
    event.event_time_ms = 1234567;
    event.source_extension.funcs.encode = writePayload;

    SECTION("in the sizing pass") {
        FailingPayload payload{1};
        event.source_extension.arg = &payload;
        CHECK(VEVCoreDiagnosticsLog::encodeMessage(rdtcct_LogEvent_fields, &event).empty());
        CHECK(capture.contains("[RuvaraDataTransport][I-RDTCOR001005] Error in nanopb encoding for size: "));
    }
    SECTION("in the bytes pass: the bytes written before the failure are not handed out") {
        FailingPayload payload{2};
        event.source_extension.arg = &payload;
        CHECK(VEVCoreDiagnosticsLog::encodeMessage(rdtcct_LogEvent_fields, &event).empty());
        CHECK(capture.contains("[RuvaraDataTransport][I-RDTCOR001005] Error in nanopb encoding for bytes: "));
    }
    SECTION("both passes succeed") {
        FailingPayload payload{0};
        event.source_extension.arg = &payload;
        auto bytes = VEVCoreDiagnosticsLog::encodeMessage(rdtcct_LogEvent_fields, &event);
        CHECK(payload.calls == 2);
        CHECK_FALSE(bytes.empty());
        CHECK(std::string(bytes.end() - 13, bytes.end()) == "payload bytes");
        CHECK_FALSE(capture.contains("I-RDTCOR001005"));
    }
}

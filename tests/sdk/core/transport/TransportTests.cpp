#include <catch2/catch.hpp>

#include <chrono>
#include <future>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORTransformer.h"
#include "sdk/core/transport/RDTCORTransport.h"
#include "tests/sdk/core/transport/TransportFakes.h"

using namespace transporttest;

namespace {

// Records what reaches it and answers at once.
struct RecordingStorage : RDTCORStorageProtocol {
    std::mutex m;
    std::vector<std::shared_ptr<RDTCOREvent>> events;
    std::vector<bool> hadCompletion;
    void storeEvent(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete) override {
        {
            std::lock_guard lock(m);
            events.push_back(event);
            hadCompletion.push_back(bool(onComplete));
        }
        if (onComplete) onComplete(true, nullptr);
    }
    void removeEvents(const std::set<uint64_t>&) override {}
    void storeLibraryData(const foundation::Data&, const std::string&, LibraryDataCompletion) override {}
    void libraryDataForKey(const std::string&, LibraryDataReadCompletion) override {}
    void removeLibraryDataForKey(const std::string&, LibraryDataCompletion) override {}
};

struct Stamp : RDTCOREventTransformer {
    explicit Stamp(uint8_t b) : byte(b) {}
    std::shared_ptr<RDTCOREvent> transform(std::shared_ptr<RDTCOREvent> e) override {
        auto bytes = e->customBytes().value_or(foundation::Data{});
        bytes.push_back(byte);
        e->setCustomBytes(bytes);
        return e;
    }
    uint8_t byte;
};

struct Drop : RDTCOREventTransformer {
    std::shared_ptr<RDTCOREvent> transform(std::shared_ptr<RDTCOREvent>) override { return nullptr; }
};

struct Outcome {
    bool written;
    foundation::ErrorPtr error;
};

struct Rig {
    std::shared_ptr<RDTCORRegistrar> registrar = RDTCORRegistrar::create();
    std::shared_ptr<RDTCORApplication> app =
        RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
    std::shared_ptr<RDTCORTransformer> transformer = RDTCORTransformer::create(registrar, app);
    std::shared_ptr<RecordingStorage> storage = std::make_shared<RecordingStorage>();

    std::shared_ptr<RDTCORTransport> transport(std::vector<std::shared_ptr<RDTCOREventTransformer>> t = {},
                                               RDTCORTarget target = RDTCORTargetFLL) {
        auto tr = RDTCORTransport::initWithMappingID("137", std::move(t), target);
        tr->setTransformerInstance(transformer);
        return tr;
    }
    Outcome send(RDTCORTransport& tr, std::shared_ptr<RDTCOREvent> e, bool telemetry = false) {
        std::promise<Outcome> done;
        auto completion = [&](bool written, foundation::ErrorPtr error) { done.set_value({written, error}); };
        if (telemetry)
            tr.sendTelemetryEventOnComplete(e, completion);
        else
            tr.sendDataEventOnComplete(e, completion);
        return done.get_future().get();
    }
};

} // namespace

TEST_CASE("transports are made only for a mapping ID and a target", "[transport][api]") {
    CHECK_FALSE(RDTCORTransport::initWithMappingID("", {}, 1001));
    CHECK_FALSE(RDTCORTransport::initWithMappingID("137", {}, 0));
    auto tr = RDTCORTransport::initWithMappingID("1206", {}, RDTCORTargetCSH);
    REQUIRE(tr);
    auto e = tr->eventForTransport();
    REQUIRE(e);
    CHECK(e->mappingID() == "1206");
    CHECK(e->target() == RDTCORTargetCSH);
    CHECK(e->qosTier() == RDTCOREventQoSDefault);
    CHECK(e->eventID().has_value());
}

TEST_CASE("sending stamps a copy and passes it through the transformers to the target's storage",
          "[transport][api][transformer]") {
    Rig rig;
    rig.registrar->registerStorage(rig.storage, RDTCORTargetFLL);
    auto tr = rig.transport({std::make_shared<Stamp>(1), std::make_shared<Stamp>(2)});
    auto e = tr->eventForTransport();
    e->setQosTier(4);

    SECTION("data events keep their tier; the caller's event gets no time stamp") {
        auto out = rig.send(*tr, e);
        CHECK(out.written);
        CHECK_FALSE(out.error);
        REQUIRE(rig.storage->events.size() == 1);
        auto stored = rig.storage->events[0];
        CHECK(stored.get() != e.get());
        CHECK(*stored == *e);
        CHECK(stored->qosTier() == 4);
        CHECK(stored->clockSnapshot().has_value());
        CHECK_FALSE(e->clockSnapshot().has_value());
        CHECK(stored->customBytes() == foundation::Data{1, 2}); // in array order
        CHECK_FALSE(e->customBytes().has_value());
    }
    SECTION("telemetry events are set to tier 1, on the caller's event too") {
        rig.send(*tr, e, true);
        CHECK(e->qosTier() == RDTCOREventQoSTelemetry);
        CHECK(rig.storage->events.at(0)->qosTier() == RDTCOREventQoSTelemetry);
    }
    SECTION("without a completion the storage is told none") {
        tr->sendDataEvent(e);
        tr->sendTelemetryEvent(e);
        rig.transformer->eventWritingQueue()->drain();
        CHECK(rig.storage->hadCompletion == std::vector<bool>{false, false});
    }
    SECTION("every background task begun for a send is ended") {
        rig.send(*tr, e);
        rig.transformer->eventWritingQueue()->drain();
        CHECK(rig.app->openBackgroundTaskCount() == 0);
    }
}

TEST_CASE("a send that cannot reach a storage completes with failure", "[transport][api][transformer]") {
    Rig rig;
    rig.registrar->registerStorage(rig.storage, RDTCORTargetFLL);
    foundation::LogCapture log;

    SECTION("a transformer that drops the event: no, without an error") {
        auto tr =
            rig.transport({std::make_shared<Stamp>(1), std::make_shared<Drop>(), std::make_shared<Stamp>(2)});
        auto out = rig.send(*tr, tr->eventForTransport());
        CHECK_FALSE(out.written);
        CHECK_FALSE(out.error);
        CHECK(rig.storage->events.empty());
    }
    SECTION("a missing transformer is logged") {
        auto tr = rig.transport({nullptr});
        auto out = rig.send(*tr, tr->eventForTransport());
        CHECK_FALSE(out.written);
        CHECK(log.contains("[I-RDTCOR001000] Transformer doesn't implement transform:"));
    }
    SECTION("no storage for the target: no, with an error, instead of silence") {
        auto tr = rig.transport({}, RDTCORTargetCCT);
        auto out = rig.send(*tr, tr->eventForTransport());
        CHECK_FALSE(out.written);
        CHECK(out.error);
    }
    SECTION("no event at all") {
        auto tr = rig.transport();
        auto out = rig.send(*tr, nullptr);
        CHECK_FALSE(out.written);
        CHECK(out.error);
        CHECK(log.contains("The event was nil, so it was not saved."));
    }
    rig.transformer->eventWritingQueue()->drain();
    CHECK(rig.app->openBackgroundTaskCount() == 0);
}

namespace {
struct Everything : RDTCORPrioritizer, RDTCORUploader {
    explicit Everything(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void prioritizeEvent(std::shared_ptr<RDTCOREvent>) override {}
    std::shared_ptr<RDTCORUploadPackage> uploadPackageWithTarget(RDTCORTarget,
                                                                 RDTCORUploadConditions) override {
        return nullptr;
    }
    bool readyToUploadTarget(RDTCORTarget, RDTCORUploadConditions) override { return false; }
    void uploadPackage(std::shared_ptr<RDTCORUploadPackage>) override {}
    void appWillBackground(RDTCORApplication&) override { log.push_back(name); }
    std::vector<std::string>& log;
    std::string name;
};
} // namespace

TEST_CASE("the registrar keeps one part per target and tells each part once", "[transport][registrar]") {
    auto registrar = RDTCORRegistrar::create();
    std::vector<std::string> log;
    auto both = std::make_shared<Everything>(log, "prioritizer+uploader");
    auto uploader = std::make_shared<FakeUploader>();
    registrar->registerUploader(uploader, 1000);
    registrar->registerUploader(both, 1000); // replaces
    registrar->registerUploader(both, 1001);
    registrar->registerPrioritizer(both, 1000);
    auto storage = std::make_shared<RecordingStorage>();
    registrar->registerStorage(storage, 1002);

    CHECK(registrar->uploaderForTarget(1000) == both);
    CHECK(registrar->prioritizerForTarget(1001) == nullptr);
    CHECK(registrar->storageForTarget(1002) == storage);

    auto table = registrar->targetToUploader();
    table.clear(); // a copy: the registrar's table is untouched
    CHECK(registrar->targetToUploader().size() == 2);

    auto app = RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
    registrar->appWillBackground(*app);
    CHECK(log == std::vector<std::string>{"prioritizer+uploader"});
}

TEST_CASE("a registrar look-up sees the registrations asked for before it and waits for nothing else",
          "[transport][registrar]") {
    auto registrar = RDTCORRegistrar::create();
    auto storage = std::make_shared<RecordingStorage>();
    registrar->registerStorage(storage, 1000);
    REQUIRE(registrar->storageForTarget(1000) == storage);
    QueueGate gate(registrar->registrarQueue());

    SECTION("with no registration waiting, a look-up does not wait for the registrar's queue") {
        // Events look their storage up one by one: a trip to a busy queue would hold each of them.
        auto looking = std::async(std::launch::async, [&] { return registrar->storageForTarget(1000); });
        const bool answered = looking.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        gate.release();
        CHECK(answered);
        CHECK(looking.get() == storage);
    }
    SECTION("a look-up after a registration still waiting sees that registration") {
        auto other = std::make_shared<RecordingStorage>();
        registrar->registerStorage(other, 1000);
        auto looking = std::async(std::launch::async, [&] { return registrar->storageForTarget(1000); });
        CHECK(looking.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout);
        gate.release();
        CHECK(looking.get() == other);
    }
}

TEST_CASE("the transformer's terminate waits for queued events", "[transport][transformer]") {
    Rig rig;
    rig.registrar->registerStorage(rig.storage, RDTCORTargetFLL);
    auto tr = rig.transport();
    for (int i = 0; i < 20; ++i)
        tr->sendDataEvent(tr->eventForTransport());
    rig.transformer->appWillTerminate(*rig.app);
    std::lock_guard lock(rig.storage->m);
    CHECK(rig.storage->events.size() == 20);
}

// Deferred work of the transport's parts outliving its owner: queued work holds its owner weakly and
// does nothing once the owner is gone, so the owner need not wait for it on its way out.
#include <catch2/catch.hpp>

#include <chrono>
#include <filesystem>
#include <future>

#include "sdk/core/transport/RDTCORLifecycle.h"
#include "sdk/core/transport/RDTCORTransformer.h"
#include "tests/sdk/core/transport/StorageRig.h"

using namespace transporttest;
namespace fs = std::filesystem;

namespace {

// Lets go of `owner` on another thread; true when that finished while `gate` still held the owner's
// queue (which the test keeps). An owner that waited for its queued work would wait for the gate: it is
// released after the (generous) deadline so the test ends either way.
template <class T> bool letsGoWithoutWaiting(std::shared_ptr<T>& owner, QueueGate& gate) {
    auto going = std::async(std::launch::async, [o = std::move(owner)]() mutable { o.reset(); });
    bool finished = going.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    gate.release();
    going.wait();
    return finished;
}

std::shared_ptr<RDTCORApplication> newApplication() {
    return RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
}

} // namespace

TEST_CASE("the storage's queued background work does nothing once its owners are gone",
          "[transport][lifetime][storage]") {
    TempDir dir;
    const std::string root = dir.path + "/events";
    auto counter = std::make_shared<transport::EventIDCounter>(root);
    auto storage = RDTCORFlatFileStorage::create({root, nullptr, {}, nullptr, counter});
    std::promise<bool> stored;
    storage->storeEvent(makeEvent(counter->next()),
                        [&](bool written, foundation::ErrorPtr) { stored.set_value(written); });
    REQUIRE(stored.get_future().get());
    auto app = newApplication();
    auto queue = storage->storageQueue();
    QueueGate gate(queue);
    storage->appWillBackground(*app);
    CHECK(app->openBackgroundTaskCount() == 1);

    SECTION("the storage goes while its handler is queued") {
        std::weak_ptr<RDTCORFlatFileStorage> weak = storage;
        CHECK(letsGoWithoutWaiting(storage, gate));
        CHECK(weak.expired());
        queue->drain();
        CHECK(app->openBackgroundTaskCount() == 0); // the app's task still ends
        // Closing folded the journal into the archive all the same.
        auto archived =
            RDTCORDecodeArchive("RDTCORFlatFileStorage", root + "/RDTCORFlatFileStorageArchive", nullptr);
        REQUIRE(archived);
        CHECK((*archived)["RDTCORStorageStoredEventsKey"].dictionary()->size() == 1);
    }
    SECTION("the application goes while the handler is queued") {
        std::weak_ptr<RDTCORApplication> weakApp = app;
        app.reset();
        CHECK(weakApp.expired()); // nothing queued keeps it
        gate.release();
        queue->drain(); // the handler must not reach for it
        CHECK(fs::file_size(root + "/RDTCORFlatFileStorageJournal") ==
              transport::StorageJournal::kHeaderSize);
    }
}

TEST_CASE("a send queued when the transformer goes is answered, not lost",
          "[transport][lifetime][transformer]") {
    auto registrar = RDTCORRegistrar::create();
    auto app = newApplication();
    auto transformer = RDTCORTransformer::create(registrar, app);
    auto queue = transformer->eventWritingQueue();
    QueueGate gate(queue);
    std::promise<std::pair<bool, foundation::ErrorPtr>> answered;
    transformer->transformEvent(makeEvent(1), {}, [&](bool written, foundation::ErrorPtr error) {
        answered.set_value({written, error});
    });
    CHECK(letsGoWithoutWaiting(transformer, gate));
    auto [written, error] = answered.get_future().get();
    CHECK_FALSE(written);
    CHECK(error);
    CHECK(app->openBackgroundTaskCount() == 0);
}

TEST_CASE("a registration queued when the registrar goes is dropped with it",
          "[transport][lifetime][registrar]") {
    auto registrar = RDTCORRegistrar::create();
    auto uploader = std::make_shared<FakeUploader>();
    auto queue = registrar->registrarQueue();
    QueueGate gate(queue);
    registrar->registerUploader(uploader, RDTCORTargetCCT);
    CHECK(uploader.use_count() == 2);
    CHECK(letsGoWithoutWaiting(registrar, gate));
    queue->drain();
    CHECK(uploader.use_count() == 1);
}

namespace {
struct BlockingPart : RDTCORLifecycleProtocol {
    std::promise<void> entered;
    std::shared_future<void> proceed;
    std::atomic<int> told{0};
    void appWillBackground(RDTCORApplication&) override {
        ++told;
        entered.set_value();
        proceed.wait();
    }
};
} // namespace

TEST_CASE("life-cycle handlers do nothing once their owner is gone", "[transport][lifetime][lifecycle]") {
    auto center = std::make_shared<foundation::NotificationCenter>();
    auto app = RDTCORApplication::create(center);
    std::atomic<int> passedOn{0};
    auto token = center->addObserver(kRDTCORApplicationDidEnterBackgroundNotification, nullptr, nullptr,
                                     [&](const foundation::Notification&) { ++passedOn; });

    SECTION("an application wrapper that is gone passes nothing on") {
        app.reset();
        center->post(foundation::kApplicationDidEnterBackgroundNotification);
        CHECK(passedOn == 0);
    }
    SECTION("a fan-out let go of while it tells a part finishes that, and tells nothing after") {
        auto part = std::make_shared<BlockingPart>();
        std::promise<void> proceed;
        part->proceed = proceed.get_future().share();
        auto lifecycle = RDTCORLifecycle::create(center, app, {part});
        auto posting = std::async(std::launch::async,
                                  [&] { center->post(kRDTCORApplicationDidEnterBackgroundNotification); });
        part->entered.get_future().wait();
        std::weak_ptr<RDTCORLifecycle> weak = lifecycle;
        auto going = std::async(std::launch::async, [l = std::move(lifecycle)]() mutable { l.reset(); });
        bool finished = going.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        proceed.set_value();
        going.wait();
        posting.wait();
        CHECK(finished); // letting go did not wait for the handler it was running
        CHECK(weak.expired());
        center->post(kRDTCORApplicationDidEnterBackgroundNotification);
        CHECK(part->told == 1);
    }
}

#include "sdk/core/transport/RDTCCTUploader.h"

#include <algorithm>
#include <map>

#include "platform/foundation/Format.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCCTCompressionHelper.h"
#include "sdk/core/transport/RDTCCTNanopbHelpers.h"
#include "sdk/core/transport/RDTCCTPrioritizer.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"

namespace {

const char* targetName(RDTCORTarget target) {
    switch (target) {
    case RDTCORTargetCCT:
        return "cct";
    case RDTCORTargetFLL:
        return "fll";
    case RDTCORTargetCSH:
        return "csh";
    default:
        return "unknown";
    }
}

// How an answer ends a package: only a success or a request the backend rejects for good (a 4xx other
// than 429) is a delivery; everything that may succeed later is tried again.
bool isDelivered(long status) {
    if (status >= 200 && status < 300) return true;
    return status >= 400 && status < 500 && status != 429;
}

} // namespace

std::shared_ptr<RDTCCTUploader> RDTCCTUploader::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCCTUploader>> instance(
        create({RDTCORRootDirectory(), RDTCCTPrioritizer::sharedInstance(),
                RDTCORApplication::sharedApplication(), nullptr, nullptr}));
    return *instance;
}

void RDTCCTUploader::load() {
    auto uploader = sharedInstance();
    auto registrar = RDTCORRegistrar::sharedInstance();
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
        registrar->registerUploader(uploader, t);
}

std::shared_ptr<RDTCCTUploader> RDTCCTUploader::create(Dependencies dependencies) {
    auto uploader = std::make_shared<RDTCCTUploader>(Token{}, std::move(dependencies));
    std::weak_ptr<RDTCCTUploader> weak = uploader;
    uploader->session_ = std::make_unique<transport::HttpUploadSession>(
        "com.ruvara.RDTCCTUploader.session",
        [weak](const transport::HttpTask& task, const transport::HttpResponse& response,
               const transport::HttpRequest& proposed) -> std::optional<transport::HttpRequest> {
            auto self = weak.lock();
            if (!self) return std::nullopt;
            return self->redirectRequest(task, response, proposed);
        });
    return uploader;
}

RDTCCTUploader::RDTCCTUploader(Token, Dependencies deps)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCCTUploader")),
      root_(std::move(deps.rootDirectory)), prioritizer_(std::move(deps.prioritizer)),
      application_(std::move(deps.application)),
      center_(deps.notificationCenter ? std::move(deps.notificationCenter)
                                      : foundation::NotificationCenter::defaultCenter()),
      settings_(std::move(deps.settings)) {}

// MARK: configuration

std::string RDTCCTUploader::setting(const char* key) const {
    auto defaults = settings_ ? settings_ : foundation::UserDefaults::standard();
    return defaults->stringForKey(key);
}

std::string RDTCCTUploader::serverURLForTarget(RDTCORTarget target) const {
    std::optional<std::string> test;
    queue_->sync([&] { test = testServerURL_; });
    if (test) return *test;
    switch (target) {
    case RDTCORTargetCCT:
        return setting(kRDTCCTUploaderCCTServerURLKey);
    case RDTCORTargetFLL:
        return setting(kRDTCCTUploaderFLLServerURLKey);
    case RDTCORTargetCSH:
        return setting(kRDTCCTUploaderCSHServerURLKey);
    default:
        RDTCORLogDebug("RDTCCTUploader doesn't support target %ld", target);
        return {};
    }
}

std::string RDTCCTUploader::FLLAndCSHAPIKey() const {
    return setting(kRDTCCTUploaderFLLAndCSHAPIKeyKey);
}

void RDTCCTUploader::setTestServerURL(std::optional<std::string> url) {
    queue_->sync([&] { testServerURL_ = std::move(url); });
}

std::optional<RDTCORClock> RDTCCTUploader::CCTNextUploadTime() const {
    std::optional<RDTCORClock> t;
    queue_->sync([&] { t = CCTNextUploadTime_; });
    return t;
}

std::optional<RDTCORClock> RDTCCTUploader::FLLNextUploadTime() const {
    std::optional<RDTCORClock> t;
    queue_->sync([&] { t = FLLNextUploadTime_; });
    return t;
}

bool RDTCCTUploader::isUploading() const {
    bool busy = false;
    queue_->sync([&] { busy = currentTask_ || currentUploadPackage_; });
    return busy;
}

// MARK: readiness

bool RDTCCTUploader::readyToUploadTarget(RDTCORTarget target, RDTCORUploadConditions conditions) {
    if (target == RDTCORTargetCSH) {
        auto prioritizer = prioritizer_.lock();
        auto events = prioritizer ? prioritizer->eventsForTarget(RDTCORTargetCSH) : std::nullopt;
        return events && !events->empty();
    }
    bool ready = false;
    queue_->sync([&] {
        if (currentUploadPackage_) {
            RDTCORLogDebug("CCT: can't upload because a package is in flight");
            return;
        }
        if (currentTask_) {
            RDTCORLogDebug("CCT: can't upload because a task is in progress");
            return;
        }
        if (conditions & RDTCORUploadConditionHighPriority) {
            RDTCORLogDebug("CCT: a high priority event is allowing an upload");
            ready = true;
            return;
        }
        const std::optional<RDTCORClock>* next = target == RDTCORTargetCCT   ? &CCTNextUploadTime_
                                                 : target == RDTCORTargetFLL ? &FLLNextUploadTime_
                                                                             : nullptr;
        if (next && *next) {
            if (!RDTCORClock::snapshot().isAfter(**next)) {
                RDTCORLogDebug("CCT: can't upload to target %ld because the backend asked to wait", target);
                return;
            }
            RDTCORLogDebug("CCT: can upload to target %ld because the request wait time has transpired",
                           target);
        }
        RDTCORLogDebug("CCT: can upload to target %ld because nothing is preventing it", target);
        ready = true;
    });
    return ready;
}

// MARK: requests

foundation::Data RDTCCTUploader::constructRequestProtoFromPackage(const RDTCORUploadPackage& package) const {
    std::map<std::string, RDTCOREventSet> byMappingID;
    for (const auto& event : package.events())
        byMappingID[event->mappingID()].insert(event);
    return RDTCCTEncode(RDTCCTConstructBatchedLogRequest(byMappingID, root_));
}

transport::HttpRequest RDTCCTUploader::constructRequestForTarget(RDTCORTarget target,
                                                                 const foundation::Data& data) const {
    transport::HttpRequest request;
    request.url = serverURLForTarget(target);
    request.method = "POST";
    request.body = data;
    if (target == RDTCORTargetFLL || target == RDTCORTargetCSH)
        request.headers.emplace_back("X-Ruv-Api-Key", FLLAndCSHAPIKey());
    if (RDTCCTCompressionHelper::isGzipped(data)) request.headers.emplace_back("Content-Encoding", "gzip");
    request.headers.emplace_back("Content-Type", "application/x-protobuf");
    request.headers.emplace_back("Accept-Encoding", "gzip");
    request.headers.emplace_back("User-Agent",
                                 foundation::format("datatransport/%@ %@support/%@ apple/", kTransportVersion,
                                                    targetName(target), kBackendVersion));
    return request;
}

std::optional<transport::HttpRequest>
RDTCCTUploader::redirectRequest(const transport::HttpTask& task, const transport::HttpResponse& response,
                                const transport::HttpRequest& proposed) const {
    if (response.status != 301 && response.status != 302) {
        // The key belongs to the endpoint it was configured for: another origin never sees it.
        transport::HttpRequest next = proposed;
        if (!transport::sameOrigin(next.url, task.originalRequest().url)) next.removeHeader("X-Ruv-Api-Key");
        return next;
    }
    std::string fll = serverURLForTarget(RDTCORTargetFLL);
    if (!fll.empty() && response.redirectURL == fll)
        return constructRequestForTarget(RDTCORTargetCCT, task.originalRequest().body);
    // Anywhere else is refused, so the upload ends now with the redirect and is tried again later.
    return std::nullopt;
}

// MARK: delivery

void RDTCCTUploader::uploadPackage(std::shared_ptr<RDTCORUploadPackage> package) {
    if (!package) return;
    RDTCORBackgroundIdentifier task = RDTCORBackgroundIdentifierInvalid;
    if (application_) {
        std::weak_ptr<RDTCCTUploader> weak = weak_from_this();
        auto id = std::make_shared<RDTCORBackgroundIdentifier>();
        *id = application_->beginBackgroundTaskWithName("RDTCCTUploader-upload", [weak, id] {
            if (auto self = weak.lock()) self->backgroundTaskExpired(*id);
        });
        task = *id;
    }
    queue_->async([weak = weak_from_this(), package, task]() mutable {
        auto self = weak.lock();
        if (!self) {
            package->retryDeliveryInTheFuture();
            return;
        }
        if (self->currentTask_ || self->currentUploadPackage_) {
            RDTCORLog(RDTCORLogCodeUpload, RDTCORLoggingLevelNotice,
                      "An upload shouldn't be initiated with another in progress.");
            self->endBackgroundTask(task);
            // Handed back at once rather than left to expire: its events are offered again.
            package->retryDeliveryInTheFuture();
            return;
        }
        self->startUploadOnQueue(package, task);
    });
}

void RDTCCTUploader::startUploadOnQueue(const std::shared_ptr<RDTCORUploadPackage>& package,
                                        RDTCORBackgroundIdentifier task) {
    currentUploadPackage_ = package;
    backgroundTask_ = task;
    foundation::Data encoded = constructRequestProtoFromPackage(*package);
    transport::HttpRequest request;
    if (!encoded.empty()) {
        auto gzipped = RDTCCTCompressionHelper::gzippedData(encoded);
        request = constructRequestForTarget(package->target(),
                                            gzipped && gzipped->size() < encoded.size() ? *gzipped : encoded);
    }
    if (encoded.empty() || request.url.empty()) {
        // Nothing sendable (no endpoint configured, or no request): a failed upload, tried again later.
        RDTCORLog(RDTCORLogCodeUpload, RDTCORLoggingLevelNotice, "There was an error uploading events: %@",
                  encoded.empty() ? "the request could not be built"
                                  : "no endpoint is configured for the target");
        uploadCompleted(0, package, transport::HttpResult{std::nullopt, "not sent", false});
        return;
    }
    RDTCORLogDebug("CTT: request created: %@", request.url);
    std::weak_ptr<RDTCCTUploader> weak = weak_from_this();
    currentTask_ = session_->startTask(
        std::move(request), [weak, package](const transport::HttpTask& t, transport::HttpResult result) {
            auto self = weak.lock();
            if (!self) return;
            self->queue_->async([weak, id = t.identifier(), package, result = std::move(result)]() mutable {
                if (auto self = weak.lock()) self->uploadCompleted(id, package, std::move(result));
            });
        });
    RDTCORLogDebug("CCT: The upload task is about to begin.");
}

void RDTCCTUploader::uploadCompleted(uint64_t taskID, const std::shared_ptr<RDTCORUploadPackage>& package,
                                     transport::HttpResult result) {
    RDTCORLogDebug("CCT: request completed");
    // Only the task now current may end the current upload; a late word from an abandoned one may not.
    const bool current = currentUploadPackage_ == package &&
                         (taskID == 0 ? !currentTask_ : currentTask_ && currentTask_->identifier() == taskID);
    if (result.cancelled) {
        // We gave it up ourselves (expiry, termination): the backend said nothing to act on.
        package->retryDeliveryInTheFuture();
        if (current) clearCurrentUpload();
        return;
    }
    if (!result.error.empty())
        RDTCORLog(RDTCORLogCodeUpload, RDTCORLoggingLevelNotice, "There was an error uploading events: %@",
                  result.error);

    std::optional<int64_t> wait;
    if (result.response && !result.response->body.empty()) {
        foundation::ErrorPtr error;
        auto answer = RDTCCTDecodeLogResponse(result.response->body, &error);
        if (error)
            RDTCORLogDebug("There was a response decoding error: %@", *error);
        else if (answer.nextRequestWaitMillis) {
            RDTCORLogDebug("CCT: The backend responded asking to not upload for %lld millis from now.",
                           *answer.nextRequestWaitMillis);
            // A negative wait is no wait; a longer one than a day is held to a day.
            wait = std::clamp<int64_t>(*answer.nextRequestWaitMillis, 0, kMaxRequestWaitMillis);
        }
    }
    if (!wait) {
        RDTCORLogDebug("CCT: The backend response failed to parse, so the next request won't occur until 15 "
                       "minutes from now");
        wait = kUnparsableResponseWaitMillis;
    }
    RDTCORClock next = RDTCORClock::clockSnapshotInTheFuture(*wait);
    if (package->target() == RDTCORTargetCCT)
        CCTNextUploadTime_ = next;
    else
        FLLNextUploadTime_ = next;

    if (result.error.empty() && result.response && isDelivered(result.response->status)) {
        // A package already handed back (a late answer) is not announced: it is being tried again.
        if (!package->isHandled()) {
            foundation::Notification note{kRDTCCTUploadCompleteNotification, nullptr, {}, {}};
            note.payload = uint64_t(package->events().size());
            center_->post(note);
            RDTCORLogDebug("CCT: package delivered");
        }
        package->completeDelivery();
    } else {
        package->retryDeliveryInTheFuture();
    }
    if (current) clearCurrentUpload();
}

void RDTCCTUploader::clearCurrentUpload() {
    endBackgroundTask(backgroundTask_);
    currentTask_.reset();
    currentUploadPackage_.reset();
}

void RDTCCTUploader::endBackgroundTask(RDTCORBackgroundIdentifier& task) {
    if (application_ && task != RDTCORBackgroundIdentifierInvalid) application_->endBackgroundTask(task);
    task = RDTCORBackgroundIdentifierInvalid;
}

void RDTCCTUploader::abandonCurrentUpload() {
    if (currentTask_) currentTask_->cancel();
    // The package goes back for a later try; a cancelled upload is never reported delivered.
    if (currentUploadPackage_) currentUploadPackage_->retryDeliveryInTheFuture();
    clearCurrentUpload();
}

void RDTCCTUploader::packageExpired(std::shared_ptr<RDTCORUploadPackage> package) {
    if (!package) return;
    queue_->async([weak = weak_from_this(), package] {
        auto self = weak.lock();
        // Only the upload of this package is given up; a newer one goes on.
        if (!self || !self->currentUploadPackage_ ||
            self->currentUploadPackage_->packageID() != package->packageID())
            return;
        if (self->currentTask_) self->currentTask_->cancel();
        self->clearCurrentUpload();
    });
}

void RDTCCTUploader::appWillTerminate(RDTCORApplication&) {
    queue_->sync([&] { abandonCurrentUpload(); });
}

void RDTCCTUploader::backgroundTaskExpired(RDTCORBackgroundIdentifier identifier) {
    queue_->sync([&] {
        if (identifier != RDTCORBackgroundIdentifierInvalid && identifier == backgroundTask_) {
            abandonCurrentUpload();
        } else if (application_ && identifier != RDTCORBackgroundIdentifierInvalid) {
            application_->endBackgroundTask(identifier);
        }
    });
}

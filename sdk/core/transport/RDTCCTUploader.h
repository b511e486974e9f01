#pragma once
// The uploader of the targets 1000, 1001 and 1002: builds the batched log request of a package, gzips
// it when that is shorter, posts it to the target's endpoint and reports the package delivered or to be
// tried again. One upload at a time; after each answer the backend's wait (or 15 minutes) holds the
// targets 1000 and 1001 back unless an upload is forced.
//
// Endpoints and the API key are settings (user defaults) with no default: without an endpoint an
// upload fails at once and its events wait for a later try.
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/core/transport/HttpUploadSession.h"
#include "sdk/core/transport/RDTCORClock.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCCTPrioritizer;

// Settings keys (standard user defaults) of the endpoints and the key.
inline constexpr const char* kRDTCCTUploaderCCTServerURLKey = "RDTCCTUploaderCCTServerURL";
inline constexpr const char* kRDTCCTUploaderFLLServerURLKey = "RDTCCTUploaderFLLServerURL";
inline constexpr const char* kRDTCCTUploaderCSHServerURLKey = "RDTCCTUploaderCSHServerURL";
inline constexpr const char* kRDTCCTUploaderFLLAndCSHAPIKeyKey = "RDTCCTUploaderFLLAndCSHAPIKey";

inline constexpr const char* kRDTCCTUploadCompleteNotification = "com.RDTCCTUploader.UploadComplete";

class RDTCCTUploader : public RDTCORUploader, public std::enable_shared_from_this<RDTCCTUploader> {
    struct Token {};

  public:
    static constexpr int64_t kUnparsableResponseWaitMillis = 900000;
    // The longest wait a backend's answer can impose: one bad answer must not stop timer uploads for
    // the rest of the process's life.
    static constexpr int64_t kMaxRequestWaitMillis = int64_t(24) * 3600 * 1000;
    static constexpr const char* kTransportVersion = "6.2.1";
    static constexpr const char* kBackendVersion = "3.2.0";

    struct Dependencies {
        std::string rootDirectory;                    // the payload files
        std::weak_ptr<RDTCCTPrioritizer> prioritizer; // what target 1002 holds
        std::shared_ptr<RDTCORApplication> application;
        std::shared_ptr<foundation::NotificationCenter> notificationCenter; // null: the default centre
        std::shared_ptr<foundation::UserDefaults> settings;                 // null: the standard defaults
    };

    static std::shared_ptr<RDTCCTUploader> sharedInstance();
    // Class-load registration: the shared instance for the targets 1000, 1001 and 1002.
    static void load();
    static std::shared_ptr<RDTCCTUploader> create(Dependencies dependencies);
    RDTCCTUploader(Token, Dependencies dependencies);

    // The test server when set, else the target's configured endpoint; empty when there is none.
    std::string serverURLForTarget(RDTCORTarget target) const;
    std::string FLLAndCSHAPIKey() const;
    void setTestServerURL(std::optional<std::string> url);
    // The requests' time-outs (tests shorten them).
    void setRequestTimeouts(transport::HttpTimeouts timeouts) { session_->setTimeouts(timeouts); }
    transport::HttpTimeouts requestTimeouts() const { return session_->timeouts(); }

    bool readyToUploadTarget(RDTCORTarget target, RDTCORUploadConditions conditions) override;
    void uploadPackage(std::shared_ptr<RDTCORUploadPackage> package) override;
    // The encoded batched log request of the package's events, one log request per mapping ID.
    foundation::Data constructRequestProtoFromPackage(const RDTCORUploadPackage& package) const;
    transport::HttpRequest constructRequestForTarget(RDTCORTarget target, const foundation::Data& data) const;

    void packageExpired(std::shared_ptr<RDTCORUploadPackage> package) override;
    void appWillTerminate(RDTCORApplication& app) override;
    // The app's background time ran out during an upload: it is given up and tried again later.
    void backgroundTaskExpired(RDTCORBackgroundIdentifier identifier);

    // Copies, taken on the uploader queue.
    std::optional<RDTCORClock> CCTNextUploadTime() const;
    std::optional<RDTCORClock> FLLNextUploadTime() const;
    bool isUploading() const;
    foundation::QueuePtr uploaderQueue() const { return queue_; }

  private:
    void startUploadOnQueue(const std::shared_ptr<RDTCORUploadPackage>& package,
                            RDTCORBackgroundIdentifier task);
    void uploadCompleted(uint64_t taskID, const std::shared_ptr<RDTCORUploadPackage>& package,
                         transport::HttpResult result);
    // Gives up the current upload for a later try (on the queue).
    void abandonCurrentUpload();
    void clearCurrentUpload();
    void endBackgroundTask(RDTCORBackgroundIdentifier& task);
    std::optional<transport::HttpRequest> redirectRequest(const transport::HttpTask& task,
                                                          const transport::HttpResponse& response,
                                                          const transport::HttpRequest& proposed) const;
    std::string setting(const char* key) const;

    foundation::QueuePtr queue_;
    const std::string root_;
    std::weak_ptr<RDTCCTPrioritizer> prioritizer_;
    std::shared_ptr<RDTCORApplication> application_;
    std::shared_ptr<foundation::NotificationCenter> center_;
    std::shared_ptr<foundation::UserDefaults> settings_;
    std::unique_ptr<transport::HttpUploadSession> session_;

    // On the queue only.
    std::shared_ptr<transport::HttpTask> currentTask_;
    std::shared_ptr<RDTCORUploadPackage> currentUploadPackage_;
    RDTCORBackgroundIdentifier backgroundTask_ = RDTCORBackgroundIdentifierInvalid;
    std::optional<RDTCORClock> CCTNextUploadTime_;
    std::optional<RDTCORClock> FLLNextUploadTime_;
    std::optional<std::string> testServerURL_;
};

#pragma once
// The contracts between the transport's parts. Operations the protocols mark optional have empty
// default bodies here, so an implementation overrides only what it answers.
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "sdk/core/transport/RDTCORTypes.h"

class RDTCORApplication;
class RDTCOREvent;
class RDTCORUploadPackage;

// Told when the app goes to the background, comes back, or is about to end.
class RDTCORLifecycleProtocol {
  public:
    virtual ~RDTCORLifecycleProtocol() = default;
    virtual void appWillForeground(RDTCORApplication&) {}
    virtual void appWillBackground(RDTCORApplication&) {}
    virtual void appWillTerminate(RDTCORApplication&) {}
};

// Told how an upload package ended. Expiry means the package was not delivered: its events stay
// stored and must be offered again.
class RDTCORUploadPackageProtocol {
  public:
    virtual ~RDTCORUploadPackageProtocol() = default;
    virtual void packageExpired(std::shared_ptr<RDTCORUploadPackage>) {}
    virtual void packageDelivered(std::shared_ptr<RDTCORUploadPackage>, bool /*successful*/) {}
};

// Keeps events durably until they are delivered, and small keyed blobs for transport clients.
class RDTCORStorageProtocol : public virtual RDTCORLifecycleProtocol {
  public:
    using LibraryDataCompletion = std::function<void(foundation::ErrorPtr)>;
    using LibraryDataReadCompletion =
        std::function<void(std::optional<foundation::Data>, foundation::ErrorPtr)>;

    // The completion reports whether the event is stored; it may be empty.
    virtual void storeEvent(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete) = 0;
    virtual void removeEvents(const std::set<uint64_t>& eventIDs) = 0;
    virtual void storeLibraryData(const foundation::Data& data, const std::string& key,
                                  LibraryDataCompletion onComplete) = 0;
    virtual void libraryDataForKey(const std::string& key, LibraryDataReadCompletion onComplete) = 0;
    virtual void removeLibraryDataForKey(const std::string& key, LibraryDataCompletion onComplete) = 0;
};

// Chooses what each upload carries.
class RDTCORPrioritizer : public virtual RDTCORLifecycleProtocol, public virtual RDTCORUploadPackageProtocol {
  public:
    virtual void prioritizeEvent(std::shared_ptr<RDTCOREvent> event) = 0;
    virtual std::shared_ptr<RDTCORUploadPackage>
    uploadPackageWithTarget(RDTCORTarget target, RDTCORUploadConditions conditions) = 0;
    virtual void saveState() {}
};

// Delivers packages to a target's backend.
class RDTCORUploader : public virtual RDTCORLifecycleProtocol, public virtual RDTCORUploadPackageProtocol {
  public:
    virtual bool readyToUploadTarget(RDTCORTarget target, RDTCORUploadConditions conditions) = 0;
    virtual void uploadPackage(std::shared_ptr<RDTCORUploadPackage> package) = 0;
};

// Rewrites an event before it is stored; returning null drops it.
class RDTCOREventTransformer {
  public:
    virtual ~RDTCOREventTransformer() = default;
    virtual std::shared_ptr<RDTCOREvent> transform(std::shared_ptr<RDTCOREvent> event) = 0;
};

#pragma once
// The process-wide table of each target's storage, prioritizer and uploader. Registrations replace
// earlier ones for the same target; getters hand out copies of the tables.
#include <map>
#include <memory>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORRegistrar : public RDTCORLifecycleProtocol, public std::enable_shared_from_this<RDTCORRegistrar> {
    struct Token {};

  public:
    static std::shared_ptr<RDTCORRegistrar> sharedInstance();
    // Registrations queued when the registrar goes are dropped with it.
    static std::shared_ptr<RDTCORRegistrar> create();
    explicit RDTCORRegistrar(Token);

    void registerUploader(std::shared_ptr<RDTCORUploader> uploader, RDTCORTarget target);
    void registerStorage(std::shared_ptr<RDTCORStorageProtocol> storage, RDTCORTarget target);
    void registerPrioritizer(std::shared_ptr<RDTCORPrioritizer> prioritizer, RDTCORTarget target);

    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploader>> targetToUploader() const;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORStorageProtocol>> targetToStorage() const;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> targetToPrioritizer() const;

    std::shared_ptr<RDTCORUploader> uploaderForTarget(RDTCORTarget target) const;
    std::shared_ptr<RDTCORStorageProtocol> storageForTarget(RDTCORTarget target) const;
    std::shared_ptr<RDTCORPrioritizer> prioritizerForTarget(RDTCORTarget target) const;

    // Passed on to every uploader, then every prioritizer, then every storage; a part registered
    // for several targets hears it once.
    void appWillForeground(RDTCORApplication& app) override;
    void appWillBackground(RDTCORApplication& app) override;
    void appWillTerminate(RDTCORApplication& app) override;

    foundation::QueuePtr registrarQueue() const { return queue_; }

  private:
    void forEachPart(const std::function<void(RDTCORLifecycleProtocol&)>& call) const;
    foundation::QueuePtr queue_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploader>> uploaders_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORStorageProtocol>> storages_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> prioritizers_;
};

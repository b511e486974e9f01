#pragma once
// The process-wide table of each target's storage, prioritizer and uploader. Registrations replace
// earlier ones for the same target; getters hand out copies of the tables. Registrations are made on
// the registrar's queue; a look-up sees every registration asked for before it, and needs no trip to
// the queue when none is waiting there (events look their storage up one by one).
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

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
    // Runs `read` over the tables: at once when no registration is waiting, else on the queue after
    // the registrations waiting there.
    void lookUp(const std::function<void()>& read) const;
    template <class Part>
    void enqueueRegistration(std::map<RDTCORTarget, std::shared_ptr<Part>> RDTCORRegistrar::*table,
                             std::shared_ptr<Part> part, RDTCORTarget target);
    foundation::QueuePtr queue_;
    // The tables are written on the queue and read anywhere under the mutex.
    mutable std::mutex tablesMutex_;
    std::atomic<int> waiting_{0}; // registrations asked for and not yet made
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploader>> uploaders_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORStorageProtocol>> storages_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> prioritizers_;
};

#pragma once
// The transport's storage: each event's payload in a file named by its ID under the transport folder,
// the events it tracks (by ID and by target) in a keyed archive rewritten after every burst of stores
// and removals, and small keyed blobs ("library data") of transport clients. The archive is read once,
// when the storage is created, before its first store: no life-cycle notification is needed to see
// the events of an earlier run. A store completes with success only once its payload and its archive
// entry are both on disk; a removed event's file goes only once the archive has forgotten it.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORRegistrar;
class RDTCORUploadCoordinator;
namespace transport {
class EventIDCounter;
} // namespace transport

class RDTCORFlatFileStorage : public RDTCORStorageProtocol, public RDTCORCoding {
    struct Token {};

  public:
    struct Dependencies {
        std::string rootDirectory;
        std::shared_ptr<RDTCORRegistrar> registrar;               // may be null: no prioritizer
        std::weak_ptr<RDTCORUploadCoordinator> uploadCoordinator; // may be empty: no forced uploads
        std::shared_ptr<RDTCORApplication> application;           // may be null: no background tasks
        std::shared_ptr<transport::EventIDCounter> counter;       // null: the process counter
    };

    static std::shared_ptr<RDTCORFlatFileStorage> sharedInstance();
    // Class-load registration: the archive's older class names, and the shared storage for the
    // targets 1000, 1001 and 1002.
    static void load();
    static void registerClassNameMappings();
    // A storage over `rootDirectory`; its archive is read first thing on its queue.
    static std::shared_ptr<RDTCORFlatFileStorage> create(Dependencies dependencies);
    RDTCORFlatFileStorage(Token, Dependencies dependencies);
    ~RDTCORFlatFileStorage() override;

    void storeEvent(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete) override;
    void removeEvents(const std::set<uint64_t>& eventIDs) override;
    void storeLibraryData(const foundation::Data& data, const std::string& key,
                          LibraryDataCompletion onComplete) override;
    void libraryDataForKey(const std::string& key, LibraryDataReadCompletion onComplete) override;
    void removeLibraryDataForKey(const std::string& key, LibraryDataCompletion onComplete) override;

    void appWillForeground(RDTCORApplication& app) override;
    void appWillBackground(RDTCORApplication& app) override;
    void appWillTerminate(RDTCORApplication& app) override;

    // Paths in the shared transport folder.
    static std::string archivePath();
    static std::string libraryDataPath();
    // Paths of this storage.
    const std::string& rootDirectory() const { return root_; }
    std::string archiveFilePath() const { return root_ + "/RDTCORFlatFileStorageArchive"; }
    std::string libraryDataDirectory() const { return root_ + "/RDTCORFlatFileStorage/rdt_library_data"; }

    // On the storage queue: writes the event's payload to "event-<ID>" and returns the file's path,
    // or nothing with the error.
    std::string saveEventBytesToDisk(const std::shared_ptr<RDTCOREvent>& event, foundation::ErrorPtr* error);
    // On the storage queue: tracks an event whose payload file is written.
    void addEventToTrackingCollections(const std::shared_ptr<RDTCOREvent>& event, uint64_t payloadSize);

    // Copies of what the storage tracks.
    std::map<uint64_t, std::shared_ptr<RDTCOREvent>> storedEvents() const;
    std::map<RDTCORTarget, RDTCOREventSet> targetToEventSet() const;

    // Waits until everything queued so far is stored and in the archive.
    void waitUntilPersisted();
    foundation::QueuePtr storageQueue() const { return queue_; }

    // On the storage queue only.
    foundation::Value encodeToArchive() const override;

  private:
    struct Stored {
        std::shared_ptr<RDTCOREvent> event;
        uint64_t payloadSize = 0; // 0: unknown (older archives)
        // The event's archive entry, encoded once: rewriting the archive then costs little more
        // than writing its bytes.
        foundation::Data encoded;
    };
    static Stored makeStored(std::shared_ptr<RDTCOREvent> event, uint64_t payloadSize);
    struct PendingStore {
        std::shared_ptr<RDTCOREvent> event;
        uint64_t payloadSize;
        RDTCORSendCompletion completion;
        bool hadCompletion;
        RDTCORBackgroundIdentifier backgroundTask;
    };

    void loadOnQueue();
    void storeOnQueue(const std::shared_ptr<RDTCOREvent>& event, const RDTCORSendCompletion& completion,
                      bool hadCompletion, RDTCORBackgroundIdentifier backgroundTask);
    void scheduleFlush();
    void flushOnQueue();
    bool writeArchiveOnQueue();
    // The archive's body in the archive encoding, assembled from the events' stored encodings.
    foundation::Data encodedArchive() const;
    void commit(const std::vector<PendingStore>& stores);
    std::shared_ptr<RDTCORPrioritizer> prioritizerFor(RDTCORTarget target) const;
    void endBackgroundTask(RDTCORBackgroundIdentifier id);
    std::string pathOf(const std::string& fileName) const { return root_ + "/" + fileName; }
    bool libraryKeyIsValid(const std::string& key, foundation::ErrorPtr* error) const;

    const std::string root_;
    const std::string archivePath_;
    foundation::QueuePtr queue_;
    std::weak_ptr<RDTCORRegistrar> registrar_; // the registrar holds us
    std::weak_ptr<RDTCORUploadCoordinator> coordinator_;
    std::shared_ptr<RDTCORApplication> application_;
    std::shared_ptr<transport::EventIDCounter> counter_;

    // Only touched on the storage queue.
    std::map<uint64_t, Stored> stored_;
    std::map<RDTCORTarget, std::set<uint64_t>> targets_;
    std::vector<PendingStore> pending_;
    std::set<uint64_t> pendingIDs_;
    bool removedSinceArchive_ = false;
    std::vector<std::string> pendingDeletes_;
    bool flushScheduled_ = false;
};

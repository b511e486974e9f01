#pragma once
// The transport's storage: each event's payload in a file named by its ID under the transport folder,
// the events it tracks (by ID and by target) in a keyed archive (the snapshot) plus a journal of the
// stores and removals since it, and small keyed blobs ("library data") of transport clients. The
// archive and journal are read once, when the storage is created, before its first store: no life-cycle
// notification is needed to see the events of an earlier run. A store completes with success only once
// its payload and its journal record are both on disk, so its cost does not grow with what is stored;
// the journal is folded into the archive when it grows large, at background, termination and when the
// storage is destroyed. A removed event's file goes only once the removal is on disk.
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"
#include "sdk/core/transport/StorageJournal.h"

class RDTCORRegistrar;
class RDTCORUploadCoordinator;
namespace transport {
class EventIDCounter;
class PayloadBatch;
} // namespace transport

class RDTCORFlatFileStorage : public RDTCORStorageProtocol,
                              public RDTCORCoding,
                              public std::enable_shared_from_this<RDTCORFlatFileStorage> {
    struct Token {};

  public:
    // Requests taken from the backlog at a time: one journal sync covers them, and their completions
    // come before the next ones are written, so a long backlog still sees acknowledgements.
    static constexpr size_t kRequestsPerBatch = 32;
    static constexpr uint64_t kJournalLimitBytes = 1 << 20;

    struct Dependencies {
        std::string rootDirectory;
        std::shared_ptr<RDTCORRegistrar> registrar;               // may be null: no prioritizer
        std::weak_ptr<RDTCORUploadCoordinator> uploadCoordinator; // may be empty: no forced uploads
        std::shared_ptr<RDTCORApplication> application;           // may be null: no background tasks
        std::shared_ptr<transport::EventIDCounter> counter;       // null: the process counter
        // The journal is folded into the archive once it holds more than this, or more than the
        // archive itself when that is larger (so the rewrites cost a bounded share of each store).
        // 0: kJournalLimitBytes.
        uint64_t journalLimitBytes = 0;
    };

    static std::shared_ptr<RDTCORFlatFileStorage> sharedInstance();
    // Class-load registration: the archive's older class names, and the shared storage for the
    // targets 1000, 1001 and 1002.
    static void load();
    static void registerClassNameMappings();
    // A storage over `rootDirectory`; its archive and journal are read first thing on its queue.
    static std::shared_ptr<RDTCORFlatFileStorage> create(Dependencies dependencies);
    RDTCORFlatFileStorage(Token, Dependencies dependencies);
    // Stores still waiting are made durable and the journal is folded into the archive.
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
    static std::string journalPath();
    static std::string libraryDataPath();
    // Paths of this storage.
    const std::string& rootDirectory() const { return root_; }
    std::string archiveFilePath() const { return root_ + "/RDTCORFlatFileStorageArchive"; }
    std::string journalFilePath() const { return root_ + "/RDTCORFlatFileStorageJournal"; }
    std::string libraryDataDirectory() const { return root_ + "/RDTCORFlatFileStorage/rdt_library_data"; }

    // On the storage queue: writes the event's payload to "event-<ID>" and syncs it (not its name) and
    // returns the file's path, or nothing with the error.
    std::string saveEventBytesToDisk(const std::shared_ptr<RDTCOREvent>& event, foundation::ErrorPtr* error);
    // On the storage queue: tracks an event whose payload file is written.
    void addEventToTrackingCollections(const std::shared_ptr<RDTCOREvent>& event, uint64_t payloadSize);

    // Copies of what the storage tracks.
    std::map<uint64_t, std::shared_ptr<RDTCOREvent>> storedEvents() const;
    std::map<RDTCORTarget, RDTCOREventSet> targetToEventSet() const;

    // Waits until every store and removal asked for so far is on disk (in the journal or the archive).
    void waitUntilPersisted();
    foundation::QueuePtr storageQueue() const { return queue_; }

    // On the storage queue only.
    foundation::Value encodeToArchive() const override;

  private:
    struct Stored {
        std::shared_ptr<RDTCOREvent> event;
        uint64_t payloadSize = 0; // 0: unknown (older archives)
        // The event's archive entry, encoded once: it is the body of its journal record, and rewriting
        // the archive then costs little more than writing its bytes.
        foundation::Data encoded;
    };
    static Stored makeStored(std::shared_ptr<RDTCOREvent> event, uint64_t payloadSize);
    // A store (with an event) or a removal (without), asked for and not yet taken up by the queue.
    // Both wait in one line, so each is done after everything asked for before it.
    struct Request {
        std::shared_ptr<RDTCOREvent> event;
        RDTCORSendCompletion completion;
        bool hadCompletion = false;
        RDTCORBackgroundIdentifier backgroundTask = RDTCORBackgroundIdentifierInvalid;
        std::set<uint64_t> removals;
    };

    // Reads the archive and replays the journal over it, checks what they name against the folder,
    // and starts tracking what holds up; on the queue, before any request.
    void loadOnQueue();
    // What a load has read so far, carried from one of its steps to the next.
    struct Loading;
    void readArchive(Loading& loading);
    void replayJournal(Loading& loading);
    // Drops the events whose payload file is not theirs alone and whole.
    void dropEventsWithoutPayload(Loading& loading);
    // Removes the files no event kept refers to.
    void removeStrayFiles(Loading& loading);
    // Keeps new events from taking an ID an earlier run used.
    void advanceIDCounter(const Loading& loading);
    void trackLoadedEvents(Loading& loading);
    void offerStoredEventsToPrioritizers();
    void openJournal(const Loading& loading);
    // Folds whatever the load changed or replayed into a fresh archive.
    void settleArchive(const Loading& loading);
    void enqueue(Request request);
    void schedulePump();
    void pump();
    // The number of requests made so far.
    uint64_t issuedRequests() const;
    // Up to `limit` waiting requests, only among the first `upTo` ever made.
    std::vector<Request> takeRequests(size_t limit, uint64_t upTo);
    // Carries out, batch by batch, every waiting request among the first `upTo` made.
    void processRequestsUpTo(uint64_t upTo);
    // Writes the batch's payloads, makes its stores and removals durable with one journal append,
    // then answers the stores in order and deletes the removed events' files. Requests among the first
    // `upTo` that arrive while the payloads are written join the batch, up to a full one, before the
    // sync.
    void processBatch(std::vector<Request>& requests, uint64_t upTo);
    // What a batch has done so far, carried from one of its steps to the next.
    struct Batch;
    // Untracks the batch's removals and writes its stores' payloads (not yet synced), encoding the
    // journal records of both; requests that come meanwhile join, up to a full batch.
    void writeRequests(Batch& batch, uint64_t upTo);
    bool joinWaitingRequests(Batch& batch, uint64_t upTo);
    void untrackRemovals(Batch& batch, const std::set<uint64_t>& ids);
    void writeStore(Batch& batch, size_t index);
    // Fails the stores whose payload did not reach the disk and takes their records out.
    void syncPayloads(Batch& batch);
    // Fails every store of the batch when the payloads' names did not reach the disk.
    void syncPayloadNames(Batch& batch);
    // Makes the batch's records durable in the journal, or in the archive when the journal fails.
    void recordBatch(Batch& batch);
    // Fails the stores no durable record refers to, and removes their payload files.
    void forgetUnrecordedStores(Batch& batch);
    // The stores now on disk and not removed again within the batch.
    std::vector<const Request*> durableStores(const Batch& batch) const;
    // Completes every store, in the order asked for.
    void answerStores(const Batch& batch);
    // The removed events' files go, their removal being on disk.
    void deleteRemovedFiles(const Batch& batch);
    void commit(const std::vector<const Request*>& stored);
    // Adds the event's payload file to `files` (not yet synced); on success the event names the file,
    // lets go of its payload object, and `size` is the file's size.
    bool writePayload(const std::shared_ptr<RDTCOREvent>& event, transport::PayloadBatch& files,
                      uint64_t& size, foundation::ErrorPtr* error);
    // Writes the archive from what is tracked and empties the journal.
    bool compactOnQueue();
    void compactIfJournalIsLarge();
    bool writeArchiveOnQueue();
    // The archive's body in the archive encoding, assembled from the events' stored encodings.
    foundation::Data encodedArchive() const;
    std::shared_ptr<RDTCORPrioritizer> prioritizerFor(RDTCORTarget target) const;
    // The prioritizers of one pass over many events: a look-up is a trip to the registrar's queue, so
    // each target is looked up once.
    struct PrioritizerCache {
        std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> found;
        const std::shared_ptr<RDTCORPrioritizer>& forTarget(const RDTCORFlatFileStorage& storage,
                                                            RDTCORTarget target);
    };
    void endBackgroundTask(RDTCORBackgroundIdentifier id);
    std::string pathOf(const std::string& fileName) const { return root_ + "/" + fileName; }
    bool libraryKeyIsValid(const std::string& key, foundation::ErrorPtr* error) const;

    const std::string root_;
    const std::string archivePath_;
    const uint64_t journalLimit_;
    foundation::QueuePtr queue_;
    std::weak_ptr<RDTCORRegistrar> registrar_; // the registrar holds us
    std::weak_ptr<RDTCORUploadCoordinator> coordinator_;
    std::shared_ptr<RDTCORApplication> application_;
    std::shared_ptr<transport::EventIDCounter> counter_;

    // Stores and removals asked for, in order, until the queue takes them up.
    mutable std::mutex intakeMutex_;
    std::deque<Request> intake_;
    uint64_t issued_ = 0;
    uint64_t taken_ = 0;
    bool pumpScheduled_ = false;

    // Only touched on the storage queue (or by the destructor, when nothing else can run).
    bool loaded_ = false;
    std::map<uint64_t, Stored> stored_;
    std::map<RDTCORTarget, std::set<uint64_t>> targets_;
    transport::StorageJournal journal_;
    uint64_t archiveBytes_ = 0;
};

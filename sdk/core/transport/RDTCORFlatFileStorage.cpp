#include "sdk/core/transport/RDTCORFlatFileStorage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <unistd.h>
#include <utility>

#include "platform/foundation/Files.h"
#include "platform/foundation/Format.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/StoragePayloads.h"
#include "sdk/core/transport/StorageRecords.h"

using foundation::Data;
using foundation::ErrorPtr;
using foundation::Value;

namespace {

ErrorPtr storageError(const char* domain, long code, const std::string& description) {
    return foundation::Error::make(domain, code, {{foundation::kLocalizedDescriptionKey, description}});
}

// For work asked of a storage that was destroyed before it got to it.
ErrorPtr storageGone() {
    return storageError(kRDTCORErrorDomain, 12, "The storage was closed before it got to the request.");
}

} // namespace

std::shared_ptr<RDTCORFlatFileStorage> RDTCORFlatFileStorage::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORFlatFileStorage>> instance(create(
        {RDTCORRootDirectory(), RDTCORRegistrar::sharedInstance(), RDTCORUploadCoordinator::sharedInstance(),
         RDTCORApplication::sharedApplication(), transport::EventIDCounter::shared()}));
    return *instance;
}

void RDTCORFlatFileStorage::registerClassNameMappings() {
    RDTCORArchiveSetClassName("RDTCORStoredEvent", "RDTCOREvent");
    RDTCORArchiveSetClassName("RDTCORStorage", "RDTCORFlatFileStorage");
}

void RDTCORFlatFileStorage::load() {
    registerClassNameMappings();
    auto storage = sharedInstance();
    auto registrar = RDTCORRegistrar::sharedInstance();
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
        registrar->registerStorage(storage, t);
}

std::shared_ptr<RDTCORFlatFileStorage> RDTCORFlatFileStorage::create(Dependencies dependencies) {
    auto storage = std::make_shared<RDTCORFlatFileStorage>(Token{}, std::move(dependencies));
    storage->queue_->async([weak = storage->weak_from_this()] {
        if (auto self = weak.lock()) self->loadOnQueue();
    });
    return storage;
}

RDTCORFlatFileStorage::RDTCORFlatFileStorage(Token, Dependencies deps)
    : root_(deps.rootDirectory), archivePath_(root_ + "/RDTCORFlatFileStorageArchive"),
      journalLimit_(deps.journalLimitBytes ? deps.journalLimitBytes : kJournalLimitBytes),
      queue_(foundation::SerialQueue::create("com.ruvara.RDTCORFlatFileStorage")),
      registrar_(std::move(deps.registrar)), coordinator_(std::move(deps.uploadCoordinator)),
      application_(std::move(deps.application)),
      counter_(deps.counter ? std::move(deps.counter) : transport::EventIDCounter::shared()),
      journal_(root_ + "/RDTCORFlatFileStorageJournal") {
    registerClassNameMappings();
}

// Our queued tasks hold us only weakly, so none runs any more: the rest of the work is done here.
RDTCORFlatFileStorage::~RDTCORFlatFileStorage() {
    if (!loaded_) loadOnQueue(); // a store must not take an ID or file of an event not yet loaded
    processRequestsUpTo(UINT64_MAX);
    // Only when there is something to fold in: the coordinator, whose in-flight packages the archive
    // also holds, may already be gone.
    if (journal_.recordBytes() > 0) compactOnQueue();
}

std::string RDTCORFlatFileStorage::archivePath() {
    return RDTCORRootDirectory() + "/RDTCORFlatFileStorageArchive";
}

std::string RDTCORFlatFileStorage::journalPath() {
    return RDTCORRootDirectory() + "/RDTCORFlatFileStorageJournal";
}

std::string RDTCORFlatFileStorage::libraryDataPath() {
    return RDTCORRootDirectory() + "/RDTCORFlatFileStorage/rdt_library_data";
}

void RDTCORFlatFileStorage::endBackgroundTask(RDTCORBackgroundIdentifier id) {
    if (application_) application_->endBackgroundTask(id);
}

// MARK: storing

void RDTCORFlatFileStorage::storeEvent(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete) {
    if (!event) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "The event was nil, so it was not saved.");
        if (onComplete)
            onComplete(false, storageError(kRDTCORErrorDomain, 4, "There was no event to store."));
        return;
    }
    const bool hadCompletion = bool(onComplete);
    if (!onComplete)
        onComplete = [id = event->eventID().value_or(0)](bool success, ErrorPtr error) {
            RDTCORLogDebug("event %@ stored. success:%@ error:%@", id, success ? "YES" : "NO",
                           error ? error->description() : std::string("(null)"));
        };
    RDTCORBackgroundIdentifier task = RDTCORBackgroundIdentifierInvalid;
    if (application_) {
        // The handler lives in the application's own table: a strong reference would be a cycle.
        std::weak_ptr<RDTCORApplication> app = application_;
        auto id = std::make_shared<RDTCORBackgroundIdentifier>();
        *id = application_->beginBackgroundTaskWithName("RDTStorage", [app, id] {
            if (auto a = app.lock()) a->endBackgroundTask(*id);
        });
        task = *id;
    }
    Request request;
    request.event = std::move(event);
    request.completion = std::move(onComplete);
    request.hadCompletion = hadCompletion;
    request.backgroundTask = task;
    enqueue(std::move(request));
}

void RDTCORFlatFileStorage::enqueue(Request request) {
    bool schedule = false;
    {
        std::lock_guard lock(intakeMutex_);
        intake_.push_back(std::move(request));
        ++issued_;
        schedule = !std::exchange(pumpScheduled_, true);
    }
    if (schedule) schedulePump();
}

void RDTCORFlatFileStorage::schedulePump() {
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->pump();
    });
}

void RDTCORFlatFileStorage::pump() {
    auto batch = takeRequests(kRequestsPerBatch, UINT64_MAX);
    processBatch(batch, UINT64_MAX);
    bool more;
    {
        std::lock_guard lock(intakeMutex_);
        more = !intake_.empty();
        pumpScheduled_ = more;
    }
    // Queued again rather than looping, so removals and other work asked for meanwhile get their turn.
    if (more) schedulePump();
}

uint64_t RDTCORFlatFileStorage::issuedRequests() const {
    std::lock_guard lock(intakeMutex_);
    return issued_;
}

std::vector<RDTCORFlatFileStorage::Request> RDTCORFlatFileStorage::takeRequests(size_t limit, uint64_t upTo) {
    std::vector<Request> batch;
    std::lock_guard lock(intakeMutex_);
    while (batch.size() < limit && !intake_.empty() && taken_ < upTo) {
        batch.push_back(std::move(intake_.front()));
        intake_.pop_front();
        ++taken_;
    }
    return batch;
}

void RDTCORFlatFileStorage::processRequestsUpTo(uint64_t upTo) {
    for (auto batch = takeRequests(kRequestsPerBatch, upTo); !batch.empty();
         batch = takeRequests(kRequestsPerBatch, upTo))
        processBatch(batch, upTo);
}

bool RDTCORFlatFileStorage::writePayload(const std::shared_ptr<RDTCOREvent>& event,
                                         transport::PayloadBatch& files, uint64_t& size, ErrorPtr* error) {
    foundation::Data bytes;
    if (const auto& object = event->dataObject()) bytes = object->transportBytes();
    if (bytes.empty()) {
        event->setRDTFilePath(std::nullopt);
        event->setDataObject(nullptr);
        *error = storageError(kRDTCORErrorDomain, 1, "The event has no payload bytes to store.");
        return false;
    }
    std::string fileName = event->payloadFileName();
    const std::string path = pathOf(fileName);
    if (!files.add(path, bytes)) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "An event file could not be written: %@", path);
        *error = storageError(kRDTCORErrorDomain, 2,
                              foundation::format("The event file %@ could not be written.", path));
        return false;
    }
    size = bytes.size();
    event->setRDTFilePath(std::move(fileName));
    event->setDataObject(nullptr);
    return true;
}

std::string RDTCORFlatFileStorage::saveEventBytesToDisk(const std::shared_ptr<RDTCOREvent>& event,
                                                        ErrorPtr* error) {
    ErrorPtr failure;
    transport::PayloadBatch files;
    uint64_t size = 0;
    bool written = writePayload(event, files, size, &failure) && files.sync().front();
    if (written) return pathOf(*event->RDTFilePath());
    if (!failure) failure = storageError(kRDTCORErrorDomain, 6, "The event's payload could not be written.");
    if (error) *error = failure;
    return {};
}

RDTCORFlatFileStorage::Stored RDTCORFlatFileStorage::makeStored(std::shared_ptr<RDTCOREvent> event,
                                                                uint64_t payloadSize) {
    auto encoded = transport::codec::encodeValue(transport::storedEventValue(*event, payloadSize));
    return {std::move(event), payloadSize, std::move(encoded)};
}

void RDTCORFlatFileStorage::addEventToTrackingCollections(const std::shared_ptr<RDTCOREvent>& event,
                                                          uint64_t payloadSize) {
    if (!event->eventID()) return;
    stored_[*event->eventID()] = makeStored(event, payloadSize);
    targets_[event->target()].insert(*event->eventID());
}

struct RDTCORFlatFileStorage::Batch {
    explicit Batch(std::vector<Request>& taken) : requests(taken), errors(taken.size()) {}

    std::vector<Request>& requests;
    std::vector<ErrorPtr> errors;   // one per request
    std::vector<size_t> written;    // stores whose payload is written; tracked from here on
    std::set<uint64_t> batchIDs;    // stored by this batch, even if removed again within it
    std::vector<std::string> files; // of removed events
    foundation::Data records, removalRecords;
    // Where each written store's record lies in `records`, should its payload fail to reach the disk.
    std::vector<std::pair<size_t, size_t>> storeRecords;
    transport::PayloadBatch payloads;
    // Why the written stores could not be made durable, if they could not.
    ErrorPtr failure;
};

void RDTCORFlatFileStorage::processBatch(std::vector<Request>& requests, uint64_t upTo) {
    if (requests.empty()) return;
    Batch batch(requests);
    writeRequests(batch, upTo);
    // The payloads first, then their names, then the records that refer to them. Without the journal
    // the archive must take the batch before its stores count as stored.
    syncPayloads(batch);
    syncPayloadNames(batch);
    recordBatch(batch);
    forgetUnrecordedStores(batch);
    commit(durableStores(batch));
    answerStores(batch);
    deleteRemovedFiles(batch);
    compactIfJournalIsLarge();
}

void RDTCORFlatFileStorage::writeRequests(Batch& batch, uint64_t upTo) {
    for (size_t i = 0; i < batch.requests.size() || joinWaitingRequests(batch, upTo); ++i) {
        if (batch.requests[i].event)
            writeStore(batch, i);
        else
            untrackRemovals(batch, batch.requests[i].removals);
    }
}

// A burst reaches the storage while its first requests are written: what came meanwhile shares their
// sync instead of waiting for one of its own.
bool RDTCORFlatFileStorage::joinWaitingRequests(Batch& batch, uint64_t upTo) {
    auto& requests = batch.requests;
    auto more = takeRequests(kRequestsPerBatch - std::min(kRequestsPerBatch, requests.size()), upTo);
    if (more.empty()) return false;
    std::move(more.begin(), more.end(), std::back_inserter(requests));
    batch.errors.resize(requests.size());
    return true;
}

void RDTCORFlatFileStorage::untrackRemovals(Batch& batch, const std::set<uint64_t>& ids) {
    std::set<uint64_t> removed;
    for (uint64_t id : ids) {
        auto it = stored_.find(id);
        if (it == stored_.end()) continue;
        if (const auto& name = it->second.event->RDTFilePath()) batch.files.push_back(pathOf(*name));
        if (auto t = targets_.find(it->second.event->target()); t != targets_.end()) {
            t->second.erase(id);
            if (t->second.empty()) targets_.erase(t);
        }
        stored_.erase(it);
        removed.insert(id);
    }
    if (removed.empty()) return;
    transport::StorageJournal::appendRemovalRecord(batch.records, removed);
    transport::StorageJournal::appendRemovalRecord(batch.removalRecords, removed);
}

void RDTCORFlatFileStorage::writeStore(Batch& batch, size_t index) {
    const auto& event = batch.requests[index].event;
    if (!event->eventID()) event->setEventID(counter_->next());
    const uint64_t id = *event->eventID();
    ErrorPtr& error = batch.errors[index];
    uint64_t size = 0;
    if (stored_.count(id) || batch.batchIDs.count(id)) {
        // Its payload file would replace the stored event's.
        error = storageError(kRDTCORErrorDomain, 5, "An event with this ID is already stored.");
    } else {
        writePayload(event, batch.payloads, size, &error);
    }
    if (error) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "Event failed to save to disk: %@", *error);
        return;
    }
    auto stored = makeStored(event, size);
    const size_t recordAt = batch.records.size();
    transport::StorageJournal::appendStoreRecord(batch.records, stored.encoded);
    batch.storeRecords.emplace_back(recordAt, batch.records.size());
    stored_[id] = std::move(stored);
    batch.written.push_back(index);
    batch.batchIDs.insert(id);
}

void RDTCORFlatFileStorage::syncPayloads(Batch& batch) {
    const std::vector<bool> synced = batch.payloads.sync();
    if (std::find(synced.begin(), synced.end(), false) == synced.end()) return;
    const auto& records = batch.records;
    foundation::Data kept;
    size_t from = 0;
    std::vector<size_t> still;
    for (size_t k = 0; k < batch.written.size(); ++k) {
        if (synced[k]) {
            still.push_back(batch.written[k]);
            continue;
        }
        const size_t i = batch.written[k];
        stored_.erase(*batch.requests[i].event->eventID());
        ErrorPtr& error = batch.errors[i];
        error = storageError(kRDTCORErrorDomain, 6, "The event's payload could not be written.");
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "Event failed to save to disk: %@", *error);
        kept.insert(kept.end(), records.begin() + long(from),
                    records.begin() + long(batch.storeRecords[k].first));
        from = batch.storeRecords[k].second;
    }
    kept.insert(kept.end(), records.begin() + long(from), records.end());
    batch.records = std::move(kept);
    batch.written = std::move(still);
}

void RDTCORFlatFileStorage::syncPayloadNames(Batch& batch) {
    if (batch.written.empty() || foundation::syncFolder(root_)) return;
    batch.failure = storageError(kRDTCORErrorDomain, 6, "The event's payload could not be written.");
    for (size_t i : batch.written)
        stored_.erase(*batch.requests[i].event->eventID());
    batch.records = std::move(batch.removalRecords); // the removals still count
}

void RDTCORFlatFileStorage::recordBatch(Batch& batch) {
    if (!batch.records.empty() && !journal_.append(batch.records) && !compactOnQueue() && !batch.failure)
        batch.failure = storageError(kRDTCORErrorDomain, 7, "The storage's archive could not be written.");
}

void RDTCORFlatFileStorage::forgetUnrecordedStores(Batch& batch) {
    if (!batch.failure) return;
    for (size_t i : batch.written) {
        // Without a record on disk the event would be lost at the next start: report it unstored.
        const auto& event = batch.requests[i].event;
        stored_.erase(*event->eventID());
        ::unlink(pathOf(*event->RDTFilePath()).c_str());
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "Event failed to save to disk: %@", *batch.failure);
        batch.errors[i] = batch.failure;
    }
}

std::vector<const RDTCORFlatFileStorage::Request*>
RDTCORFlatFileStorage::durableStores(const Batch& batch) const {
    std::vector<const Request*> durable;
    for (size_t i : batch.written)
        if (!batch.errors[i] && stored_.count(*batch.requests[i].event->eventID()))
            durable.push_back(&batch.requests[i]);
    return durable;
}

// In the order they were asked for.
void RDTCORFlatFileStorage::answerStores(const Batch& batch) {
    for (size_t i = 0; i < batch.requests.size(); ++i) {
        const Request& request = batch.requests[i];
        if (!request.event) continue;
        request.completion(!batch.errors[i], batch.errors[i]);
        endBackgroundTask(request.backgroundTask);
    }
}

// Files go only once their removal is on disk, so a crash cannot bring an event back. When neither
// journal nor archive could be written they go all the same: a restart then drops those events (their
// payloads are gone) rather than uploading them again.
void RDTCORFlatFileStorage::deleteRemovedFiles(const Batch& batch) {
    for (const auto& path : batch.files)
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "There was an error removing an event file: %@",
                             path);
}

std::shared_ptr<RDTCORPrioritizer> RDTCORFlatFileStorage::prioritizerFor(RDTCORTarget target) const {
    auto registrar = registrar_.lock();
    return registrar ? registrar->prioritizerForTarget(target) : nullptr;
}

const std::shared_ptr<RDTCORPrioritizer>&
RDTCORFlatFileStorage::PrioritizerCache::forTarget(const RDTCORFlatFileStorage& storage,
                                                   RDTCORTarget target) {
    auto [it, added] = found.try_emplace(target);
    if (added) it->second = storage.prioritizerFor(target);
    return it->second;
}

void RDTCORFlatFileStorage::commit(const std::vector<const Request*>& stores) {
    // Like the journal sync, the prioritizers' saved state and the forced uploads are done once per batch.
    std::vector<std::shared_ptr<RDTCORPrioritizer>> toSave;
    std::set<RDTCORTarget> toForce;
    PrioritizerCache prioritizers;
    for (const Request* r : stores) {
        const auto& event = r->event;
        targets_[event->target()].insert(*event->eventID());
        if (const auto& prioritizer = prioritizers.forTarget(*this, event->target())) {
            // The prioritizer gets its own copy: it may annotate it while we keep ours unchanged.
            prioritizer->prioritizeEvent(event->copy());
            if (r->hadCompletion && std::find(toSave.begin(), toSave.end(), prioritizer) == toSave.end())
                toSave.push_back(prioritizer);
        }
        if (event->qosTier() == RDTCOREventQoSFast) toForce.insert(event->target());
    }
    for (const auto& prioritizer : toSave)
        prioritizer->saveState();
    if (auto coordinator = coordinator_.lock())
        for (RDTCORTarget target : toForce)
            coordinator->forceUploadForTarget(target);
}

bool RDTCORFlatFileStorage::writeArchiveOnQueue() {
    ErrorPtr error;
    auto bytes = RDTCORWriteEncodedArchive(encodedArchive(), archivePath_, &error);
    if (!bytes) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved,
                         "Serializing RDTCORFlatFileStorage to an archive failed: %@",
                         error ? error->description() : std::string("(unknown)"));
        return false;
    }
    archiveBytes_ = bytes->size();
    RDTCORLogDebug("Serialized RDTCORFlatFileStorage to %@", archivePath_);
    return true;
}

bool RDTCORFlatFileStorage::compactOnQueue() {
    if (!writeArchiveOnQueue()) return false;
    // A crash before this leaves records the archive already holds; replaying them changes nothing.
    if (!journal_.reset() && journal_.isUsable())
        RDTCORLogWarning(RDTCORLogCodeUnreadableFile, "The journal %@ could not be emptied.",
                         journal_.path());
    return true;
}

void RDTCORFlatFileStorage::compactIfJournalIsLarge() {
    if (journal_.recordBytes() > std::max(journalLimit_, archiveBytes_)) compactOnQueue();
}

// MARK: removing

void RDTCORFlatFileStorage::removeEvents(const std::set<uint64_t>& eventIDs) {
    if (eventIDs.empty()) return;
    Request request;
    request.removals = eventIDs;
    enqueue(std::move(request));
}

// MARK: reading

std::map<uint64_t, std::shared_ptr<RDTCOREvent>> RDTCORFlatFileStorage::storedEvents() const {
    std::map<uint64_t, std::shared_ptr<RDTCOREvent>> copy;
    queue_->sync([&] {
        for (const auto& [id, s] : stored_)
            copy[id] = s.event->copy();
    });
    return copy;
}

std::map<RDTCORTarget, RDTCOREventSet> RDTCORFlatFileStorage::targetToEventSet() const {
    std::map<RDTCORTarget, RDTCOREventSet> copy;
    queue_->sync([&] {
        for (const auto& [target, ids] : targets_)
            for (uint64_t id : ids)
                if (auto it = stored_.find(id); it != stored_.end())
                    copy[target].insert(it->second.event->copy());
    });
    return copy;
}

void RDTCORFlatFileStorage::waitUntilPersisted() {
    const uint64_t upTo = issuedRequests();
    queue_->sync([&] { processRequestsUpTo(upTo); });
}

// MARK: life cycle

void RDTCORFlatFileStorage::appWillForeground(RDTCORApplication&) {
    // The archive was read at creation; what is in memory now is newer than the file.
    RDTCORLogDebug("RDTCORFlatFileStorage keeps its state on foreground.");
}

void RDTCORFlatFileStorage::appWillBackground(RDTCORApplication& app) {
    std::weak_ptr<RDTCORApplication> weakApp = app.weak_from_this();
    auto id = std::make_shared<RDTCORBackgroundIdentifier>();
    *id = app.beginBackgroundTaskWithName("RDTStorage", [weakApp, id] {
        if (auto a = weakApp.lock()) a->endBackgroundTask(*id);
    });
    queue_->async([weak = weak_from_this(), weakApp, id, before = issuedRequests()] {
        // A storage already gone did this work on its way out.
        if (auto self = weak.lock()) {
            self->processRequestsUpTo(before);
            self->compactOnQueue();
        }
        if (auto a = weakApp.lock()) a->endBackgroundTask(*id);
    });
}

void RDTCORFlatFileStorage::appWillTerminate(RDTCORApplication&) {
    const uint64_t upTo = issuedRequests();
    queue_->sync([&] {
        processRequestsUpTo(upTo);
        compactOnQueue();
    });
}

// MARK: library data

bool RDTCORFlatFileStorage::libraryKeyIsValid(const std::string& key, ErrorPtr* error) const {
    // A key names one file in the library folder and nothing outside it.
    bool ok = !key.empty() && key != "." && key != ".." && key.find('/') == std::string::npos &&
              key.find('\0') == std::string::npos && key.find(".tmp-") == std::string::npos;
    if (!ok && error)
        *error = storageError(kRDTCORErrorDomain, 8, "A library data key must be a plain file name.");
    return ok;
}

void RDTCORFlatFileStorage::storeLibraryData(const Data& data, const std::string& key,
                                             LibraryDataCompletion onComplete) {
    if (data.empty()) {
        if (onComplete)
            onComplete(
                storageError("NSInternalInconsistencyException", -1, "Data to store was nil or empty."));
        return;
    }
    ErrorPtr error;
    if (!libraryKeyIsValid(key, &error)) {
        if (onComplete) onComplete(error);
        return;
    }
    queue_->async([weak = weak_from_this(), data, key, onComplete] {
        auto self = weak.lock();
        ErrorPtr err;
        if (!self)
            err = storageGone();
        else if (!foundation::writeFileAtomically(self->libraryDataDirectory() + "/" + key, data))
            err = storageError(kRDTCORErrorDomain, 9, "The library data could not be written.");
        if (onComplete) onComplete(err);
    });
}

void RDTCORFlatFileStorage::libraryDataForKey(const std::string& key, LibraryDataReadCompletion onComplete) {
    ErrorPtr error;
    if (!libraryKeyIsValid(key, &error)) {
        if (onComplete) onComplete(std::nullopt, error);
        return;
    }
    queue_->async([weak = weak_from_this(), key, onComplete] {
        auto self = weak.lock();
        std::optional<Data> bytes;
        ErrorPtr err;
        if (!self)
            err = storageGone();
        else if (!(bytes = foundation::readFile(self->libraryDataDirectory() + "/" + key)))
            err = storageError(kRDTCORErrorDomain, 10, "The library data could not be read.");
        if (onComplete) onComplete(bytes, err);
    });
}

void RDTCORFlatFileStorage::removeLibraryDataForKey(const std::string& key,
                                                    LibraryDataCompletion onComplete) {
    ErrorPtr error;
    if (!libraryKeyIsValid(key, &error)) {
        if (onComplete) onComplete(error);
        return;
    }
    queue_->async([weak = weak_from_this(), key, onComplete] {
        auto self = weak.lock();
        if (!self) {
            if (onComplete) onComplete(storageGone());
            return;
        }
        std::string path = self->libraryDataDirectory() + "/" + key;
        if (!foundation::fileExists(path)) return;
        ErrorPtr err;
        if (::unlink(path.c_str()) != 0)
            err = storageError(kRDTCORErrorDomain, 11, "The library data could not be removed.");
        if (onComplete) onComplete(err);
    });
}

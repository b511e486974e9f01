#include "sdk/core/transport/RDTCORFlatFileStorage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/NoDestructor.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/StorageRecords.h"

using foundation::Data;
using foundation::ErrorPtr;
using foundation::Value;

namespace {

ErrorPtr storageError(const char* domain, long code, const std::string& description) {
    return foundation::Error::make(domain, code, {{foundation::kLocalizedDescriptionKey, description}});
}

} // namespace

std::shared_ptr<RDTCORFlatFileStorage> RDTCORFlatFileStorage::sharedInstance() {
    static transport::NoDestructor<std::shared_ptr<RDTCORFlatFileStorage>> instance(create(
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
    return std::make_shared<RDTCORFlatFileStorage>(Token{}, std::move(dependencies));
}

RDTCORFlatFileStorage::RDTCORFlatFileStorage(Token, Dependencies deps)
    : root_(deps.rootDirectory), archivePath_(root_ + "/RDTCORFlatFileStorageArchive"),
      queue_(foundation::SerialQueue::create("com.ruvara.RDTCORFlatFileStorage")),
      registrar_(std::move(deps.registrar)), coordinator_(std::move(deps.uploadCoordinator)),
      application_(std::move(deps.application)),
      counter_(deps.counter ? std::move(deps.counter) : transport::EventIDCounter::shared()) {
    registerClassNameMappings();
    queue_->async([this] { loadOnQueue(); });
}

RDTCORFlatFileStorage::~RDTCORFlatFileStorage() {
    queue_->sync([this] { flushOnQueue(); });
}

std::string RDTCORFlatFileStorage::archivePath() {
    return RDTCORRootDirectory() + "/RDTCORFlatFileStorageArchive";
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
        auto app = application_;
        auto id = std::make_shared<RDTCORBackgroundIdentifier>();
        *id = app->beginBackgroundTaskWithName("RDTStorage", [app, id] { app->endBackgroundTask(*id); });
        task = *id;
    }
    queue_->async([this, event = std::move(event), onComplete = std::move(onComplete), hadCompletion, task] {
        storeOnQueue(event, onComplete, hadCompletion, task);
    });
}

std::string RDTCORFlatFileStorage::saveEventBytesToDisk(const std::shared_ptr<RDTCOREvent>& event,
                                                        ErrorPtr* error) {
    std::string fileName = event->payloadFileName();
    if (!event->writeToRDTPath(fileName, error, root_)) return {};
    return pathOf(fileName);
}

void RDTCORFlatFileStorage::storeOnQueue(const std::shared_ptr<RDTCOREvent>& event,
                                         const RDTCORSendCompletion& completion, bool hadCompletion,
                                         RDTCORBackgroundIdentifier task) {
    if (!event->eventID()) event->setEventID(counter_->next());
    const uint64_t id = *event->eventID();
    ErrorPtr error;
    if (stored_.count(id) || pendingIDs_.count(id)) {
        // Its payload file would replace the stored event's.
        error = storageError(kRDTCORErrorDomain, 5, "An event with this ID is already stored.");
    } else if (saveEventBytesToDisk(event, &error).empty() && !error) {
        error = storageError(kRDTCORErrorDomain, 6, "The event's payload could not be written.");
    }
    if (error) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "Event failed to save to disk: %@", *error);
        completion(false, error);
        endBackgroundTask(task);
        return;
    }
    struct stat st;
    uint64_t size = ::stat(pathOf(*event->RDTFilePath()).c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    pending_.push_back({event, size, completion, hadCompletion, task});
    pendingIDs_.insert(id);
    scheduleFlush();
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

void RDTCORFlatFileStorage::scheduleFlush() {
    // One archive write for everything queued up to when it runs.
    if (flushScheduled_) return;
    flushScheduled_ = true;
    queue_->async([this] { flushOnQueue(); });
}

void RDTCORFlatFileStorage::flushOnQueue() {
    flushScheduled_ = false;
    if (pending_.empty() && !removedSinceArchive_) return;
    for (auto& p : pending_)
        stored_[*p.event->eventID()] = makeStored(p.event, p.payloadSize);
    const bool persisted = writeArchiveOnQueue();
    auto stores = std::move(pending_);
    pending_.clear();
    pendingIDs_.clear();
    if (persisted) {
        removedSinceArchive_ = false;
        commit(stores);
    }
    for (auto& p : stores) {
        if (persisted) {
            p.completion(true, nullptr);
        } else {
            // Without its archive entry the event would be lost at the next start: report it unstored.
            stored_.erase(*p.event->eventID());
            ::unlink(pathOf(*p.event->RDTFilePath()).c_str());
            auto error = storageError(kRDTCORErrorDomain, 7, "The storage's archive could not be written.");
            RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "Event failed to save to disk: %@", *error);
            p.completion(false, error);
        }
        endBackgroundTask(p.backgroundTask);
    }
    // Files go only after the archive forgot their events, so a crash cannot bring one back. When the
    // archive could not be written they go all the same: a restart then drops those events (their
    // payloads are gone) rather than uploading them again, and the next burst retries the archive.
    for (const auto& path : pendingDeletes_)
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "There was an error removing an event file: %@",
                             path);
    pendingDeletes_.clear();
}

std::shared_ptr<RDTCORPrioritizer> RDTCORFlatFileStorage::prioritizerFor(RDTCORTarget target) const {
    auto registrar = registrar_.lock();
    return registrar ? registrar->prioritizerForTarget(target) : nullptr;
}

void RDTCORFlatFileStorage::commit(const std::vector<PendingStore>& stores) {
    // Like the archive, the prioritizers' saved state and the forced uploads are done once per burst.
    std::vector<std::shared_ptr<RDTCORPrioritizer>> toSave;
    std::set<RDTCORTarget> toForce;
    for (const auto& p : stores) {
        const auto& event = p.event;
        targets_[event->target()].insert(*event->eventID());
        if (auto prioritizer = prioritizerFor(event->target())) {
            // The prioritizer gets its own copy: it may annotate it while we keep ours unchanged.
            prioritizer->prioritizeEvent(event->copy());
            if (p.hadCompletion && std::find(toSave.begin(), toSave.end(), prioritizer) == toSave.end())
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
    if (!RDTCORWriteEncodedArchive(encodedArchive(), archivePath_, &error)) {
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved,
                         "Serializing RDTCORFlatFileStorage to an archive failed: %@",
                         error ? error->description() : std::string("(unknown)"));
        return false;
    }
    RDTCORLogDebug("Serialized RDTCORFlatFileStorage to %@", archivePath_);
    return true;
}

// MARK: removing

void RDTCORFlatFileStorage::removeEvents(const std::set<uint64_t>& eventIDs) {
    queue_->async([this, eventIDs] {
        // Stores queued before the removal count as done before it.
        for (uint64_t id : eventIDs)
            if (pendingIDs_.count(id)) {
                flushOnQueue();
                break;
            }
        bool removed = false;
        for (uint64_t id : eventIDs) {
            auto it = stored_.find(id);
            if (it == stored_.end()) continue;
            const auto& event = it->second.event;
            if (event->RDTFilePath()) pendingDeletes_.push_back(pathOf(*event->RDTFilePath()));
            if (auto t = targets_.find(event->target()); t != targets_.end()) {
                t->second.erase(id);
                if (t->second.empty()) targets_.erase(t);
            }
            stored_.erase(it);
            removed = true;
        }
        if (!removed) return;
        removedSinceArchive_ = true;
        scheduleFlush();
    });
}

// MARK: reading

std::map<uint64_t, std::shared_ptr<RDTCOREvent>> RDTCORFlatFileStorage::storedEvents() const {
    std::map<uint64_t, std::shared_ptr<RDTCOREvent>> copy;
    queue_->sync([&] {
        for (const auto& [id, s] : stored_)
            if (!pendingIDs_.count(id)) copy[id] = s.event->copy();
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
    queue_->sync([this] { flushOnQueue(); });
}

// MARK: life cycle

void RDTCORFlatFileStorage::appWillForeground(RDTCORApplication&) {
    // The archive was read at creation; what is in memory now is newer than the file.
    RDTCORLogDebug("RDTCORFlatFileStorage keeps its state on foreground.");
}

void RDTCORFlatFileStorage::appWillBackground(RDTCORApplication& app) {
    auto id = std::make_shared<RDTCORBackgroundIdentifier>();
    *id = app.beginBackgroundTaskWithName("RDTStorage", [&app, id] { app.endBackgroundTask(*id); });
    queue_->async([this, &app, id] {
        flushOnQueue();
        writeArchiveOnQueue();
        app.endBackgroundTask(*id);
    });
}

void RDTCORFlatFileStorage::appWillTerminate(RDTCORApplication&) {
    queue_->sync([this] {
        flushOnQueue();
        writeArchiveOnQueue();
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
    queue_->async([this, data, key, onComplete] {
        ErrorPtr err;
        if (!foundation::writeFileAtomically(libraryDataDirectory() + "/" + key, data))
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
    queue_->async([this, key, onComplete] {
        auto bytes = foundation::readFile(libraryDataDirectory() + "/" + key);
        ErrorPtr err;
        if (!bytes) err = storageError(kRDTCORErrorDomain, 10, "The library data could not be read.");
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
    queue_->async([this, key, onComplete] {
        std::string path = libraryDataDirectory() + "/" + key;
        if (!foundation::fileExists(path)) return;
        ErrorPtr err;
        if (::unlink(path.c_str()) != 0)
            err = storageError(kRDTCORErrorDomain, 11, "The library data could not be removed.");
        if (onComplete) onComplete(err);
    });
}

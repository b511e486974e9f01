// Reading and writing the storage's archive, replaying its journal, and the check of the transport
// folder at creation.
#include <algorithm>
#include <dirent.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/StorageRecords.h"

using foundation::ErrorPtr;
using foundation::Value;

namespace {

constexpr const char* kStoredEventsKey = "RDTCORStorageStoredEventsKey";
constexpr const char* kTargetToEventSetKey = "RDTCORStorageTargetToEventSetKey";
constexpr const char* kUploadCoordinatorKey = "RDTCORStorageUploadCoordinatorKey";

// "<name>.tmp-<pid>-<n>": a temporary of an atomic write that another process left behind.
bool isStaleTemporary(const std::string& name) {
    auto at = name.find(".tmp-");
    if (at == std::string::npos) return false;
    long pid = std::strtol(name.c_str() + at + 5, nullptr, 10);
    return pid > 0 && pid != long(::getpid());
}

} // namespace

foundation::Data RDTCORFlatFileStorage::encodedArchive() const {
    namespace codec = transport::codec;
    foundation::Dictionary targetTable;
    {
        std::map<RDTCORTarget, foundation::Array> targets;
        for (const auto& [id, s] : stored_)
            targets[s.event->target()].emplace_back(int64_t(id));
        for (auto& [target, ids] : targets)
            targetTable[std::to_string(target)] = RDTCORArchiveSet(std::move(ids));
    }
    auto coordinator = coordinator_.lock();

    foundation::Data out;
    size_t eventBytes = 0;
    for (const auto& [id, s] : stored_)
        eventBytes += s.encoded.size() + 24;
    out.reserve(eventBytes + 16 * stored_.size() + 256);
    codec::appendDictionaryHeader(out, coordinator ? 4 : 3);
    codec::appendKey(out, kRDTCORArchiveClassKey);
    codec::appendValue(out, Value("RDTCORFlatFileStorage"));
    codec::appendKey(out, kStoredEventsKey);
    codec::appendDictionaryHeader(out, stored_.size());
    for (const auto& [id, s] : stored_) {
        codec::appendKey(out, std::to_string(id));
        out.insert(out.end(), s.encoded.begin(), s.encoded.end());
    }
    codec::appendKey(out, kTargetToEventSetKey);
    codec::appendValue(out, Value(std::move(targetTable)));
    if (coordinator) {
        codec::appendKey(out, kUploadCoordinatorKey);
        codec::appendValue(out, coordinator->encodeToArchive());
    }
    return out;
}

Value RDTCORFlatFileStorage::encodeToArchive() const {
    auto encoded = encodedArchive();
    return transport::codec::decodeValue(encoded.data(), encoded.size()).value_or(Value());
}

struct RDTCORFlatFileStorage::Loading {
    // IDs for archived events that have none.
    std::function<uint64_t()> newEventID;
    std::map<uint64_t, Stored> entries;
    // Set when the archive holds what the load did not take (it is damaged, events were dropped):
    // it is rewritten afterwards.
    bool rewrite = false;
    Value coordinatorValue;
    transport::JournalContents journaled;
    uint64_t highestRemoved = 0;
    // The payload files of the events kept.
    std::set<std::string> referenced;
    // The highest event ID met, if any was.
    uint64_t highest = 0;
    bool anyID = false;

    // Takes an archived event; `replace`: over one already taken with its ID.
    void take(const Value& v, bool replace) {
        std::string why;
        auto event = RDTCOREvent::decode(v, newEventID, &why);
        if (!event) {
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                             "An archived event could not be read and was dropped: %@", why);
            rewrite = true;
            return;
        }
        uint64_t size = v[transport::kStoredPayloadSizeKey].isNumber()
                            ? uint64_t(v[transport::kStoredPayloadSizeKey].intValue())
                            : 0;
        if (replace || !entries.count(*event->eventID())) entries[*event->eventID()] = {event, size, {}};
    }
};

void RDTCORFlatFileStorage::loadOnQueue() {
    foundation::createDirectories(root_);
    Loading loading;
    loading.newEventID = [counter = counter_] { return counter->next(); };
    readArchive(loading);
    replayJournal(loading);
    dropEventsWithoutPayload(loading);
    removeStrayFiles(loading);
    advanceIDCounter(loading);
    trackLoadedEvents(loading);
    offerStoredEventsToPrioritizers();
    openJournal(loading);
    loaded_ = true;
    settleArchive(loading);
}

void RDTCORFlatFileStorage::readArchive(Loading& loading) {
    ErrorPtr error;
    auto archived = RDTCORDecodeArchive("RDTCORFlatFileStorage", archivePath_, nullptr, &error);
    if (error) {
        RDTCORLogDebug("Deserializing RDTCORFlatFileStorage from an archive failed: %@", *error);
        loading.rewrite = true;
    }
    if (!archived) return;
    const Value& events = (*archived)[kStoredEventsKey];
    if (const auto* members = RDTCORArchiveCollectionObjects(events)) {
        for (const auto& item : *members)
            loading.take(item, true); // older archives: an ordered set
    } else if (events.isDictionary() && RDTCORArchiveClassOf(events).empty()) {
        for (const auto& [key, item] : *events.dictionary())
            loading.take(item, true);
    }
    // Older archives may hold events only in their target sets.
    if (const auto* table = (*archived)[kTargetToEventSetKey].dictionary())
        for (const auto& [key, set] : *table)
            if (const auto* members = RDTCORArchiveCollectionObjects(set))
                for (const auto& item : *members)
                    if (item.isDictionary()) loading.take(item, false);
    loading.coordinatorValue = (*archived)[kUploadCoordinatorKey];
}

// What was stored and removed since the archive was written, in order. Records the archive already
// holds (a crash between writing it and emptying the journal) change nothing.
void RDTCORFlatFileStorage::replayJournal(Loading& loading) {
    loading.journaled = transport::StorageJournal::read(journal_.path());
    const auto& journaled = loading.journaled;
    for (const auto& record : journaled.records) {
        if (record.kind == transport::JournalRecord::Kind::Store) {
            loading.take(record.value, true);
        } else if (const auto* ids = record.value.array()) {
            for (const auto& id : *ids)
                if (id.isNumber() && id.intValue() >= 0) {
                    loading.entries.erase(uint64_t(id.intValue()));
                    loading.highestRemoved = std::max(loading.highestRemoved, uint64_t(id.intValue()));
                }
        }
    }
    if (journaled.droppedBytes)
        RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                         "The journal %@ is damaged (%@); %@ bytes after its last whole record were dropped.",
                         journal_.path(), journaled.problem, journaled.droppedBytes);
}

// Every tracked event must have its whole payload file, and a file of its own.
void RDTCORFlatFileStorage::dropEventsWithoutPayload(Loading& loading) {
    auto& entries = loading.entries;
    for (auto it = entries.begin(); it != entries.end();) {
        const auto& event = it->second.event;
        const std::string name = event->RDTFilePath().value_or("");
        std::string problem;
        struct stat st;
        if (!RDTCORIsSafePayloadFileName(name))
            problem = "its payload file name is not one of the transport's";
        else if (loading.referenced.count(name))
            problem = "another event uses its payload file";
        else if (::lstat(pathOf(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            problem = "its payload file is missing";
        else if (it->second.payloadSize && uint64_t(st.st_size) != it->second.payloadSize)
            problem = "its payload file is incomplete";
        if (!problem.empty()) {
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile, "The stored event %@ was dropped: %@.", *event,
                             problem);
            it = entries.erase(it);
            loading.rewrite = true;
            continue;
        }
        loading.referenced.insert(name);
        loading.highest = std::max(loading.highest, it->first);
        loading.anyID = true;
        ++it;
    }
}

// Files no tracked event refers to: a store cut short, or a removal whose file outlived it.
void RDTCORFlatFileStorage::removeStrayFiles(Loading& loading) {
    DIR* dir = ::opendir(root_.c_str());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        uint64_t fileID;
        if (transport::parseEventFileName(name, fileID)) {
            loading.highest = std::max(loading.highest, fileID);
            loading.anyID = true;
        }
        struct stat st;
        if (::lstat(pathOf(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (name.rfind("event-", 0) == 0 && !loading.referenced.count(name)) {
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                             "The event file %@ belonged to no stored event and was removed.", name);
            ::unlink(pathOf(name).c_str());
        } else if (isStaleTemporary(name)) {
            RDTCORLogDebug("Removing the leftover temporary file %@", name);
            ::unlink(pathOf(name).c_str());
        }
    }
    ::closedir(dir);
}

// Above every ID an event or file still holds, and every ID the journal removed.
void RDTCORFlatFileStorage::advanceIDCounter(const Loading& loading) {
    if (loading.anyID || loading.highestRemoved > loading.highest)
        counter_->ensureAbove(std::max(loading.highest, loading.highestRemoved));
}

void RDTCORFlatFileStorage::trackLoadedEvents(Loading& loading) {
    stored_.clear();
    targets_.clear();
    std::set<uint64_t> ids;
    for (auto& [id, s] : loading.entries) {
        targets_[s.event->target()].insert(id);
        ids.insert(id);
        stored_[id] = makeStored(std::move(s.event), s.payloadSize);
    }
    if (auto coordinator = coordinator_.lock(); coordinator && !loading.coordinatorValue.isNull())
        coordinator->decodeFromArchive(loading.coordinatorValue, &ids, loading.newEventID);
}

// Offer what an earlier run stored, so it is uploaded even if the prioritizer lost track of it; a
// prioritizer keeps one entry per event, so events it already holds are not doubled.
void RDTCORFlatFileStorage::offerStoredEventsToPrioritizers() {
    PrioritizerCache prioritizers;
    for (const auto& [id, s] : stored_)
        if (const auto& prioritizer = prioritizers.forTarget(*this, s.event->target()))
            prioritizer->prioritizeEvent(s.event->copy());
}

// One that could not be read is left as it is: starting it afresh would lose what it holds.
void RDTCORFlatFileStorage::openJournal(const Loading& loading) {
    const auto& journaled = loading.journaled;
    if (!journaled.readable || !journal_.open(journaled.validBytes))
        RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                         "The journal %@ cannot be used (%@); each store rewrites the archive instead.",
                         journal_.path(), journaled.readable ? "it cannot be written" : journaled.problem);
}

// Start from an archive that holds everything and an empty journal.
void RDTCORFlatFileStorage::settleArchive(const Loading& loading) {
    const auto& journaled = loading.journaled;
    if (loading.rewrite || !journaled.records.empty() || journaled.droppedBytes ||
        !journaled.problem.empty()) {
        compactOnQueue();
    } else {
        struct stat st;
        archiveBytes_ = ::stat(archivePath_.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    }
}

// Reading and writing the storage's archive, and the check of the transport folder at creation.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/StorageJournal.h"
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

Value RDTCORFlatFileStorage::encodeToArchive() const {
    foundation::Dictionary events;
    std::map<RDTCORTarget, foundation::Array> targets;
    for (const auto& [id, s] : stored_) {
        events[std::to_string(id)] = transport::storedEventValue(*s.event, s.payloadSize);
        targets[s.event->target()].emplace_back(int64_t(id));
    }
    foundation::Dictionary targetTable;
    for (auto& [target, ids] : targets)
        targetTable[std::to_string(target)] = RDTCORArchiveSet(std::move(ids));
    foundation::Dictionary d{{kRDTCORArchiveClassKey, "RDTCORFlatFileStorage"},
                             {kStoredEventsKey, Value(std::move(events))},
                             {kTargetToEventSetKey, Value(std::move(targetTable))}};
    if (auto coordinator = coordinator_.lock()) d[kUploadCoordinatorKey] = coordinator->encodeToArchive();
    return Value(std::move(d));
}

void RDTCORFlatFileStorage::loadOnQueue() {
    foundation::createDirectories(root_);
    auto newEventID = [counter = counter_] { return counter->next(); };
    std::map<uint64_t, Stored> entries;
    bool rewrite = false;

    auto take = [&](const Value& v, bool replace) {
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
        if (replace || !entries.count(*event->eventID())) entries[*event->eventID()] = {event, size};
    };

    ErrorPtr error;
    Value coordinatorValue;
    auto archived = RDTCORDecodeArchive("RDTCORFlatFileStorage", archivePath_, nullptr, &error);
    if (error) {
        RDTCORLogDebug("Deserializing RDTCORFlatFileStorage from an archive failed: %@", *error);
        rewrite = true;
    }
    if (archived) {
        const Value& events = (*archived)[kStoredEventsKey];
        if (const auto* members = RDTCORArchiveCollectionObjects(events)) {
            for (const auto& item : *members)
                take(item, true); // older archives: an ordered set
        } else if (events.isDictionary() && RDTCORArchiveClassOf(events).empty()) {
            for (const auto& [key, item] : *events.dictionary())
                take(item, true);
        }
        // Older archives may hold events only in their target sets.
        if (const auto* table = (*archived)[kTargetToEventSetKey].dictionary())
            for (const auto& [key, set] : *table)
                if (const auto* members = RDTCORArchiveCollectionObjects(set))
                    for (const auto& item : *members)
                        if (item.isDictionary()) take(item, false);
        coordinatorValue = (*archived)[kUploadCoordinatorKey];
    }

    bool damagedTail = false;
    auto records = journal_->readAll(&damagedTail);
    if (damagedTail)
        RDTCORLogWarning(
            RDTCORLogCodeUnreadableFile,
            "The storage's change log %@ ends in a damaged record; the records before it were kept.",
            journal_->path());
    if (damagedTail || !records.empty()) rewrite = true;
    for (const auto& record : records) {
        const std::string op = record[transport::kRecordOperationKey].stringValue();
        if (op == transport::kRecordStore) {
            take(record[transport::kRecordEventKey], true);
        } else if (op == transport::kRecordRemove) {
            if (const auto* ids = record[transport::kRecordIDsKey].array())
                for (const auto& id : *ids)
                    entries.erase(uint64_t(id.intValue()));
        }
    }

    // Every tracked event must have its whole payload file, and a file of its own.
    std::set<std::string> referenced;
    uint64_t highest = 0;
    bool anyID = false;
    for (auto it = entries.begin(); it != entries.end();) {
        const auto& event = it->second.event;
        const std::string name = event->RDTFilePath().value_or("");
        std::string problem;
        struct stat st;
        if (!RDTCORIsSafePayloadFileName(name))
            problem = "its payload file name is not one of the transport's";
        else if (referenced.count(name))
            problem = "another event uses its payload file";
        else if (::lstat(pathOf(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            problem = "its payload file is missing";
        else if (it->second.payloadSize && uint64_t(st.st_size) != it->second.payloadSize)
            problem = "its payload file is incomplete";
        if (!problem.empty()) {
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile, "The stored event %@ was dropped: %@.", *event,
                             problem);
            it = entries.erase(it);
            rewrite = true;
            continue;
        }
        referenced.insert(name);
        highest = std::max(highest, it->first);
        anyID = true;
        ++it;
    }

    // Files no tracked event refers to: a store cut short, or a removal whose file outlived it.
    if (DIR* dir = ::opendir(root_.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            uint64_t fileID;
            if (transport::parseEventFileName(name, fileID)) {
                highest = std::max(highest, fileID);
                anyID = true;
            }
            struct stat st;
            if (::lstat(pathOf(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            if (name.rfind("event-", 0) == 0 && !referenced.count(name)) {
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
    if (anyID) counter_->ensureAbove(highest);

    stored_ = std::move(entries);
    targets_.clear();
    std::set<uint64_t> ids;
    for (const auto& [id, s] : stored_) {
        targets_[s.event->target()].insert(id);
        ids.insert(id);
    }
    if (auto coordinator = coordinator_.lock(); coordinator && !coordinatorValue.isNull())
        coordinator->decodeFromArchive(coordinatorValue, &ids, newEventID);

    // Offer what an earlier run stored, so it is uploaded even if the prioritizer lost track of it;
    // a prioritizer keeps one entry per event, so events it already holds are not doubled.
    for (const auto& [id, s] : stored_)
        if (auto prioritizer = prioritizerFor(s.event->target()))
            prioritizer->prioritizeEvent(s.event->copy());

    if (rewrite) {
        writeArchiveOnQueue();
    } else {
        struct stat st;
        archiveSize_ = ::stat(archivePath_.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    }
}

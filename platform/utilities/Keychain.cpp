#include "platform/utilities/Keychain.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/PercentEncoding.h"
#include "platform/foundation/Plist.h"

namespace utilities::keychain {

namespace fs = std::filesystem;
using foundation::Data;
using foundation::Dictionary;
using foundation::Value;

namespace {

// One process-wide lock: a replace is a rename, but a match-then-delete must not interleave with it.
std::mutex storeMutex;

constexpr const char* kItemSuffix = ".item";
constexpr size_t kMaxFileName = 255;

// Percent-encodes everything but letters, digits, "-", "_" and ".", so any attribute value makes a safe
// file-name part. Data values get a "~" mark so they never collide with a string of the same bytes.
std::string encode(const Value& v) {
    std::string bytes;
    std::string out;
    if (v.isNull()) return out;
    if (auto s = v.string())
        bytes = *s;
    else if (auto d = v.data()) {
        bytes.assign(d->begin(), d->end());
        out = "~";
    } else
        bytes = v.description();
    return out + foundation::percentEncode(bytes, "-_.");
}

const Value& attribute(const Dictionary& d, const char* key) {
    static const Value null;
    auto it = d.find(key);
    return it == d.end() ? null : it->second;
}

std::string groupFolder(const Dictionary& attributes) {
    const Value& g = attribute(attributes, kAccessGroup);
    if (g.isNull() || (g.isString() && g.string()->empty())) return rootPath() + "/default";
    return rootPath() + "/group-" + encode(g);
}

std::string itemFileName(const Dictionary& a) {
    return encode(attribute(a, kClass)) + "+" + encode(attribute(a, kService)) + "+" +
           encode(attribute(a, kAccount)) + "+" + encode(attribute(a, kApplicationTag)) + "+" +
           encode(attribute(a, kKeyType)) + kItemSuffix;
}

// Creates the folder (and the keychain root) private to the user, tightening one that exists.
bool ensurePrivateFolder(const std::string& path) {
    if (!foundation::createDirectories(foundation::home::library())) return false;
    for (const std::string& dir : {rootPath(), path}) {
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (::chmod(dir.c_str(), 0700) != 0) return false;
    }
    return true;
}

struct Item {
    Dictionary attributes;
    Data data;
};

enum class ReadOutcome { Read, Damaged, Unreadable };

ReadOutcome readItem(const std::string& path, std::optional<Item>& item) {
    item.reset();
    // The file was just listed: not reading it is the system's refusal, not an absent item.
    auto bytes = foundation::readFile(path);
    if (!bytes) return ReadOutcome::Unreadable;
    auto v = foundation::plist::parse(*bytes);
    if (!v || !v->isDictionary()) return ReadOutcome::Damaged;
    const Value& attrs = (*v)["attributes"];
    const Value& data = (*v)["data"];
    if (!attrs.isDictionary() || !data.isData()) return ReadOutcome::Damaged;
    item = Item{*attrs.dictionary(), *data.data()};
    return ReadOutcome::Read;
}

bool matches(const Dictionary& item, const Dictionary& query) {
    for (const auto& [key, value] : query) {
        if (key == kAccessGroup) continue; // the folder already decided it
        if (attribute(item, key.c_str()) != value) return false;
    }
    return true;
}

std::vector<std::string> itemFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() > 5 && name.ends_with(kItemSuffix)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

std::string rootPath() {
    return foundation::home::library() + "/Keychain";
}

Status setItem(const Dictionary& attributes, const Data& data) {
    std::string name = itemFileName(attributes);
    if (name.size() > kMaxFileName) return kBadParameter;
    std::lock_guard lock(storeMutex);
    std::string folder = groupFolder(attributes);
    if (!ensurePrivateFolder(folder)) return kWriteFailed;
    Dictionary file{{"attributes", Value(attributes)}, {"data", Value(data)}};
    // 0600 from its first byte, in the folder just made private.
    return foundation::writeFileAtomically(folder + "/" + name, foundation::plist::toBinary(Value(file)),
                                           0600)
               ? kSuccess
               : kWriteFailed;
}

Status copyMatching(const Dictionary& query, Data& data) {
    std::lock_guard lock(storeMutex);
    bool unreadable = false;
    for (const auto& path : itemFiles(groupFolder(query))) {
        std::optional<Item> item;
        if (readItem(path, item) == ReadOutcome::Unreadable) unreadable = true;
        if (item && matches(item->attributes, query)) {
            data = std::move(item->data);
            return kSuccess;
        }
    }
    // An item the system would not let us read may be the one asked for: "not found" would be a guess.
    return unreadable ? kReadFailed : kItemNotFound;
}

Status deleteMatching(const Dictionary& query) {
    std::lock_guard lock(storeMutex);
    std::string folder = groupFolder(query);
    std::string identityFile = folder + "/" + itemFileName(query);
    bool found = false;
    for (const auto& path : itemFiles(folder)) {
        std::optional<Item> item;
        readItem(path, item);
        // A damaged item under exactly the identity asked for goes too; it reads as absent anyway.
        bool hit = item ? matches(item->attributes, query) : path == identityFile;
        if (!hit) continue;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return kWriteFailed;
        found = true;
    }
    return found ? kSuccess : kItemNotFound;
}

foundation::ErrorPtr errorForStatus(Status status, const std::string& operation) {
    return foundation::Error::make(
        kErrorDomain, status,
        {{foundation::kLocalizedFailureReasonKey, foundation::format("%@ (%ld)", operation, long(status))}});
}

} // namespace utilities::keychain

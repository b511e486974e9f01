#include "platform/photos/AssetFiles.h"

#include <filesystem>
#include <regex>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "platform/foundation/Log.h"

namespace photos {

namespace fs = std::filesystem;

namespace {

// Only what assetFilePath makes from the library's own identifiers: upper-case version-4 UUIDs and a
// lower-case image format name.
bool isAssetFileName(const std::string& shard, const std::string& name) {
    static const std::regex pattern(
        "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\.[a-z0-9]{1,10}");
    return name.compare(0, 1, shard) == 0 && std::regex_match(name, pattern);
}

// The entry itself, not what a symbolic link points at.
bool is(const fs::directory_entry& entry, fs::file_type type) {
    std::error_code ec;
    return entry.symlink_status(ec).type() == type;
}

} // namespace

std::string assetFilePath(const std::string& uuid, const std::string& extension) {
    return "originals/" + uuid.substr(0, 1) + "/" + uuid + "." + extension;
}

std::optional<std::vector<std::string>> unnamedAssetFiles(const std::string& root,
                                                          const std::set<std::string>& named) {
    std::vector<std::string> unnamed;
    std::error_code ec;
    for (fs::directory_iterator shard(root + "/originals", ec), end; !ec && shard != end;
         shard.increment(ec)) {
        const std::string letter = shard->path().filename().string();
        if (letter.size() != 1 || !is(*shard, fs::file_type::directory)) continue;
        std::error_code inner;
        for (fs::directory_iterator file(shard->path(), inner); !inner && file != end;
             file.increment(inner)) {
            const std::string name = file->path().filename().string();
            if (!isAssetFileName(letter, name) || !is(*file, fs::file_type::regular)) continue;
            const std::string relative = "originals/" + letter + "/" + name;
            if (named.count(relative) == 0) unnamed.push_back(relative);
        }
        if (inner) return std::nullopt;
    }
    if (ec) return std::nullopt;
    return unnamed;
}

void removeUnnamedAssetFiles(const std::string& root, const std::set<std::string>& named) {
    // Gathered first: the folders are not changed while read.
    const auto unnamed = unnamedAssetFiles(root, named);
    if (!unnamed) {
        foundation::log("The photo files of %@ could not all be listed; no leftover file was removed.", root);
        return;
    }
    for (const std::string& relative : *unnamed) {
        const std::string path = root + "/" + relative;
        if (::unlink(path.c_str()) == 0)
            foundation::log("The photo file %@ belonged to no photograph and was removed.", path);
        else
            foundation::log("The photo file %@ belongs to no photograph but could not be removed: %@", path,
                            std::generic_category().message(errno));
    }
}

} // namespace photos

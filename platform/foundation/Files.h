#pragma once
// File helpers: whole-file reads and atomic replacement (temporary file beside the target, then rename).
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

std::optional<Data> readFile(const std::string& path);
// None also for a file longer than maxBytes, which is not read beyond that.
std::optional<Data> readFile(const std::string& path, size_t maxBytes);
std::optional<std::string> readTextFile(const std::string& path);
// Writes through a temporary file in the same folder and renames it over the target, so a reader
// sees the old or the new content, never a mix. Creates missing parent folders. On failure errno
// says why the content could not be put in place.
bool writeFileAtomically(const std::string& path, const void* bytes, size_t size);
inline bool writeFileAtomically(const std::string& path, const Data& d) {
    return writeFileAtomically(path, d.data(), d.size());
}
inline bool writeFileAtomically(const std::string& path, const std::string& s) {
    return writeFileAtomically(path, s.data(), s.size());
}

// How much of a replacement is made durable. A temporary is named "<name>.tmp-<pid>-<n>", so a later
// start can tell one a crash left behind; several files renamed into one folder can share one sync.
enum class FileSync {
    None,         // a crash of the process keeps the new content; a power cut may not
    Data,         // the content is on disk; the rename is once the folder is synced
    DataAndFolder // both are on disk
};
bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync);
// Makes renames and new names in `folder` durable.
bool syncFolder(const std::string& folder);

bool fileExists(const std::string& path);
bool createDirectories(const std::string& path);

} // namespace foundation

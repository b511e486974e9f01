#pragma once
// File helpers: whole-file reads and atomic writes (temporary file, fsync, rename).
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

std::optional<Data> readFile(const std::string& path);
std::optional<std::string> readTextFile(const std::string& path);
// Writes through a temporary file in the same folder and renames it over the target, so a reader
// sees the old or the new content, never a mix. Creates missing parent folders.
bool writeFileAtomically(const std::string& path, const void* bytes, size_t size);
inline bool writeFileAtomically(const std::string& path, const Data& d) {
    return writeFileAtomically(path, d.data(), d.size());
}
inline bool writeFileAtomically(const std::string& path, const std::string& s) {
    return writeFileAtomically(path, s.data(), s.size());
}
bool fileExists(const std::string& path);
bool createDirectories(const std::string& path);

} // namespace foundation

#pragma once
// File helpers: whole-file reads, the writes every writer of ours makes, and atomic replacement
// (temporary file beside the target, then rename).
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

#include "platform/foundation/Value.h"

namespace foundation {

std::optional<Data> readFile(const std::string& path);
// None also for a file longer than maxBytes, which is not read beyond that.
std::optional<Data> readFile(const std::string& path, size_t maxBytes);
std::optional<std::string> readTextFile(const std::string& path);

// The permissions a new file is made with when no mode is given: 0644, less the process's umask.
inline constexpr mode_t kNewFileMode = 0644;

// Opens `path` to be written from empty: closed on exec, never through a symbolic link at its end, and
// made with `mode`, less the process's umask, when missing. -1 with errno when it cannot be.
int openForWriting(const std::string& path, mode_t mode = kNewFileMode);
// Writes all `size` bytes at the file's position, again after an interruption. False, with errno,
// once the system takes no more (a full disk: ENOSPC); what it took before stays written.
bool writeAll(int fd, const void* bytes, size_t size);
// The same at `offset`; the file's position is left where it was.
bool writeAllAt(int fd, const void* bytes, size_t size, uint64_t offset);

// Writes through a temporary file in the same folder and renames it over the target, so a reader
// sees the old or the new content, never a mix; the content is synced, and the folder as well as
// it allows. Creates missing parent folders. On failure errno says why the content could not be put
// in place. With a `mode` the file has exactly that mode from its first byte, whatever the umask, and
// its folder must exist (a private file goes only where its caller made a folder for it).
bool writeFileAtomically(const std::string& path, const void* bytes, size_t size,
                         std::optional<mode_t> mode = std::nullopt);
inline bool writeFileAtomically(const std::string& path, const Data& d,
                                std::optional<mode_t> mode = std::nullopt) {
    return writeFileAtomically(path, d.data(), d.size(), mode);
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
// `mode` as for writeFileAtomically.
bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync,
                 std::optional<mode_t> mode = std::nullopt);
// Makes renames and new names in `folder` durable.
bool syncFolder(const std::string& folder);

bool fileExists(const std::string& path);
bool createDirectories(const std::string& path);

} // namespace foundation

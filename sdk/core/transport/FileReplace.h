#pragma once
// Replacing a whole file in the transport's folder: the bytes go to a temporary beside it
// ("<name>.tmp-<pid>-<n>", which a later start removes if a crash left it) and are renamed over the
// file, so a reader sees the old content or the new, never part of either. How much is made durable
// is the caller's choice: several files renamed into one folder can share one folder sync.
#include <cstddef>
#include <string>

namespace transport {

enum class FileSync {
    None,         // a crash of the process keeps the new content; a power cut may not
    Data,         // the content is on disk; the rename is once the folder is synced
    DataAndFolder // both are on disk
};

bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync);
// Makes renames and new names in `folder` durable.
bool syncFolder(const std::string& folder);

} // namespace transport

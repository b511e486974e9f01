#pragma once
// Where the library keeps a photograph: "originals/<first letter>/<UUID>.<extension>" under its root,
// written once and only then named by the index. A file of that form that the index does not name is
// what a write cut short left behind (the process killed between the file and the index's commit).
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace photos {

// The file of a new asset, relative to the library root.
std::string assetFilePath(const std::string& uuid, const std::string& extension);

// The regular files under the root's "originals" that are named as asset files and yet are not in
// `named` (paths relative to the root, as those are); none when a folder there cannot be read.
std::optional<std::vector<std::string>> unnamedAssetFiles(const std::string& root,
                                                          const std::set<std::string>& named);

// Removes those files, logging each; nothing else there is touched, and nothing at all when they
// cannot all be listed.
void removeUnnamedAssetFiles(const std::string& root, const std::set<std::string>& named);

} // namespace photos

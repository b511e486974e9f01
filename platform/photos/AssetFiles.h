#pragma once
// Where the library keeps a photograph: "originals/<first letter>/<UUID>.<extension>" under its root,
// written once and only then named by the index. A file of that form that the index does not name is
// what a write cut short left behind (the process killed between the file and the index's commit).
#include <set>
#include <string>

namespace photos {

// The file of a new asset, relative to the library root.
std::string assetFilePath(const std::string& uuid, const std::string& extension);

// Removes the regular files under the root's "originals" that are named as asset files and yet are
// not in `named` (paths relative to the root), logging each; nothing else there is touched.
void removeUnnamedAssetFiles(const std::string& root, const std::set<std::string>& named);

} // namespace photos

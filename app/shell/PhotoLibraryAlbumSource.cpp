#include "app/shell/PhotoLibraryAlbumSource.h"

namespace shell {

std::vector<store::PhotoAlbum> PhotoLibraryAlbumSource::userAlbums() {
    std::vector<store::PhotoAlbum> out;
    for (const auto& a : library()->userAlbums())
        out.push_back({a.localIdentifier, a.localizedTitle});
    return out;
}

std::vector<store::PhotoAsset> PhotoLibraryAlbumSource::assetsInAlbum(const store::PhotoAlbum& album) {
    std::vector<store::PhotoAsset> out;
    auto lib = library();
    auto found = lib->albumWithLocalIdentifier(album.localIdentifier);
    if (!found) return out;
    for (const auto& a : lib->assetsInAlbum(*found))
        out.push_back({a.localIdentifier});
    return out;
}

} // namespace shell

#pragma once
// The patient records' view of the photo library: user albums and their assets, by local identifier.
#include "app/store/PhotoAlbumSource.h"
#include "platform/photos/PhotoLibrary.h"

namespace shell {

class PhotoLibraryAlbumSource : public store::PhotoAlbumSource {
  public:
    // Null: the library of the current app home, looked up on each use.
    explicit PhotoLibraryAlbumSource(photos::PhotoLibraryPtr library = nullptr)
        : library_(std::move(library)) {}
    std::vector<store::PhotoAlbum> userAlbums() override;
    std::vector<store::PhotoAsset> assetsInAlbum(const store::PhotoAlbum& album) override;

  private:
    photos::PhotoLibraryPtr library() const { return library_ ? library_ : photos::PhotoLibrary::shared(); }
    photos::PhotoLibraryPtr library_;
};

} // namespace shell

#pragma once
// What the patient records need of the photo library: the user albums in the library's order and
// each album's assets in album order, named by local identifier. The photo library stand-in provides
// it through a small adapter; tests use a fake.
#include <string>
#include <vector>

namespace store {

// An asset as the records keep it; screens fetch the picture by its local identifier.
struct PhotoAsset {
    std::string localIdentifier;
    bool operator==(const PhotoAsset&) const = default;
};

struct PhotoAlbum {
    std::string localIdentifier;
    std::string localizedTitle;
    bool operator==(const PhotoAlbum&) const = default;
};

class PhotoAlbumSource {
  public:
    virtual ~PhotoAlbumSource() = default;
    // Every user album, in the library's order.
    virtual std::vector<PhotoAlbum> userAlbums() = 0;
    // The album's assets in the library's default order.
    virtual std::vector<PhotoAsset> assetsInAlbum(const PhotoAlbum& album) = 0;
};

} // namespace store

#pragma once
// One change of the photo library, gathered by the caller's change block and applied on the library's
// queue as a whole: new asset files are written and synced first, then the index takes every change
// in one transaction. New objects get their local identifiers at once, so later steps of the same
// change (and the caller, after success) can name them.
#include <QImage>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/photos/ImageCheck.h"

namespace photos {

class ChangeRequest {
  public:
    // A new user album with this title; returns its local identifier.
    std::string createAlbum(const std::string& title);
    // A new image asset from encoded image data (JPEG, PNG, ...); returns its local identifier.
    std::string createImageAsset(foundation::Data imageData);
    // The same for data already found a picture by checkImage, which is not read again.
    std::string createImageAsset(foundation::Data imageData, ImageInfo checked);
    // A new JPEG asset from a decoded image (a null image fails the change).
    std::string createImageAsset(const QImage& image);
    // Appends assets to an album's end, in the order given; assets already in it keep their place.
    void addAssets(const std::string& albumLocalIdentifier,
                   const std::vector<std::string>& assetLocalIdentifiers);
    // The same for the first album with this title, made in this change when there is none, so assets
    // saved into it always have an album to sit in.
    void addAssetsToAlbumTitled(const std::string& title,
                                const std::vector<std::string>& assetLocalIdentifiers);
    // Takes assets out of an album; the assets themselves stay in the library. Assets not in the album
    // are passed over.
    void removeAssets(const std::string& albumLocalIdentifier,
                      const std::vector<std::string>& assetLocalIdentifiers);
    // Makes the whole change fail with this description, applying nothing: a change block that finds
    // the library not as it needs it says so here instead of changing half of it.
    void fail(const std::string& description);

    struct NewAlbum {
        std::string localIdentifier;
        std::string title;
    };
    struct NewAsset {
        std::string localIdentifier;
        foundation::Data data;
        std::optional<ImageInfo> checked;
    };
    struct Addition {
        std::string album;
        std::vector<std::string> assets;
    };
    struct TitledAddition {
        std::string title;
        std::vector<std::string> assets;
    };
    struct Removal {
        std::string album;
        std::vector<std::string> assets;
    };
    using Step = std::variant<NewAlbum, NewAsset, Addition, TitledAddition, Removal>;
    const std::vector<Step>& steps() const { return steps_; }
    bool empty() const { return steps_.empty(); }
    // Set by fail(); the change then applies nothing.
    const std::string& failure() const { return failure_; }

  private:
    std::vector<Step> steps_;
    std::string failure_;
};

// A fresh local identifier: "UUID/L0/001" for assets, "UUID/L0/040" for albums.
std::string makeLocalIdentifier(bool album);

} // namespace photos

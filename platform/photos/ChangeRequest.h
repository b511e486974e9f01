#pragma once
// One change of the photo library, gathered by the caller's change block and applied on the library's
// queue as a whole: new asset files are written and synced first, then the index takes every change
// in one transaction. New objects get their local identifiers at once, so later steps of the same
// change (and the caller, after success) can name them.
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Value.h"

namespace photos {

class ChangeRequest {
  public:
    // A new user album with this title; returns its local identifier.
    std::string createAlbum(const std::string& title);
    // A new image asset from encoded image data (JPEG, PNG, ...); returns its local identifier.
    std::string createImageAsset(foundation::Data imageData);
    // Appends assets to an album's end, in the order given; assets already in it keep their place.
    void addAssets(const std::string& albumLocalIdentifier,
                   const std::vector<std::string>& assetLocalIdentifiers);

    struct NewAlbum {
        std::string localIdentifier;
        std::string title;
    };
    struct NewAsset {
        std::string localIdentifier;
        foundation::Data data;
    };
    struct Addition {
        std::string album;
        std::vector<std::string> assets;
    };
    using Step = std::variant<NewAlbum, NewAsset, Addition>;
    const std::vector<Step>& steps() const { return steps_; }
    bool empty() const { return steps_.empty(); }

  private:
    std::vector<Step> steps_;
};

// A fresh local identifier: "UUID/L0/001" for assets, "UUID/L0/040" for albums.
std::string makeLocalIdentifier(bool album);

} // namespace photos

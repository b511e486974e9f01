#pragma once
// The photo library stand-in: the device's photo store, kept under the app home's "PhotoLibrary"
// folder as write-once asset files plus an index (see PhotoIndex.h). Reads run on the caller's thread;
// changes run on the library's own queue, each as one transaction. Opening also clears, on that queue,
// the photo files a killed process wrote but never entered in the index, unless the index was made anew
// after photographs were stored: it lost them, so they are kept, and taken back into the album the
// opener names for them (see FoundPhotographs.h). Access follows the authorization status, a setting
// that tests (and an installer) can change: without access, reads find nothing and changes fail.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/photos/Asset.h"
#include "platform/photos/ChangeRequest.h"

namespace photos {

class PhotoIndex;
struct AssetRecord;

class PhotoLibrary {
  public:
    // Opens (creating when needed) the library in `root`; see isAvailable(). Photographs its index does
    // not name after the index was made anew go to the album titled `foundPhotographsAlbum`; without
    // a title they are only kept.
    explicit PhotoLibrary(std::string root, std::string foundPhotographsAlbum = {});
    ~PhotoLibrary();
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    // The library of the current app home (opened again when the home changes).
    static std::shared_ptr<PhotoLibrary> shared();
    // The album the shared library takes found photographs back into (none until set); for libraries
    // opened after this.
    static void setFoundPhotographsAlbum(std::string title);

    // ---- authorization
    static AuthorizationStatus authorizationStatus(AccessLevel level = AccessLevel::ReadWrite);
    static void setAuthorizationStatus(AuthorizationStatus status);
    // Tests: the error number the write of a photograph's file fails with, as a full disk's would
    // (0 writes it). Null writes every file.
    static void setFileWriteFailureForTesting(std::function<int(const std::string& path)> failure);
    // Asks for access. There is no one to ask on this platform: an undetermined status becomes
    // authorized (as when the user allows access); any other stays. The handler runs on a queue that
    // is not the main queue.
    static void requestAuthorization(AccessLevel level, std::function<void(AuthorizationStatus)> handler);

    const std::string& root() const { return root_; }
    bool isAvailable() const;
    const std::string& openError() const { return openError_; }
    foundation::QueuePtr queue() const { return queue_; }

    // ---- reading (empty without access)
    // Every user album, in creation order.
    std::vector<Album> userAlbums() const;
    // The user albums with exactly this title, in creation order.
    std::vector<Album> albumsWithTitle(const std::string& title) const;
    std::optional<Album> albumWithLocalIdentifier(const std::string& localIdentifier) const;
    // Every asset of the library, in creation order (the all-photos album).
    std::vector<Asset> allAssets() const;
    // The album's assets in album order.
    std::vector<Asset> assetsInAlbum(const Album& album) const;
    // The known assets among the identifiers, in the order asked, each once.
    std::vector<Asset> assetsWithLocalIdentifiers(const std::vector<std::string>& localIdentifiers) const;
    std::optional<foundation::Data> imageData(const Asset& asset) const;
    // The same, delivered on the main queue.
    void requestImageData(const Asset& asset,
                          std::function<void(std::optional<foundation::Data>)> handler) const;

    // ---- changing
    using ChangeBlock = std::function<void(ChangeRequest&)>;
    using Completion = std::function<void(bool success, foundation::ErrorPtr error)>;
    // Runs the change block and applies its changes on the library's queue; the completion runs there.
    // A change still queued when the library goes (its last owner let go from the queue) applies
    // nothing and completes with an error.
    // A failed change's error keeps its code; its description tells the staff why, in Japanese (see
    // ChangeFailure.h), unless the change block gave its own, and its failure reason is the cause alone.
    void performChanges(ChangeBlock changes, Completion completion);
    // The same, waiting for the result (applied at once when called on the library's queue).
    foundation::ErrorPtr performChangesAndWait(ChangeBlock changes);

  private:
    // How queued work reaches the library: cleared, under its mutex, when the library goes.
    struct Lifeline {
        std::mutex mutex;
        PhotoLibrary* library = nullptr;
    };

    static bool accessGranted();
    void removeUnnamedFiles();
    // Takes the files back into the index and the found photographs' album; the files it could not
    // take back.
    std::vector<std::string> takeBack(const std::vector<std::string>& unnamed);
    foundation::ErrorPtr apply(const ChangeRequest& request);
    foundation::ErrorPtr writeAssetFile(const ChangeRequest::NewAsset& asset, AssetRecord& record,
                                        std::vector<std::string>& written);

    std::string root_;
    std::string foundAlbum_;
    std::string openError_;
    mutable std::mutex mutex_; // guards the index
    std::unique_ptr<PhotoIndex> index_;
    std::shared_ptr<Lifeline> lifeline_ = std::make_shared<Lifeline>();
    foundation::QueuePtr queue_;
};

using PhotoLibraryPtr = std::shared_ptr<PhotoLibrary>;

} // namespace photos

#pragma once
// The library's index: one SQLite file ("Photos.sqlite") listing assets, albums and album membership
// in creation order. Asset files themselves are written once under "originals/" and never changed;
// the index only ever refers to files that were completely written and synced first.
//
// Format (user_version 1):
//   assets(seq INTEGER PRIMARY KEY AUTOINCREMENT, local_id TEXT UNIQUE, media_type INTEGER,
//          file TEXT (relative to the library root), uti TEXT, pixel_width, pixel_height, byte_size,
//          creation_date REAL seconds since 1970)
//   albums(seq INTEGER PRIMARY KEY AUTOINCREMENT, local_id TEXT UNIQUE, title TEXT, creation_date REAL)
//   album_assets(album_seq, asset_seq, position; PRIMARY KEY(album_seq, asset_seq)) — position orders an
//          album, taking max+1 on each addition
//   library_state(key TEXT PRIMARY KEY, value TEXT) — the row ("names_every_file", "1") says the index
//          has named every photo file of the library since it was made, so that a file it does not name
//          is a leftover of a write cut short. An index made anew over stored photographs has it only
//          once it has taken every one of them back (see FoundPhotographs.h).
// Creation order is seq order. Not thread-safe by itself: the library serialises access.
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/photos/Asset.h"

struct sqlite3;

namespace photos {

struct AssetRecord {
    Asset asset;
    std::string file; // relative to the library root
    int64_t byteSize = 0;
};

class PhotoIndex {
  public:
    // Opens or creates the index; null with a reason when it can't (unreadable, newer format).
    static std::unique_ptr<PhotoIndex> open(const std::string& path, std::string& error);
    // Why this open made the index anew (its file was missing, empty, or held no index); empty when it
    // opened one that was there.
    const std::string& madeAnew() const { return madeAnew_; }
    struct Key; // only open() makes indexes
    PhotoIndex(sqlite3* db, Key);
    ~PhotoIndex();
    PhotoIndex(const PhotoIndex&) = delete;
    PhotoIndex& operator=(const PhotoIndex&) = delete;

    std::vector<Album> albums(const std::optional<std::string>& title = std::nullopt);
    std::optional<Album> album(const std::string& localIdentifier);
    std::vector<Asset> assetsInAlbum(const std::string& albumLocalIdentifier);
    std::optional<AssetRecord> asset(const std::string& localIdentifier);
    // Every asset with its file, in creation order (the all-photos view, and consistency checks).
    std::vector<AssetRecord> allAssets();
    // Every file the assets name; none when they cannot all be read, so that no file is ever taken
    // for unnamed because of a failed read.
    std::optional<std::set<std::string>> files();
    // Whether the index has named every photo file since it was made (see the format above); none when
    // that cannot be read.
    std::optional<bool> namesEveryFile();
    // Notes that it does: only for an index that names every photo file there is right now.
    bool setNamesEveryFile();

    bool begin();
    bool commit();
    void rollback();
    bool insertAsset(const AssetRecord& record);
    bool insertAlbum(const Album& album);
    // Appends to the album's end; an asset already in the album stays where it is.
    bool addToAlbum(const std::string& albumLocalIdentifier, const std::string& assetLocalIdentifier);
    // Takes the asset out of the album; false only when the statement fails.
    bool removeFromAlbum(const std::string& albumLocalIdentifier, const std::string& assetLocalIdentifier);
    std::string lastError() const;
    // The errno behind the last failure when the disk or the system refused it (a full disk, no
    // right to write), else 0.
    int lastSystemError() const;

  private:
    bool exec(const char* sql);
    // Whether the table is there; none when that cannot be read.
    std::optional<bool> hasTable(const char* name);
    sqlite3* db_;
    std::string madeAnew_;
};

} // namespace photos

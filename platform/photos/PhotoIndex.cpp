#include "platform/photos/PhotoIndex.h"

#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>

namespace photos {

namespace {
constexpr int kFormatVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS assets (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  local_id TEXT NOT NULL UNIQUE,
  media_type INTEGER NOT NULL,
  file TEXT NOT NULL,
  uti TEXT NOT NULL,
  pixel_width INTEGER NOT NULL,
  pixel_height INTEGER NOT NULL,
  byte_size INTEGER NOT NULL,
  creation_date REAL NOT NULL);
CREATE TABLE IF NOT EXISTS albums (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  local_id TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL,
  creation_date REAL NOT NULL);
CREATE INDEX IF NOT EXISTS albums_title ON albums(title);
CREATE TABLE IF NOT EXISTS album_assets (
  album_seq INTEGER NOT NULL REFERENCES albums(seq),
  asset_seq INTEGER NOT NULL REFERENCES assets(seq),
  position INTEGER NOT NULL,
  PRIMARY KEY (album_seq, asset_seq));
CREATE INDEX IF NOT EXISTS album_assets_order ON album_assets(album_seq, position);
CREATE TABLE IF NOT EXISTS library_state (
  key TEXT PRIMARY KEY,
  value TEXT NOT NULL);
)sql";

// A prepared statement that finalizes itself.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    // 1-based for bind, 0-based for columns.
    Statement& bind(int i, const std::string& s) {
        sqlite3_bind_text(stmt_, i, s.data(), int(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, double v) {
        sqlite3_bind_double(stmt_, i, v);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or the failure.
    int next() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    bool step() { return next() == SQLITE_ROW; }
    bool run() { return next() == SQLITE_DONE; }
    std::string text(int c) const {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? std::string(p, size_t(sqlite3_column_bytes(stmt_, c))) : std::string();
    }
    int64_t integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kAssetColumns =
    "a.local_id, a.media_type, a.pixel_width, a.pixel_height, a.creation_date, a.uti, a.file, a.byte_size";

AssetRecord readAsset(const Statement& s) {
    AssetRecord r;
    r.asset.localIdentifier = s.text(0);
    r.asset.mediaType = MediaType(s.integer(1));
    r.asset.pixelWidth = int(s.integer(2));
    r.asset.pixelHeight = int(s.integer(3));
    r.asset.creationDate = foundation::Date{s.real(4)};
    r.asset.uniformTypeIdentifier = s.text(5);
    r.file = s.text(6);
    r.byteSize = s.integer(7);
    return r;
}

Album readAlbum(const Statement& s) {
    return Album{s.text(0), s.text(1), foundation::Date{s.real(2)}};
}
} // namespace

struct PhotoIndex::Key {};

PhotoIndex::PhotoIndex(sqlite3* db, Key) : db_(db) {}

std::unique_ptr<PhotoIndex> PhotoIndex::open(const std::string& path, std::string& error) {
    struct stat found {};
    const bool present = ::stat(path.c_str(), &found) == 0;
    const char* notThere = !present             ? "its file was missing"
                           : found.st_size == 0 ? "its file was empty"
                                                : "its file held no index";
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return nullptr;
    }
    auto index = std::make_unique<PhotoIndex>(db, Key{});
    sqlite3_busy_timeout(db, 5000);
    int version = 0;
    {
        Statement s(db, "PRAGMA user_version");
        if (!s.step()) {
            error = sqlite3_errmsg(db);
            return nullptr;
        }
        version = int(s.integer(0));
    }
    if (version > kFormatVersion) {
        error = "the photo library was written by a newer version";
        return nullptr;
    }
    // Asked before the schema makes them: an index made now names none of the photographs stored so far.
    const std::optional<bool> hadIndex = index->hasTable("assets");
    const std::optional<bool> hadState = index->hasTable("library_state");
    if (!hadIndex || !hadState || !index->exec("PRAGMA foreign_keys = ON")) {
        error = index->lastError();
        return nullptr;
    }
    // An index that was there before its state was kept names every file, as it always has. The
    // schema and that note go in together, so neither is there without the other.
    if (!index->begin() || !index->exec(kSchema) ||
        (*hadIndex && !*hadState && !index->setNamesEveryFile()) ||
        !index->exec(("PRAGMA user_version = " + std::to_string(kFormatVersion)).c_str()) ||
        !index->commit()) {
        error = index->lastError();
        index->rollback();
        return nullptr;
    }
    if (!*hadIndex) index->madeAnew_ = notThere;
    return index;
}

std::optional<bool> PhotoIndex::hasTable(const char* name) {
    Statement s(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    s.bind(1, std::string(name));
    const int rc = s.next();
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    return std::nullopt;
}

PhotoIndex::~PhotoIndex() {
    sqlite3_close(db_);
}

bool PhotoIndex::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string PhotoIndex::lastError() const {
    return sqlite3_errmsg(db_);
}

int PhotoIndex::lastSystemError() const {
    switch (sqlite3_extended_errcode(db_) & 0xff) {
    case SQLITE_FULL:
        return ENOSPC;
    case SQLITE_READONLY: // a file or folder this process may not write
    case SQLITE_PERM:
        return EACCES;
    case SQLITE_CANTOPEN: // only these two leave the system's errno behind; for others it is stale
    case SQLITE_IOERR:
        return sqlite3_system_errno(db_);
    default:
        return 0;
    }
}

std::vector<Album> PhotoIndex::albums(const std::optional<std::string>& title) {
    std::vector<Album> out;
    Statement s(db_, title ? "SELECT local_id, title, creation_date FROM albums WHERE title = ?1 ORDER BY seq"
                           : "SELECT local_id, title, creation_date FROM albums ORDER BY seq");
    if (title) s.bind(1, *title);
    while (s.step())
        out.push_back(readAlbum(s));
    return out;
}

std::optional<Album> PhotoIndex::album(const std::string& localIdentifier) {
    Statement s(db_, "SELECT local_id, title, creation_date FROM albums WHERE local_id = ?1");
    s.bind(1, localIdentifier);
    if (s.step()) return readAlbum(s);
    return std::nullopt;
}

std::vector<Asset> PhotoIndex::assetsInAlbum(const std::string& albumLocalIdentifier) {
    std::vector<Asset> out;
    Statement s(
        db_, (std::string("SELECT ") + kAssetColumns +
              " FROM album_assets m JOIN albums b ON b.seq = m.album_seq JOIN assets a ON a.seq = m.asset_seq"
              " WHERE b.local_id = ?1 ORDER BY m.position")
                 .c_str());
    s.bind(1, albumLocalIdentifier);
    while (s.step())
        out.push_back(readAsset(s).asset);
    return out;
}

std::optional<AssetRecord> PhotoIndex::asset(const std::string& localIdentifier) {
    Statement s(db_,
                (std::string("SELECT ") + kAssetColumns + " FROM assets a WHERE a.local_id = ?1").c_str());
    s.bind(1, localIdentifier);
    if (s.step()) return readAsset(s);
    return std::nullopt;
}

std::vector<AssetRecord> PhotoIndex::allAssets() {
    std::vector<AssetRecord> out;
    Statement s(db_, (std::string("SELECT ") + kAssetColumns + " FROM assets a ORDER BY a.seq").c_str());
    while (s.step())
        out.push_back(readAsset(s));
    return out;
}

std::optional<std::set<std::string>> PhotoIndex::files() {
    std::set<std::string> out;
    Statement s(db_, "SELECT file FROM assets");
    int rc = SQLITE_ROW;
    while ((rc = s.next()) == SQLITE_ROW)
        out.insert(s.text(0));
    if (rc != SQLITE_DONE) return std::nullopt;
    return out;
}

std::optional<bool> PhotoIndex::namesEveryFile() {
    Statement s(db_, "SELECT value FROM library_state WHERE key = 'names_every_file'");
    const int rc = s.next();
    if (rc == SQLITE_ROW) return s.text(0) == "1";
    if (rc == SQLITE_DONE) return false;
    return std::nullopt;
}

bool PhotoIndex::setNamesEveryFile() {
    return exec("INSERT OR REPLACE INTO library_state (key, value) VALUES ('names_every_file', '1')");
}

bool PhotoIndex::begin() {
    return exec("BEGIN IMMEDIATE");
}
bool PhotoIndex::commit() {
    return exec("COMMIT");
}
void PhotoIndex::rollback() {
    exec("ROLLBACK");
}

bool PhotoIndex::insertAsset(const AssetRecord& r) {
    Statement s(db_,
                "INSERT INTO assets (local_id, media_type, file, uti, pixel_width, pixel_height, byte_size,"
                " creation_date) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    s.bind(1, r.asset.localIdentifier)
        .bind(2, int64_t(r.asset.mediaType))
        .bind(3, r.file)
        .bind(4, r.asset.uniformTypeIdentifier)
        .bind(5, int64_t(r.asset.pixelWidth))
        .bind(6, int64_t(r.asset.pixelHeight))
        .bind(7, r.byteSize)
        .bind(8, r.asset.creationDate.secondsSince1970);
    return s.run();
}

bool PhotoIndex::insertAlbum(const Album& album) {
    Statement s(db_, "INSERT INTO albums (local_id, title, creation_date) VALUES (?1, ?2, ?3)");
    s.bind(1, album.localIdentifier)
        .bind(2, album.localizedTitle)
        .bind(3, album.creationDate.secondsSince1970);
    return s.run();
}

bool PhotoIndex::addToAlbum(const std::string& albumId, const std::string& assetId) {
    Statement add(db_, "INSERT OR IGNORE INTO album_assets (album_seq, asset_seq, position)"
                       " SELECT b.seq, a.seq,"
                       " (SELECT IFNULL(MAX(position), 0) + 1 FROM album_assets WHERE album_seq = b.seq)"
                       " FROM albums b, assets a WHERE b.local_id = ?1 AND a.local_id = ?2");
    add.bind(1, albumId).bind(2, assetId);
    if (!add.run()) return false;
    if (sqlite3_changes(db_) == 1) return true;
    // Nothing added: fine when the asset is already a member, a failure when album or asset is unknown.
    Statement member(db_, "SELECT 1 FROM album_assets m JOIN albums b ON b.seq = m.album_seq"
                          " JOIN assets a ON a.seq = m.asset_seq WHERE b.local_id = ?1 AND a.local_id = ?2");
    member.bind(1, albumId).bind(2, assetId);
    return member.step();
}

bool PhotoIndex::removeFromAlbum(const std::string& albumId, const std::string& assetId) {
    Statement s(db_, "DELETE FROM album_assets WHERE album_seq = (SELECT seq FROM albums WHERE local_id = ?1)"
                     " AND asset_seq = (SELECT seq FROM assets WHERE local_id = ?2)");
    s.bind(1, albumId).bind(2, assetId);
    return s.run();
}

} // namespace photos

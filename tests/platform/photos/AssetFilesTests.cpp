// What opening the library clears: photo files written by a process killed before its index commit;
// and what an index made anew does with the photographs it finds: keeps them, and takes them back.
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <catch2/catch.hpp>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sqlite3.h>

#include "platform/foundation/Log.h"
#include "platform/photos/AssetFiles.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

using namespace photos;
namespace fs = std::filesystem;

namespace {
foundation::Data encodedImage(const char* format, QColor color) {
    QImage img(24, 16, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return foundation::Data(bytes.begin(), bytes.end());
}

void plant(const std::string& path, const foundation::Data& data) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::string storedBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string uuid() {
    return makeLocalIdentifier(false).substr(0, 36);
}
} // namespace

TEST_CASE("opening the library removes the photo files its index does not name, and nothing else",
          "[photos][sweep]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    const std::string root = home.path() + "/Swept";
    const auto jpeg = encodedImage("JPEG", Qt::red);
    const auto png = encodedImage("PNG", Qt::blue);
    std::string kept1, kept2;
    {
        PhotoLibrary library(root);
        REQUIRE_FALSE(library.performChangesAndWait([&](ChangeRequest& c) {
            kept1 = c.createImageAsset(jpeg);
            kept2 = c.createImageAsset(png);
        }));
    }
    if (GENERATE(false, true)) {
        // An index kept by a version that noted nothing about itself: it has always named every file.
        sqlite3* db = nullptr;
        REQUIRE(sqlite3_open((root + "/Photos.sqlite").c_str(), &db) == SQLITE_OK);
        const int dropped = sqlite3_exec(db, "DROP TABLE library_state", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        REQUIRE(dropped == SQLITE_OK);
    }

    // Left by writes cut short: a whole file beside the indexed ones, and half a file in a folder of
    // its own.
    const std::string sibling = kept1.substr(0, 1) + uuid().substr(1);
    const std::string whole = root + "/" + assetFilePath(sibling, "jpg");
    const std::string partial = root + "/" + assetFilePath(uuid(), "png");
    plant(whole, jpeg);
    plant(partial, foundation::Data(png.begin(), png.begin() + long(png.size() / 2)));
    // Not named as the library names photo files, or not a file: never the library's to remove.
    const std::string other = uuid();
    const char wrongLetter = other[0] == 'A' ? 'B' : 'A';
    std::string lower = uuid();
    for (char& ch : lower)
        ch = char(std::tolower(ch));
    const std::vector<std::string> strangers = {
        root + "/originals/" + kept1.substr(0, 1) + "/notes.txt",
        root + "/originals/" + wrongLetter + "/" + other + ".jpg",
        root + "/originals/" + lower.substr(0, 1) + "/" + lower + ".jpg",
        root + "/originals/" + other + ".jpg",
        root + "/" + other + ".jpg",
        root + "/" + assetFilePath(other, "jpg") + ".bak",
    };
    for (const auto& path : strangers)
        plant(path, jpeg);
    const std::string linked = root + "/" + assetFilePath(uuid(), "jpg");
    fs::create_directories(fs::path(linked).parent_path());
    fs::create_symlink(strangers.back(), linked);
    const std::string folder = root + "/" + assetFilePath(uuid(), "png");
    fs::create_directories(folder);

    foundation::LogCapture log;
    PhotoLibrary reopened(root);
    REQUIRE(reopened.isAvailable());
    reopened.queue()->drain();

    CHECK_FALSE(fs::exists(whole));
    CHECK_FALSE(fs::exists(partial));
    CHECK(log.contains(whole));
    CHECK(log.contains(partial));
    for (const auto& path : strangers)
        CHECK(fs::exists(path));
    CHECK(fs::is_symlink(linked));
    CHECK(fs::is_directory(folder));
    CHECK(fs::exists(root + "/Photos.sqlite"));

    const auto assets = reopened.assetsWithLocalIdentifiers({kept1, kept2});
    REQUIRE(assets.size() == 2);
    CHECK(reopened.imageData(assets[0]) == jpeg);
    CHECK(reopened.imageData(assets[1]) == png);
    CHECK(reopened.allAssets().size() == 2);
}

TEST_CASE("a photo index made anew removes no photograph, at this start or a later one", "[photos][sweep]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    const std::string root = home.path() + "/Remade";
    const std::string index = root + "/Photos.sqlite";
    std::vector<std::string> stored;
    {
        PhotoLibrary library(root);
        for (QColor color : {Qt::red, Qt::green, Qt::blue})
            REQUIRE_FALSE(library.performChangesAndWait(
                [&](ChangeRequest& c) { c.createImageAsset(encodedImage("JPEG", color)); }));
        for (const auto& record : fs::recursive_directory_iterator(root + "/originals"))
            if (record.is_regular_file()) stored.push_back(record.path().string());
    }
    REQUIRE(stored.size() == 3);
    auto allThere = [&] {
        for (const auto& path : stored)
            if (!fs::is_regular_file(path)) return false;
        return true;
    };

    std::string why;
    SECTION("an index cut to nothing, as a crash or a full disk leaves it") {
        fs::resize_file(index, 0);
        why = "made its index anew: its file was empty";
    }
    SECTION("an index that is gone") {
        fs::remove(index);
        why = "made its index anew: its file was missing";
    }

    foundation::LogCapture log;
    {
        PhotoLibrary reopened(root);
        REQUIRE(reopened.isAvailable());
        reopened.queue()->drain();
        CHECK(allThere());
        CHECK(log.count("was removed") == 0);
        CHECK(log.contains(why));
        CHECK(log.contains("removed no photo file: its index was made anew after photographs were stored, "
                           "and 3 of them are named by no photograph"));
        // The library goes on: a photograph received now is kept like any other.
        REQUIRE_FALSE(reopened.performChangesAndWait(
            [&](ChangeRequest& c) { c.createImageAsset(encodedImage("PNG", Qt::yellow)); }));
    }
    // The next start finds an index that existed, yet one made after those photographs were stored.
    PhotoLibrary again(root);
    REQUIRE(again.isAvailable());
    again.queue()->drain();
    CHECK(allThere());
    CHECK(log.count("was removed") == 0);
    CHECK(log.count("removed no photo file") == 2);
    CHECK(again.allAssets().size() == 1);
}

TEST_CASE("a photo index made anew takes the photographs it finds back into the camera album, oldest first",
          "[photos][sweep]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    const std::string root = home.path() + "/Remade";
    const std::string index = root + "/Photos.sqlite";
    const std::string camera = "Camera Roll";
    // Received in this order; their files' times say otherwise, as after a copy or a restore: the
    // first is the newest, and the other two share one time.
    std::vector<std::string> ids;
    {
        PhotoLibrary library(root, camera);
        for (QColor color : {Qt::red, Qt::green, Qt::blue})
            REQUIRE_FALSE(library.performChangesAndWait(
                [&](ChangeRequest& c) { ids.push_back(c.createImageAsset(encodedImage("JPEG", color))); }));
        // The slots a clinic registered hold these identifiers, and the albums held the photographs.
        REQUIRE_FALSE(library.performChangesAndWait([&](ChangeRequest& c) {
            c.addAssets(c.createAlbum("ID_999999"), {ids[0], ids[1], ids[2]});
        }));
    }
    auto fileOf = [&](const std::string& id) { return root + "/" + assetFilePath(id.substr(0, 36), "jpg"); };
    const auto newest = fs::file_time_type::clock::now();
    const auto older = newest - std::chrono::hours(24);
    fs::last_write_time(fileOf(ids[0]), newest);
    fs::last_write_time(fileOf(ids[1]), older);
    fs::last_write_time(fileOf(ids[2]), older);
    std::vector<std::string> expected = {ids[1], ids[2]};
    std::sort(expected.begin(), expected.end()); // one time: by name
    expected.push_back(ids[0]);
    std::map<std::string, std::string> bytes;
    for (const auto& id : ids)
        bytes[id] = storedBytes(fileOf(id));

    SECTION("an index cut to nothing, as a crash or a full disk leaves it") {
        fs::resize_file(index, 0);
    }
    SECTION("an index that is gone") {
        fs::remove(index);
    }
    // Half a photograph, as a write cut short leaves it: kept at every start, and taken into no album.
    const bool withCut = GENERATE(false, true);
    const std::string cut = root + "/" + assetFilePath(uuid(), "jpg");
    if (withCut) {
        const auto whole = encodedImage("JPEG", Qt::yellow);
        plant(cut, foundation::Data(whole.begin(), whole.begin() + long(whole.size() / 2)));
    }
    const std::string cutBytes = storedBytes(cut);

    auto idsOf = [](const std::vector<Asset>& assets) {
        std::vector<std::string> out;
        for (const auto& a : assets)
            out.push_back(a.localIdentifier);
        return out;
    };
    auto checkTakenBack = [&](PhotoLibrary& library) {
        CHECK(idsOf(library.allAssets()) == expected);
        const auto albums = library.albumsWithTitle(camera);
        REQUIRE(albums.size() == 1);
        CHECK(idsOf(library.assetsInAlbum(albums[0])) == expected);
        CHECK(library.albumsWithTitle("ID_999999").empty()); // what the lost index knew stays lost
        for (const auto& asset : library.assetsWithLocalIdentifiers(ids)) {
            CHECK(asset.pixelWidth == 24);
            CHECK(asset.pixelHeight == 16);
            CHECK(asset.uniformTypeIdentifier == "public.jpeg");
            CHECK(library.imageData(asset) ==
                  std::optional<foundation::Data>(foundation::Data(bytes[asset.localIdentifier].begin(),
                                                                   bytes[asset.localIdentifier].end())));
        }
        const auto first = library.assetsWithLocalIdentifiers({expected[0]});
        const auto last = library.assetsWithLocalIdentifiers({expected[2]});
        REQUIRE(first.size() == 1);
        REQUIRE(last.size() == 1);
        CHECK(first[0].creationDate.secondsSince1970 < last[0].creationDate.secondsSince1970);
        for (const auto& id : ids)
            CHECK(storedBytes(fileOf(id)) == bytes[id]);
        CHECK(storedBytes(cut) == cutBytes);
    };

    foundation::LogCapture log;
    {
        PhotoLibrary reopened(root, camera);
        REQUIRE(reopened.isAvailable());
        reopened.queue()->drain();
        checkTakenBack(reopened);
        CHECK(log.count("took back 3 photographs") == 1);
        CHECK(log.contains(cut) == withCut);
        CHECK(log.count("was removed") == 0);
        // The library goes on: a photograph received now comes after them.
        REQUIRE_FALSE(reopened.performChangesAndWait([&](ChangeRequest& c) {
            c.addAssetsToAlbumTitled(camera, {c.createImageAsset(encodedImage("PNG", Qt::cyan))});
        }));
        REQUIRE(reopened.allAssets().size() == 4);
        CHECK(reopened.allAssets().back().localIdentifier != expected.back());
    }
    // A later start takes nothing back twice, and still keeps the half photograph.
    PhotoLibrary again(root, camera);
    REQUIRE(again.isAvailable());
    again.queue()->drain();
    CHECK(log.count("took back") == 1);
    CHECK(log.count("was removed") == 0);
    const auto all = again.allAssets();
    REQUIRE(all.size() == 4);
    CHECK(idsOf({all.begin(), all.begin() + 3}) == expected);
    CHECK(again.assetsInAlbum(again.albumsWithTitle(camera).at(0)).size() == 4);
    CHECK(storedBytes(cut) == cutBytes);
    CHECK(fs::exists(cut) == withCut);
    // With every photo file taken back the index names them all again, as one that was never lost.
    CHECK(log.contains("removed no photo file") == withCut);
}

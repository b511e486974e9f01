// The write side: removals, additions by title, refused changes, assets from decoded images.
#include <QBuffer>
#include <QImage>
#include <catch2/catch.hpp>

#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

using namespace photos;

namespace {
foundation::Data jpegData(QColor color) {
    QImage img(16, 12, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG");
    return foundation::Data(bytes.begin(), bytes.end());
}

std::vector<std::string> ids(const std::vector<Asset>& assets) {
    std::vector<std::string> out;
    for (const auto& a : assets)
        out.push_back(a.localIdentifier);
    return out;
}

struct Library {
    testsupport::TempHome home;
    PhotoLibraryPtr library;
    Library() {
        PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
        library = PhotoLibrary::shared();
    }
    std::vector<std::string> in(const std::string& title) {
        auto albums = library->albumsWithTitle(title);
        return albums.empty() ? std::vector<std::string>{} : ids(library->assetsInAlbum(albums.front()));
    }
};
} // namespace

TEST_CASE("photographs move between albums and are never lost", "[photos][write]") {
    Library l;
    std::string camera, a1, a2;
    REQUIRE_FALSE(l.library->performChangesAndWait([&](ChangeRequest& c) {
        camera = c.createAlbum("Eye-Fi");
        a1 = c.createImageAsset(jpegData(Qt::red));
        a2 = c.createImageAsset(jpegData(Qt::blue));
        c.addAssets(camera, {a1, a2});
    }));

    SECTION("removing takes an asset out of one album only") {
        REQUIRE_FALSE(l.library->performChangesAndWait([&](ChangeRequest& c) {
            c.addAssetsToAlbumTitled("ID_1", {a1});
            c.removeAssets(camera, {a1, "unknown/L0/001"}); // an asset not there is passed over
        }));
        CHECK(l.in("Eye-Fi") == std::vector<std::string>{a2});
        CHECK(l.in("ID_1") == std::vector<std::string>{a1});
        CHECK(l.library->allAssets().size() == 2);
    }
    SECTION("adding by title finds the first album of that title, or makes one once") {
        REQUIRE_FALSE(l.library->performChangesAndWait([&](ChangeRequest& c) {
            c.addAssetsToAlbumTitled("ID_2", {a1});
            c.addAssetsToAlbumTitled("ID_2", {a2});
        }));
        CHECK(l.library->albumsWithTitle("ID_2").size() == 1);
        CHECK(l.in("ID_2") == std::vector<std::string>{a1, a2});
        REQUIRE_FALSE(l.library->performChangesAndWait([&](ChangeRequest& c) {
            c.addAssetsToAlbumTitled("Eye-Fi", {c.createImageAsset(jpegData(Qt::green))});
        }));
        CHECK(l.in("Eye-Fi").size() == 3);
    }
    SECTION("a refused change applies none of its steps") {
        auto error = l.library->performChangesAndWait([&](ChangeRequest& c) {
            c.createAlbum("ID_3");
            c.removeAssets(camera, {a1});
            c.fail("No album ID_3 to move into.");
        });
        REQUIRE(error);
        CHECK(error->description().find("No album ID_3 to move into.") != std::string::npos);
        CHECK(l.in("Eye-Fi") == std::vector<std::string>{a1, a2});
        CHECK(l.library->albumsWithTitle("ID_3").empty());
    }
    SECTION("removing from an unknown album fails the whole change") {
        auto error = l.library->performChangesAndWait([&](ChangeRequest& c) {
            c.addAssetsToAlbumTitled("ID_4", {a1});
            c.removeAssets("nope/L0/040", {a1});
        });
        CHECK(error);
        CHECK(l.library->albumsWithTitle("ID_4").empty());
    }
}

TEST_CASE("an asset made from a decoded image is stored as JPEG", "[photos][write]") {
    Library l;
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::yellow);
    std::string id;
    REQUIRE_FALSE(l.library->performChangesAndWait([&](ChangeRequest& c) { id = c.createImageAsset(img); }));
    auto assets = l.library->assetsWithLocalIdentifiers({id});
    REQUIRE(assets.size() == 1);
    CHECK(assets[0].uniformTypeIdentifier == "public.jpeg");
    CHECK(assets[0].pixelWidth == 20);
    CHECK(l.library->performChangesAndWait([&](ChangeRequest& c) { c.createImageAsset(QImage()); }));
}

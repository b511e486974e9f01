#include <QBuffer>
#include <QImage>
#include <catch2/catch.hpp>
#include <filesystem>
#include <future>
#include <regex>
#include <sys/stat.h>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

using namespace photos;
namespace fs = std::filesystem;

namespace {
foundation::Data encodedImage(int w, int h, const char* format, QColor color = Qt::red) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return foundation::Data(bytes.begin(), bytes.end());
}

size_t filesUnder(const std::string& dir) {
    size_t n = 0;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) ++n;
    return n;
}

std::vector<std::string> ids(const std::vector<Asset>& assets) {
    std::vector<std::string> out;
    for (auto& a : assets)
        out.push_back(a.localIdentifier);
    return out;
}
} // namespace

TEST_CASE("albums and assets keep their order and identifiers", "[photos]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    auto library = PhotoLibrary::shared();
    REQUIRE(library->isAvailable());

    std::string camera, patient, patientAgain, a1, a2, a3;
    auto jpeg = encodedImage(40, 30, "JPEG");
    REQUIRE_FALSE(library->performChangesAndWait([&](ChangeRequest& c) {
        camera = c.createAlbum("Eye-Fi");
        patient = c.createAlbum("ID_999999");
        a1 = c.createImageAsset(jpeg);
        a2 = c.createImageAsset(encodedImage(8, 6, "PNG"));
        a3 = c.createImageAsset(jpeg);
        c.addAssets(patient, {a2, a1});
        c.addAssets(patient, {a3, a1}); // a1 is already there and keeps its place
    }));
    REQUIRE_FALSE(
        library->performChangesAndWait([&](ChangeRequest& c) { patientAgain = c.createAlbum("ID_999999"); }));

    const std::regex assetId("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}/L0/001");
    CHECK(std::regex_match(a1, assetId));
    CHECK(std::regex_match(camera.substr(0, 36) + "/L0/001", assetId));
    CHECK(camera.substr(36) == "/L0/040");
    CHECK(a1 != a3);

    auto albums = library->userAlbums();
    REQUIRE(albums.size() == 3);
    CHECK(albums[0].localizedTitle == "Eye-Fi");
    CHECK(albums[1].localIdentifier == patient);
    CHECK(albums[2].localIdentifier == patientAgain);
    auto same = library->albumsWithTitle("ID_999999");
    REQUIRE(same.size() == 2);
    CHECK(same[0].localIdentifier == patient); // two albums may share a title; creation order holds
    CHECK(library->albumsWithTitle("ID_9999").empty());

    CHECK(ids(library->assetsInAlbum(same[0])) == std::vector<std::string>{a2, a1, a3});
    CHECK(library->assetsInAlbum(albums[0]).empty());

    auto fetched = library->assetsWithLocalIdentifiers({a3, "nope/L0/001", a2, a3});
    CHECK(ids(fetched) == std::vector<std::string>{a3, a2});
    CHECK(fetched[1].pixelWidth == 8);
    CHECK(fetched[1].pixelHeight == 6);
    CHECK(fetched[1].uniformTypeIdentifier == "public.png");
    CHECK(fetched[0].uniformTypeIdentifier == "public.jpeg");

    SECTION("image data comes back as stored, from a write-once file") {
        auto data = library->imageData(fetched[0]);
        REQUIRE(data);
        CHECK(*data == jpeg);
        for (auto& e : fs::recursive_directory_iterator(library->root() + "/originals"))
            if (e.is_regular_file())
                CHECK((fs::status(e).permissions() & fs::perms::owner_write) == fs::perms::none);
    }

    SECTION("everything is there again after reopening") {
        library.reset();
        PhotoLibrary reopened(home.path() + "/PhotoLibrary");
        REQUIRE(reopened.isAvailable());
        CHECK(reopened.userAlbums().size() == 3);
        CHECK(ids(reopened.assetsInAlbum(same[0])) == std::vector<std::string>{a2, a1, a3});
        CHECK(reopened.imageData(fetched[0]) == jpeg);
    }

    SECTION("image data on request arrives on the main queue") {
        auto onMain = std::make_shared<std::promise<bool>>(); // outlives the waiter's wake-up
        library->requestImageData(fetched[1], [onMain](std::optional<foundation::Data> d) {
            onMain->set_value(d.has_value() && foundation::SerialQueue::main()->isCurrent());
        });
        auto f = onMain->get_future();
        REQUIRE(f.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        CHECK(f.get());
    }
}

TEST_CASE("a change applies whole or not at all", "[photos]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    auto library = PhotoLibrary::shared();
    const std::string originals = library->root() + "/originals";

    SECTION("data that is no image fails the change and leaves nothing behind") {
        auto error = library->performChangesAndWait([&](ChangeRequest& c) {
            c.createAlbum("ID_1");
            c.createImageAsset(encodedImage(4, 4, "PNG"));
            c.createImageAsset(foundation::Data{'n', 'o', 't'});
        });
        REQUIRE(error);
        CHECK(error->domain() == kPhotoLibraryErrorDomain);
        CHECK(error->code() == kErrorInvalidImage);
        CHECK(library->userAlbums().empty());
        CHECK(filesUnder(originals) == 0);
    }

    SECTION("an unknown album rolls back the album and asset made before it") {
        auto error = library->performChangesAndWait([&](ChangeRequest& c) {
            c.createAlbum("ID_2");
            auto a = c.createImageAsset(encodedImage(4, 4, "PNG"));
            c.addAssets("missing/L0/040", {a});
        });
        REQUIRE(error);
        CHECK(error->code() == kErrorUnknownObject);
        CHECK(library->userAlbums().empty());
        CHECK(filesUnder(originals) == 0);
    }

    SECTION("the completion reports success on the library's queue") {
        auto done = std::make_shared<std::promise<std::pair<bool, std::string>>>();
        library->performChanges([](ChangeRequest& c) { c.createAlbum("ID_3"); },
                                [done](bool ok, foundation::ErrorPtr) {
                                    done->set_value({ok, foundation::SerialQueue::currentQueueName()});
                                });
        auto [ok, queue] = done->get_future().get();
        CHECK(ok);
        CHECK(queue == "photos.library");
        CHECK(library->albumsWithTitle("ID_3").size() == 1);
    }
}

TEST_CASE("authorization follows its setting", "[photos][authorization]") {
    testsupport::TempHome home;
    auto ask = [] {
        auto p = std::make_shared<std::promise<std::pair<AuthorizationStatus, bool>>>();
        PhotoLibrary::requestAuthorization(AccessLevel::ReadWrite, [p](AuthorizationStatus s) {
            p->set_value({s, foundation::SerialQueue::main()->isCurrent()});
        });
        return p->get_future().get();
    };

    SECTION("undetermined at first; asking grants access, off the main queue, and it is remembered") {
        CHECK(PhotoLibrary::authorizationStatus() == AuthorizationStatus::NotDetermined);
        auto [status, onMain] = ask();
        CHECK(status == AuthorizationStatus::Authorized);
        CHECK_FALSE(onMain);
        home.relaunch();
        CHECK(PhotoLibrary::authorizationStatus() == AuthorizationStatus::Authorized);
    }

    SECTION("denied: asking changes nothing, reads find nothing and changes fail") {
        PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
        auto library = PhotoLibrary::shared();
        REQUIRE_FALSE(library->performChangesAndWait([](ChangeRequest& c) { c.createAlbum("ID_4"); }));
        PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Denied);
        CHECK(ask().first == AuthorizationStatus::Denied);
        CHECK(library->userAlbums().empty());
        auto error = library->performChangesAndWait([](ChangeRequest& c) { c.createAlbum("ID_5"); });
        REQUIRE(error);
        CHECK(error->code() == kErrorAccessDenied);
        PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Limited);
        CHECK(ask().first == AuthorizationStatus::Limited);
        CHECK(library->userAlbums().size() == 1);
    }

    SECTION("restricted stays restricted; an unknown stored value counts as undetermined") {
        PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Restricted);
        CHECK(ask().first == AuthorizationStatus::Restricted);
        foundation::UserDefaults::suite("PhotoLibraryAuthorization")
            ->setObject(foundation::Value(17), "AuthorizationStatus");
        CHECK(PhotoLibrary::authorizationStatus() == AuthorizationStatus::NotDetermined);
    }
}

TEST_CASE("an index from a newer version is not touched", "[photos]") {
    testsupport::TempHome home;
    const std::string root = home.path() + "/Newer";
    {
        PhotoLibrary library(root);
        REQUIRE(library.isAvailable());
    }
    // Mark the format as newer than this program knows.
    {
        std::string cmd = "sqlite3 '" + root + "/Photos.sqlite' 'PRAGMA user_version = 9' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) return; // no sqlite3 shell here: nothing to check
    }
    PhotoLibrary library(root);
    CHECK_FALSE(library.isAvailable());
    CHECK_FALSE(library.openError().empty());
}

TEST_CASE("a change still queued when the library goes from its own queue finds it gone", "[photos]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    auto library = std::make_shared<PhotoLibrary>(home.path() + "/Closing");
    auto gate = std::make_shared<std::promise<void>>();
    auto second = std::make_shared<std::promise<foundation::ErrorPtr>>();
    // The first change's completion holds the last reference and lets go of it on the queue,
    // while the second change waits behind it.
    library->performChanges(
        [opened = gate->get_future().share()](ChangeRequest& c) {
            opened.wait();
            c.createAlbum("first");
        },
        [keep = library](bool, foundation::ErrorPtr) mutable { keep.reset(); });
    library->performChanges([](ChangeRequest& c) { c.createAlbum("second"); },
                            [second](bool, foundation::ErrorPtr error) { second->set_value(error); });
    library.reset();
    gate->set_value();
    auto answer = second->get_future();
    REQUIRE(answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready);
    const auto error = answer.get();
    REQUIRE(error);
    CHECK(error->code() == kErrorLibraryUnavailable);
    // What was applied before it went is kept.
    PhotoLibrary reopened(home.path() + "/Closing");
    CHECK(reopened.albumsWithTitle("first").size() == 1);
    CHECK(reopened.albumsWithTitle("second").empty());
}

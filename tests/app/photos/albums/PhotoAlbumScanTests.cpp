// The album rules of the photo screens: scan, creation, move and the photoMst row.
#include <catch2/catch.hpp>

#include "app/photos/albums/McInfo.h"
#include "app/photos/albums/PhotoAlbumScan.h"
#include "platform/foundation/Log.h"
#include "platform/photos/LibraryWait.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"

using photoalbums::PhotoAlbumScan;

namespace {

struct Library {
    registtest::RegistApp app;
    photos::PhotoLibraryPtr library = photos::PhotoLibrary::shared();
    Library() {
        PhotoAlbumScan::setSettleSeconds(0);
        app.delegate().patientID() = "999999"; // the row takes the name of the patient loaded
        app.delegate().setPatientInfoData();
    }
    ~Library() { PhotoAlbumScan::setSettleSeconds(0.8); }

    // Adds new photographs to the album of this title (made when missing); returns their identifiers.
    std::vector<std::string> put(const std::string& title, int n) {
        std::vector<std::string> ids;
        REQUIRE_FALSE(library->performChangesAndWait([&](photos::ChangeRequest& c) {
            for (int i = 0; i < n; ++i)
                ids.push_back(c.createImageAsset(receivetest::toData(receivetest::jpeg(i))));
            c.addAssetsToAlbumTitled(title, ids);
        }));
        return ids;
    }
    PhotoAlbumScan scan(const std::string& pid = "999999", const std::string& kind = "normal") {
        return PhotoAlbumScan(app.delegate().state(), library, pid, kind, "Eye-Fi");
    }
    std::vector<std::string> ids(const std::string& title) {
        std::vector<std::string> out;
        for (const auto& a : receivetest::albumAssets(title))
            out.push_back(a.localIdentifier);
        return out;
    }
};

} // namespace

TEST_CASE("the bundle names the service type and the camera album", "[photos][albums]") {
    CHECK(photoalbums::getServiceType() == std::optional<std::string>("zv-photo-rcv"));
    CHECK(photoalbums::getPhotoFolderName() == std::optional<std::string>("Eye-Fi"));
    CHECK(photoalbums::patientAlbumTitle("12") == "ID_12");
    CHECK(photoalbums::patientKindAlbumTitle("12", "velscope") == "ID_12_velscope");
}

TEST_CASE("a first scan creates the patient's albums and the row, and a second updates it",
          "[photos][albums]") {
    Library l;
    const auto camera = l.put("Eye-Fi", 2);
    auto first = l.scan();
    first.getAssetsListFromLibrary(true);
    l.library->queue()->drain();
    CHECK(first.rowsList == camera);
    CHECK(first.targetAlbum.has_value());
    CHECK(l.library->albumsWithTitle("ID_999999").size() == 1);
    CHECK(l.library->albumsWithTitle("ID_999999_normal").size() == 1);
    CHECK(l.ids("ID_999999") == camera);
    CHECK(l.ids("Eye-Fi").empty());
    auto rows =
        l.app.probe().rows("SELECT cid, name, category, photo_num FROM photoMst WHERE pid = '999999'");
    REQUIRE(rows.size() == 1);
    CHECK(rows[0] == storetest::ClinicDbProbe::Row{"10000", "札幌　太郎", "normal", "{}"});

    // Later photographs join the pool; the row is updated in place with today's date.
    l.app.probe().exec("UPDATE photoMst SET photo_date = '2001-01-01', name = 'kept'");
    const auto more = l.put("Eye-Fi", 1);
    auto second = l.scan();
    second.getAssetsListFromLibrary(true);
    l.library->queue()->drain();
    CHECK(second.rowsList == std::vector<std::string>{more[0], camera[0], camera[1]});
    CHECK(l.ids("ID_999999") == std::vector<std::string>{camera[0], camera[1], more[0]});
    rows = l.app.probe().rows("SELECT name, photo_date, photo_no FROM photoMst WHERE pid = '999999'");
    REQUIRE(rows.size() == 1);
    CHECK(rows[0][0] == "kept");
    CHECK(rows[0][1] == l.app.delegate().state().today());
    CHECK(l.library->albumsWithTitle("ID_999999").size() == 1); // not made twice
}

TEST_CASE("the move never leaves a photograph in no album", "[photos][albums]") {
    Library l;
    const auto camera = l.put("Eye-Fi", 2);
    auto scan = l.scan();
    scan.assetsList = l.library->assetsInAlbum(l.library->albumsWithTitle("Eye-Fi").front());
    scan.inAssetsFlgCamera = true;
    // No patient album exists (nothing was scanned or created): the move refuses as a whole.
    foundation::LogCapture log;
    std::atomic<int> result{-1};
    scan.moveAssets([&](bool ok, const std::string&) { result = ok; });
    l.library->queue()->drain();
    CHECK(result == 0);
    CHECK(l.ids("Eye-Fi") == camera);
    CHECK(log.contains("Album move failed"));

    SECTION("a slot photograph needs its kind album too") {
        l.put("ID_999999", 0);
        auto slotScan = l.scan();
        slotScan.selectedAssetList[camera[0]] = l.library->assetsWithLocalIdentifiers({camera[0]}).front();
        slotScan.inAssetsFlgCamera = true;
        slotScan.moveAssets([&](bool ok, const std::string&) { result = ok; });
        l.library->queue()->drain();
        CHECK(result == 0);
        CHECK(l.ids("Eye-Fi") == camera);
    }
    SECTION("with both albums there, pool and slots go where they belong") {
        l.put("ID_999999", 0);
        l.put("ID_999999_normal", 0);
        auto both = l.scan();
        both.assetsList = l.library->assetsWithLocalIdentifiers({camera[1]});
        both.selectedAssetList[camera[0]] = l.library->assetsWithLocalIdentifiers({camera[0]}).front();
        both.inAssetsFlgCamera = true;
        both.moveAssets([&](bool ok, const std::string&) { result = ok; });
        l.library->queue()->drain();
        CHECK(result == 1);
        CHECK(l.ids("ID_999999") == std::vector<std::string>{camera[1]});
        CHECK(l.ids("ID_999999_normal") == std::vector<std::string>{camera[0]});
        CHECK(l.ids("Eye-Fi").empty());
    }
}

TEST_CASE("scan details: shared titles, an empty camera album, quoted IDs", "[photos][albums]") {
    Library l;
    SECTION("two albums with the patient's title both feed the pool; the last is the target") {
        const auto a = l.put("ID_999999", 1);
        REQUIRE_FALSE(l.library->performChangesAndWait([&](photos::ChangeRequest& c) {
            auto album = c.createAlbum("ID_999999");
            auto id = c.createImageAsset(receivetest::toData(receivetest::jpeg(9)));
            c.addAssets(album, {id});
        }));
        auto scan = l.scan();
        scan.getAssetsListFromLibrary(false);
        CHECK(scan.assetsList.size() == 2);
        CHECK(scan.inAssetsFlgPatient);
        CHECK(scan.targetAlbum->localIdentifier ==
              l.library->albumsWithTitle("ID_999999").back().localIdentifier);
    }
    SECTION("a patient ID with an apostrophe is stored, not spliced into the SQL") {
        auto scan = l.scan("O'Brien");
        scan.getAssetsListFromLibrary(true);
        auto rows = l.app.probe().rows("SELECT pid, photo_num FROM photoMst");
        REQUIRE(rows.size() == 1);
        CHECK(rows[0][0] == "O'Brien");
        CHECK(scan.deleteDBData());
        CHECK(l.app.probe().rows("SELECT pid FROM photoMst").empty());
    }
    SECTION("an empty camera album is left alone by the move") {
        l.put("Eye-Fi", 0);
        auto scan = l.scan();
        scan.getAssetsListFromLibrary(true);
        l.library->queue()->drain();
        CHECK_FALSE(scan.inAssetsFlgCamera);
        CHECK(scan.rowsList.empty());
    }
}

TEST_CASE("the selection screen's move holds the busy flag until the library is done", "[photos][albums]") {
    Library l;
    l.put("ID_999999", 0);
    l.put("ID_999999_normal", 0);
    const auto camera = l.put("Eye-Fi", 1);
    auto scan = l.scan();
    scan.selectedAssetList[camera[0]] = l.library->assetsWithLocalIdentifiers({camera[0]}).front();
    scan.inAssetsFlgCamera = true;
    QElapsedTimer t;
    t.start();
    CHECK(scan.moveAssetsWhileBusy());
    CHECK(photos::photoLibraryBusyFlag() == 0);
    CHECK(t.elapsed() >= 188);                  // one slot photograph: 100 + 88 ms
    CHECK(l.ids("ID_999999_normal") == camera); // done when the wait returns, not later
    CHECK(l.ids("Eye-Fi").empty());

    auto empty = l.scan(); // no slot photographs: still 88 ms
    t.restart();
    CHECK(empty.moveAssetsWhileBusy());
    CHECK(t.elapsed() >= 88);
}

TEST_CASE("the busy flag wait and the stepped main loop wait", "[photos][albums]") {
    photos::photoLibraryBusyFlag() = 1;
    std::thread clear([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        photos::photoLibraryBusyFlag() = 0;
    });
    photos::sleepWhileLibraryBusy(8888);
    CHECK(photos::photoLibraryBusyFlag() == 0);
    clear.join();

    bool fired = false;
    QObject guard; // the timer dies with the test, even if the wait gave up first
    QTimer::singleShot(20, &guard, [&] { fired = true; });
    QElapsedTimer t;
    t.start();
    photos::runMainLoopUntil([&] { return fired; }, 0.5);
    CHECK(fired);
    CHECK(t.elapsed() < 400); // ends soon after its condition, not at the step's end
}

#include <catch2/catch.hpp>

#include "app/store/ClinicDatabase.h"
#include "app/store/PatientPhotoInfo.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/support/TestHome.h"

using store::PhotoAlbum;
using store::PhotoAsset;
using storetest::ClinicDbProbe;

namespace {

class FakeLibrary : public store::PhotoAlbumSource {
  public:
    std::vector<std::pair<PhotoAlbum, std::vector<PhotoAsset>>> albums;

    void add(const std::string& title, std::vector<std::string> ids) {
        std::vector<PhotoAsset> assets;
        for (auto& id : ids)
            assets.push_back({id});
        albums.push_back({{"album-" + std::to_string(albums.size()), title}, assets});
    }
    std::vector<PhotoAlbum> userAlbums() override {
        std::vector<PhotoAlbum> out;
        for (auto& [album, assets] : albums)
            out.push_back(album);
        return out;
    }
    std::vector<PhotoAsset> assetsInAlbum(const PhotoAlbum& album) override {
        for (auto& [a, assets] : albums)
            if (a == album) return assets;
        return {};
    }
};

std::vector<PhotoAsset> assets(std::initializer_list<const char*> ids) {
    std::vector<PhotoAsset> out;
    for (const char* id : ids)
        out.push_back({id});
    return out;
}

} // namespace

TEST_CASE("photo information of the current patient", "[PatientPhotoInfo]") {
    testsupport::TempHome home;
    store::ClinicState state;
    store::ClinicDatabase(state).connectDB();
    state.patientID = "999999";
    auto library = std::make_shared<FakeLibrary>();
    store::PatientPhotoInfo photos(state, library);
    std::vector<PhotoAlbum> targets;
    photos.onPatientAlbum = [&](const PhotoAlbum& album) { targets.push_back(album); };

    SECTION("a patient without albums or slot rows gets empty lists") {
        library->add("ID_999998_normal", {"X/L0/001"});
        state.assetLocalIDList["stale"] = {"stale"};
        photos.getLetterPhotoInfo();
        CHECK(state.allAssetsList.size() == 4);
        for (const char* kind : {"normal", "velscope", "roentgen", "noselect"})
            CHECK(state.allAssetsList[kind].empty());
        CHECK(state.assetLocalIDList.empty());
        CHECK(state.allAssetsListForStep4.empty());
        CHECK(state.allPhotoNoList.empty());
        CHECK(targets.empty());
    }

    SECTION("the patient's albums by kind, in album order") {
        library->add("Camera Roll", {"C/L0/001"});
        library->add("ID_999999_velscope", {"V/L0/001"});
        library->add("ID_9999990_normal", {"O/L0/001"}); // another patient whose ID starts alike
        library->add("ID_999999_normal", {"N/L0/002", "N/L0/001"});
        library->add("ID_999999", {"P/L0/001"});

        photos.getLetterPhotoInfo();
        CHECK(state.allAssetsList["normal"] == assets({"N/L0/002", "N/L0/001"}));
        CHECK(state.allAssetsListForStep4 == assets({"N/L0/002", "N/L0/001"}));
        CHECK(state.allAssetsList["velscope"] == assets({"V/L0/001"}));
        CHECK(state.allAssetsList["roentgen"].empty());
        CHECK(state.allAssetsList["noselect"] == assets({"P/L0/001"}));
        CHECK(state.assetLocalIDList.size() == 4);
        CHECK(state.assetLocalIDList.count("O/L0/001") == 0);
        REQUIRE(targets.size() == 1);
        CHECK(targets[0].localizedTitle == "ID_999999");

        photos.getCertificatePhotoInfo();
        CHECK(state.allAssetsList.size() == 3);
        CHECK(state.allAssetsList.count("noselect") == 0);
        CHECK(state.assetLocalIDList.count("P/L0/001") == 1);
        CHECK(state.allAssetsListForStep4.size() == 2); // rebuilt, not appended
    }

    SECTION("slot maps come from the patient's photo rows") {
        ClinicDbProbe probe(store::ClinicDatabase::databasePath());
        probe.exec(R"(INSERT INTO photoMst VALUES ('10000', '999999', 'n', 'normal', '{"rowsList":[]}', )"
                   R"('2024-01-01', '', '{"1":"N\/L0\/001","15":"N\/L0\/002"}'))");
        probe.exec(
            "INSERT INTO photoMst VALUES ('10000', '999999', 'n', 'roentgen', '', '2024-01-01', '', '{}')");
        probe.exec(R"(INSERT INTO photoMst VALUES ('10000', '1', 'n', 'velscope', '', '', '', '{"1":"x"}'))");
        photos.getLetterPhotoInfo();
        CHECK(state.allPhotoNoList["normal"] == store::FormData{{"1", "N/L0/001"}, {"15", "N/L0/002"}});
        CHECK(state.allPhotoNoList.count("roentgen") == 1);
        CHECK(state.allPhotoNoList["roentgen"].empty());
        CHECK(state.allPhotoNoList.count("velscope") == 0);
        CHECK(state.allPhotoNoList.count("noselect") == 0);
    }

    SECTION("slot maps that cannot be read are said, and the maps read before stay as they were") {
        ClinicDbProbe probe(store::ClinicDatabase::databasePath());
        probe.exec(R"(INSERT INTO photoMst VALUES ('10000', '999999', 'n', 'normal', '{"rowsList":[]}', )"
                   R"('2024-01-01', '', '{"1":"N\/L0\/001"}'))");
        REQUIRE_FALSE(photos.getCertificatePhotoInfo());
        const auto before = state.allPhotoNoList;
        REQUIRE(before.at("normal") == store::FormData{{"1", "N/L0/001"}});
        state.db->setMaxBusyRetryTimeInterval(0); // the lock is met at once
        ClinicDbProbe other(store::ClinicDatabase::databasePath());
        other.exec("BEGIN EXCLUSIVE");
        for (auto read : {&store::PatientPhotoInfo::getCertificatePhotoInfo,
                          &store::PatientPhotoInfo::getLetterPhotoInfo}) {
            const auto failure = (photos.*read)();
            REQUIRE(failure);
            CHECK(failure->code == SQLITE_BUSY);
            CHECK(state.allPhotoNoList == before);
        }
        CHECK((photos.getPhotoInfoFromDB("normal")).isFailed());
        CHECK(state.allPhotoNoList == before);
        other.exec("ROLLBACK");
        CHECK_FALSE(photos.getLetterPhotoInfo());
        CHECK(state.allPhotoNoList == before);
    }
    SECTION("without a library the lists are simply empty") {
        store::PatientPhotoInfo none(state, nullptr);
        none.getLetterPhotoInfo();
        CHECK(state.allAssetsList.size() == 4);
        CHECK(state.assetLocalIDList.empty());
    }
}

// The photoMst row of one patient and kind, without a photo library in the way.
#include <catch2/catch.hpp>

#include "app/store/ClinicDatabase.h"
#include "app/store/PhotoSlotRows.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/support/TestHome.h"

using store::FormData;
using storetest::ClinicDbProbe;

namespace {

struct Clinic {
    testsupport::TempHome home;
    store::ClinicState state;
    Clinic() {
        store::ClinicDatabase(state).connectDB();
        state.today = [] { return std::string("2024-05-06"); };
        state.patientInfo = FormData{{"name", "札幌　太郎"}};
    }
    ClinicDbProbe probe() { return ClinicDbProbe(store::ClinicDatabase::databasePath()); }
    std::vector<ClinicDbProbe::Row> rows() {
        return probe().rows("SELECT cid, pid, name, category, photo_no, photo_date, photo_data, photo_num "
                            "FROM photoMst ORDER BY pid, category");
    }
};

} // namespace

TEST_CASE("a photo slot row is written, read back and removed per patient and kind", "[store][photos]") {
    Clinic c;
    CHECK_FALSE(store::readPhotoSlots(c.state, "p1", "normal"));

    REQUIRE(store::writePhotoSlotRow(c.state, "p1", "normal", {"A/L0/001", "B/L0/001"}, {{"3", "A/L0/001"}}));
    REQUIRE(store::writePhotoSlotRow(c.state, "p1", "velscope", {}, {}));
    CHECK(c.rows() ==
          std::vector<ClinicDbProbe::Row>{
              {"10000", "p1", "札幌　太郎", "normal", R"({"rowsList":["A\/L0\/001","B\/L0\/001"]})",
               "2024-05-06", "", R"({"3":"A\/L0\/001"})"},
              {"10000", "p1", "札幌　太郎", "velscope", R"({"rowsList":[]})", "2024-05-06", "", "{}"}});
    CHECK(store::readPhotoSlots(c.state, "p1", "normal") == FormData{{"3", "A/L0/001"}});

    SECTION("a second write updates the row in place and keeps its name") {
        c.probe().exec("UPDATE photoMst SET name = 'kept', photo_date = '2001-01-01'");
        c.state.today = [] { return std::string("2024-05-07"); };
        REQUIRE(store::writePhotoSlotRow(c.state, "p1", "normal", {}, {{"4", "B/L0/001"}}));
        const auto rows = c.rows();
        REQUIRE(rows.size() == 2);
        CHECK(rows[0] == ClinicDbProbe::Row{"10000", "p1", "kept", "normal", R"({"rowsList":[]})",
                                            "2024-05-07", "", R"({"4":"B\/L0\/001"})"});
        CHECK(rows[1][5] == "2001-01-01");
    }
    SECTION("a write the database refuses says why and leaves the row as it was") {
        const auto before = c.rows();
        c.probe().exec(
            "CREATE TRIGGER refuse BEFORE UPDATE ON photoMst BEGIN SELECT RAISE(ABORT, 'no'); END");
        CHECK_FALSE(store::writePhotoSlotRow(c.state, "p1", "normal", {}, {}));
        REQUIRE(c.state.lastSaveFailure);
        CHECK(c.state.lastSaveFailure->code == SQLITE_CONSTRAINT);
        CHECK(c.rows() == before);
        c.probe().exec("DROP TRIGGER refuse");
        CHECK(store::writePhotoSlotRow(c.state, "p1", "normal", {}, {}));
        CHECK_FALSE(c.state.lastSaveFailure);
    }
    SECTION("removing takes only the row of that patient and kind") {
        REQUIRE(store::writePhotoSlotRow(c.state, "O'Brien", "normal", {}, {}));
        CHECK(store::deletePhotoSlotRow(c.state, "p1", "normal"));
        const auto rows = c.rows();
        REQUIRE(rows.size() == 2);
        CHECK(rows[0][1] == "O'Brien");
        CHECK(rows[1][3] == "velscope");
        CHECK_FALSE(store::readPhotoSlots(c.state, "p1", "normal"));
    }
}

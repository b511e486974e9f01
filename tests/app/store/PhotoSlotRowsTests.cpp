// The photoMst row of one patient and kind, without a photo library in the way.
#include <catch2/catch.hpp>

#include <cerrno>
#include <filesystem>

#include "app/store/ClinicDatabase.h"
#include "app/store/PhotoSlotRows.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/app/store/DamagedDatabase.h"
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
    // The stored slot map; none when there is no row.
    std::optional<FormData> stored(const std::string& pid, const std::string& kind) {
        FormData slots{{"kept", "as it was"}};
        const store::StoredRead read = store::readPhotoSlots(state, pid, kind, slots);
        REQUIRE_FALSE(read.isFailed());
        if (!read) {
            CHECK(slots == FormData{{"kept", "as it was"}});
            return std::nullopt;
        }
        return slots;
    }
    std::vector<ClinicDbProbe::Row> rows() {
        return probe().rows("SELECT cid, pid, name, category, photo_no, photo_date, photo_data, photo_num "
                            "FROM photoMst ORDER BY pid, category");
    }
};

} // namespace

TEST_CASE("a photo slot row is written, read back and removed per patient and kind", "[store][photos]") {
    Clinic c;
    CHECK_FALSE(c.stored("p1", "normal"));

    REQUIRE(store::writePhotoSlotRow(c.state, "p1", "normal", {"A/L0/001", "B/L0/001"}, {{"3", "A/L0/001"}}));
    REQUIRE(store::writePhotoSlotRow(c.state, "p1", "velscope", {}, {}));
    CHECK(c.rows() ==
          std::vector<ClinicDbProbe::Row>{
              {"10000", "p1", "札幌　太郎", "normal", R"({"rowsList":["A\/L0\/001","B\/L0\/001"]})",
               "2024-05-06", "", R"({"3":"A\/L0\/001"})"},
              {"10000", "p1", "札幌　太郎", "velscope", R"({"rowsList":[]})", "2024-05-06", "", "{}"}});
    CHECK(c.stored("p1", "normal") == FormData{{"3", "A/L0/001"}});

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
        CHECK_FALSE(c.stored("p1", "normal"));
    }
}

TEST_CASE("a slot row that cannot be read is never taken for no row", "[store][photos]") {
    Clinic c;
    const std::string path = store::ClinicDatabase::databasePath();
    REQUIRE(
        store::writePhotoSlotRow(c.state, "999999", "normal", {}, {{"1", "A/L0/001"}, {"2", "B/L0/001"}}));
    c.state.db->setMaxBusyRetryTimeInterval(0); // another program's lock is met at once
    const FormData before{{"9", "what the caller had"}};
    FormData slots = before;
    store::StoredRead read;
    foundation::LogCapture log;

    SECTION("a database locked by another program") {
        ClinicDbProbe other(path);
        other.exec("BEGIN EXCLUSIVE");
        read = store::readPhotoSlots(c.state, "999999", "normal", slots);
        other.exec("ROLLBACK");
        CHECK(read.failure.code == SQLITE_BUSY);
    }
    SECTION("a damaged database file, left as it is") {
        storetest::DamagedDatabase damage(path);
        read = store::readPhotoSlots(c.state, "999999", "normal", slots);
        CHECK(read.failure.code == SQLITE_NOTADB);
        CHECK(storetest::fileBytes(path) == damage.damaged());
        damage.repair();
    }
    SECTION("a database file that is gone: no empty one is made in its place") {
        std::filesystem::rename(path, path + ".kept");
        read = store::readPhotoSlots(c.state, "999999", "normal", slots);
        CHECK(read.failure.code == SQLITE_CANTOPEN);
        CHECK(read.failure.systemError == ENOENT);
        CHECK_FALSE(std::filesystem::exists(path));
        std::filesystem::rename(path + ".kept", path);
    }
    SECTION("a table that cannot be read") {
        c.probe().exec("ALTER TABLE photoMst RENAME TO photoMstGone");
        read = store::readPhotoSlots(c.state, "999999", "normal", slots);
        CHECK(read.failure.code == SQLITE_ERROR);
        CHECK(read.failure.message == "no such table: photoMst");
        c.probe().exec("ALTER TABLE photoMstGone RENAME TO photoMst");
    }
    CHECK(read.outcome == store::StoredRead::Outcome::Failed);
    CHECK_FALSE(read);
    CHECK(slots == before);
    CHECK(log.contains("readPhotoSlots: the slots of 999999 (normal) cannot be read: "));

    // Once the database can be read again: the row, and no row for another kind.
    read = store::readPhotoSlots(c.state, "999999", "normal", slots);
    CHECK(read.outcome == store::StoredRead::Outcome::Found);
    CHECK(slots == FormData{{"1", "A/L0/001"}, {"2", "B/L0/001"}});
    read = store::readPhotoSlots(c.state, "999999", "velscope", slots);
    CHECK(read.outcome == store::StoredRead::Outcome::Absent);
    CHECK(slots == FormData{{"1", "A/L0/001"}, {"2", "B/L0/001"}});
}

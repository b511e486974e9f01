// A clinic database whose file has gone since the launch: every save says so, and none makes the file
// again (an empty one in its place would then answer every read with a missing table).
#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>

#include "app/store/ClinicDatabase.h"
#include "app/store/DatabaseFile.h"
#include "app/store/FormRecords.h"
#include "app/store/PatientRows.h"
#include "app/store/PhotoSlotRows.h"
#include "app/store/PrintNumber.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/support/TestHome.h"

namespace fs = std::filesystem;

namespace {

bool saysMissingFile(const std::optional<store::DatabaseFailure>& failure) {
    return failure && failure->code == SQLITE_CANTOPEN && failure->systemError == ENOENT;
}

} // namespace

TEST_CASE("no save makes again a clinic database whose file has gone", "[store][database]") {
    testsupport::TempHome home;
    store::ClinicState state;
    REQUIRE_FALSE(store::ClinicDatabase(state).connectDB());
    state.today = [] { return std::string("2024-05-06"); };
    state.patientID = "999999";
    REQUIRE(store::FormRecords(state).setPatientInfoData());
    const std::string path = store::ClinicDatabase::databasePath();
    REQUIRE(fs::remove(path));
    foundation::LogCapture log;

    SECTION("the questionnaire, the certificate and the letter") {
        state.medicalList = {{"cid", "80000"}, {"cname", "Hospital"}};
        for (auto save : {&store::FormRecords::registInquiry, &store::FormRecords::registCertificate,
                          &store::FormRecords::registLetter}) {
            state.lastSaveFailure.reset();
            CHECK_FALSE((store::FormRecords(state).*save)());
            CHECK(saysMissingFile(state.lastSaveFailure));
        }
    }
    SECTION("the patient's registration") {
        store::PatientEntry entry;
        entry.pid = "999999";
        entry.name = "札幌　太郎";
        std::optional<store::DatabaseFailure> failure;
        CHECK_FALSE(store::registPatient(*state.db, entry, &failure));
        CHECK(saysMissingFile(failure));
    }
    SECTION("the photo slots' register, and the removal of their row") {
        CHECK_FALSE(store::writePhotoSlotRow(state, "999999", "normal", {"A/L0/001"}, {{"1", "A/L0/001"}}));
        CHECK(saysMissingFile(state.lastSaveFailure));
        CHECK_FALSE(store::deletePhotoSlotRow(state, "999999", "normal"));
    }
    SECTION("a certificate's print number") {
        CHECK_FALSE(store::storePrintNumber(*state.db, "999999", 3));
        CHECK(log.contains("advancePrintNumber: the print number 3 of 999999 was not stored"));
    }
    CHECK(log.contains("no database at " + path));
    CHECK_FALSE(fs::exists(path));
    CHECK_FALSE(fs::exists(path + "-journal"));

    // The next patient open says the file is gone, not that a table is missing.
    const store::PatientRead read = store::FormRecords(state).setPatientInfoData();
    CHECK(read.isFailed());
    CHECK(saysMissingFile(read.failure));
    CHECK_FALSE(fs::exists(path));
}

TEST_CASE("a clinic database is opened for a read or a save only where its file is", "[store][database]") {
    testsupport::TempHome home;
    const std::string path = home.path() + "/clinic.db";
    auto db = SQDatabase::databaseWithPath(path);

    SECTION("no file: nothing opens and nothing is made") {
        CHECK(saysMissingFile(store::missingDatabase(*db, "test")));
        CHECK_FALSE(store::openExisting(*db));
        CHECK(db->lastErrorCode() == SQLITE_CANTOPEN);
        CHECK_FALSE(fs::exists(path));
    }
    SECTION("a file: it opens for writing") {
        REQUIRE(db->open());
        REQUIRE(db->executeUpdate("CREATE TABLE t (x)"));
        db->close();
        CHECK_FALSE(store::missingDatabase(*db, "test"));
        REQUIRE(store::openExisting(*db));
        CHECK(db->executeUpdate("INSERT INTO t VALUES (1)"));
        db->close();
    }
}

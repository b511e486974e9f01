// A certificate's print number in its certifMst row.
#include <catch2/catch.hpp>

#include "app/store/ClinicDatabase.h"
#include "app/store/PrintNumber.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/support/TestHome.h"

using storetest::ClinicDbProbe;

TEST_CASE("the print number is stored in the patient's certificate row alone", "[store][print]") {
    testsupport::TempHome home;
    store::ClinicState state;
    store::ClinicDatabase(state).connectDB();
    ClinicDbProbe probe(store::ClinicDatabase::databasePath());
    probe.exec("INSERT INTO certifMst VALUES ('p2', '{}', '', '2024-05-06', '5')");

    REQUIRE(store::storePrintNumber(*state.db, "999999", 7));
    CHECK(probe.value("SELECT printno FROM certifMst WHERE pid = '999999'") == "7");
    CHECK(probe.value("SELECT printno FROM certifMst WHERE pid = 'p2'") == "5");

    SECTION("a number the database refuses is logged and leaves the row as it was") {
        probe.exec(
            "CREATE TRIGGER no_update BEFORE UPDATE ON certifMst BEGIN SELECT RAISE(ABORT, 'no'); END");
        foundation::LogCapture log;
        CHECK_FALSE(store::storePrintNumber(*state.db, "999999", 8));
        CHECK(log.contains("advancePrintNumber: the print number 8 of 999999 was not stored: 19 no"));
        CHECK(probe.value("SELECT printno FROM certifMst WHERE pid = '999999'") == "7");
    }
    SECTION("a database that does not open is logged") {
        auto missing = SQDatabase::databaseWithPath(home.path() + "/missing/zaruvedezManage.db");
        foundation::LogCapture log;
        CHECK_FALSE(store::storePrintNumber(*missing, "999999", 8));
        CHECK(log.contains("advancePrintNumber: the print number 8 of 999999 was not stored"));
        CHECK(probe.value("SELECT printno FROM certifMst WHERE pid = '999999'") == "7");
    }
}

// A patient's two rows: inserted, updated, and neither written when one statement fails.
#include <catch2/catch.hpp>

#include "app/store/PatientRows.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/support/TestHome.h"

using namespace store;

namespace {
struct Db {
    testsupport::TempHome home;
    std::string path = home.path() + "/clinic.db";
    std::shared_ptr<SQDatabase> db = SQDatabase::databaseWithPath(path);
    Db() {
        storetest::ClinicDbProbe p(path);
        p.exec("CREATE TABLE patientMst ( cid text, pid text, name text, kana text, postal text, state text, "
               "address1 text, address2 text, tel1 text, tel2 text, biz text, startdate text, consultation "
               "integer, PRIMARY KEY(cid, pid))");
        p.exec("CREATE TABLE patientSrv ( cid text, pid text, sex text, birthday text)");
    }
    std::vector<storetest::ClinicDbProbe::Row> rows(const std::string& sql) {
        return storetest::ClinicDbProbe(path).rows(sql);
    }
};

PatientEntry entry(const std::string& pid) {
    PatientEntry e;
    e.pid = pid;
    e.name = "O'Brien\u3000花子";
    e.kana = "おぶらいえん\u3000はなこ";
    e.postal = "060-0000";
    e.state = "北海道";
    e.address1 = "札幌市中央区'); DROP TABLE patientMst; --";
    e.tel1 = "011-123-4567";
    e.startdate = "2024年 4月 1日";
    e.sex = "女";
    e.birthday = "1980年 4月 1日";
    return e;
}
} // namespace

TEST_CASE("Saving a patient writes both rows with every value bound", "[store][patient]") {
    Db d;
    SECTION("a new patient gets one row in each table, quotes and all") {
        REQUIRE(registPatient(*d.db, entry("p1")));
        auto master = d.rows("SELECT cid, pid, name, address1, consultation, address2 FROM patientMst");
        REQUIRE(master.size() == 1);
        CHECK(master[0][0] == "10000");
        CHECK(master[0][2] == "O'Brien\u3000花子");
        CHECK(master[0][3] == "札幌市中央区'); DROP TABLE patientMst; --");
        CHECK(master[0][4] == "0");
        CHECK(master[0][5] == ""); // empty, not NULL
        auto service = d.rows("SELECT cid, pid, sex, birthday FROM patientSrv");
        REQUIRE(service.size() == 1);
        CHECK(service[0] == storetest::ClinicDbProbe::Row{"10000", "p1", "女", "1980年 4月 1日"});
    }
    SECTION("saving again updates in place and keeps cid and pid") {
        REQUIRE(registPatient(*d.db, entry("p1")));
        auto changed = entry("p1");
        changed.name = "山田\u3000花";
        changed.sex = "男";
        REQUIRE(registPatient(*d.db, changed));
        auto master = d.rows("SELECT cid, pid, name FROM patientMst");
        REQUIRE(master.size() == 1);
        CHECK(master[0] == storetest::ClinicDbProbe::Row{"10000", "p1", "山田\u3000花"});
        auto service = d.rows("SELECT sex FROM patientSrv");
        REQUIRE(service.size() == 1);
        CHECK(service[0][0] == "男");
    }
    SECTION("a failing statement writes nothing at all and says so") {
        storetest::ClinicDbProbe(d.path).exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON patientSrv BEGIN SELECT RAISE(ABORT, 'refused'); END");
        CHECK_FALSE(registPatient(*d.db, entry("p2")));
        CHECK(d.rows("SELECT * FROM patientMst").empty());
        CHECK(d.rows("SELECT * FROM patientSrv").empty());
        // The handle is usable afterwards.
        storetest::ClinicDbProbe(d.path).exec("DROP TRIGGER refuse");
        CHECK(registPatient(*d.db, entry("p2")));
    }
    SECTION("a database without the tables fails cleanly") {
        storetest::ClinicDbProbe(d.path).exec("DROP TABLE patientSrv");
        CHECK_FALSE(registPatient(*d.db, entry("p3")));
        CHECK(d.rows("SELECT * FROM patientMst").empty());
    }
}

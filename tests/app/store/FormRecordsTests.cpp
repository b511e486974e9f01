#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>

#include "app/store/ClinicDatabase.h"
#include "app/store/FormRecords.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/support/TestHome.h"

using store::FormData;
using storetest::ClinicDbProbe;

namespace {

// A launched clinic database with the seed rows, and the records over it.
struct Clinic {
    testsupport::TempHome home;
    store::ClinicState state;
    store::FormRecords records{state};

    Clinic() {
        store::ClinicDatabase(state).connectDB();
        state.today = [] { return std::string("2024-05-06"); };
    }
    ClinicDbProbe probe() { return ClinicDbProbe(store::ClinicDatabase::databasePath()); }
    // As a start screen does: the patient, a fresh questionnaire, then the load.
    store::PatientRead open(const std::string& pid) {
        state.patientID = pid;
        state.inputItems.emplace();
        return records.setPatientInfoData();
    }
    void addPatient(const std::string& pid) {
        probe().exec("INSERT INTO patientMst VALUES ('10000', '" + pid +
                     "', 'A', 'a', '', '', '', '', '', '', '', '', 0)");
    }
};

} // namespace

TEST_CASE("the seed patient loads into every form", "[FormRecords]") {
    Clinic clinic;
    REQUIRE(clinic.open("999999"));
    const auto& s = clinic.state;

    SECTION("patient columns") {
        REQUIRE(s.patientInfo);
        CHECK(s.patientInfo->size() == 15);
        CHECK(s.patientInfo->at("cid") == "10000");
        CHECK(s.patientInfo->at("pid") == "999999");
        CHECK(s.patientInfo->at("biz") == "会社員");
        CHECK(s.patientInfo->at("consultation") == "0");
        CHECK(s.patientInfo->at("sex") == "男");
        CHECK(s.patientInfo->at("startdate") == "2014年 10月 10日");
    }

    SECTION("questionnaire") {
        FormData expected;
        for (const char* key :
             {"421",  "774", "211",  "321",  "111",  "4301", "4304", "4309", "4307", "4311", "8110",
              "7101", "122", "6109", "6107", "6105", "6103", "6101", "6106", "511",  "412",  "312"})
            expected[key] = "on";
        expected["0"] = "1";
        expected["21"] = "2";
        expected["32"] = "睡眠導入剤";
        expected["graph1"] = "4";
        expected["graph2"] = "3";
        expected["graph3"] = "5";
        expected["graph4"] = "1";
        expected["graph5"] = "3";
        expected["inputdate"] = "2014-10-13";
        CHECK(*s.inputItems == expected);
    }

    SECTION("certificate, letter and referral target") {
        CHECK(s.certifiDataList.size() == 27);
        CHECK(s.certifiDataList.at("printno") == "0");
        CHECK(s.certifiDataList.at("31") == "2014年 10月 27日　10:30 〜");
        CHECK(s.certifiDataList.at("43") == "");
        CHECK(s.letterDataList.empty());
        CHECK(s.medicalList.empty());
    }
}

TEST_CASE("the patient loader without a usable patient", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;
    s.certifiDataList = {{"1", "kept"}};
    s.patientID = "000001";
    s.inputItems = FormData{{"11", "kept"}};

    SECTION("an unknown patient: absent, and the forms stay as they were") {
        CHECK(clinic.records.setPatientInfoData().outcome == store::PatientRead::Outcome::Absent);
        CHECK(s.patientInfo == FormData{});
        CHECK(s.inputItems == FormData{{"11", "kept"}});
        CHECK(s.certifiDataList == FormData{{"1", "kept"}});
    }

    SECTION("right after launch: the questionnaire stays absent when the patient is unknown") {
        s.inputItems.reset();
        CHECK_FALSE(clinic.records.setPatientInfoData());
        CHECK_FALSE(s.inputItems);
    }

    SECTION("no current patient: false") {
        s.patientID.reset();
        CHECK_FALSE(clinic.records.setPatientInfoData());
    }

    SECTION("a patient without sex and birthday loads them empty, and with no stored forms") {
        clinic.addPatient("000001");
        CHECK(clinic.records.setPatientInfoData());
        CHECK(s.patientInfo->at("sex") == "");
        CHECK(s.patientInfo->at("birthday") == "");
        CHECK(s.inputItems->empty());
        CHECK(s.certifiDataList.empty());
    }

    SECTION("an unreadable table fails the load rather than showing empty forms") {
        clinic.addPatient("000001");
        clinic.probe().exec("DROP TABLE letterMst");
        foundation::LogCapture cap;
        const auto read = clinic.records.setPatientInfoData();
        CHECK(read.isFailed());
        CHECK(read.failure.code == SQLITE_ERROR);
        CHECK(read.failure.message == "no such table: letterMst");
        CHECK(s.certifiDataList == FormData{{"1", "kept"}});
    }
}

TEST_CASE("a patient that cannot be read is not taken for one who is not there", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;
    const std::string path = store::ClinicDatabase::databasePath();
    s.db->setMaxBusyRetryTimeInterval(0); // another program's lock is met at once
    s.certifiDataList = {{"1", "kept"}};
    s.patientID = "999999";
    s.inputItems = FormData{{"11", "kept"}};
    foundation::LogCapture log;
    store::PatientRead read;

    SECTION("a database locked by another program") {
        ClinicDbProbe other(path);
        other.exec("BEGIN EXCLUSIVE");
        read = clinic.records.setPatientInfoData();
        CHECK(read.failure.code == SQLITE_BUSY);
        other.exec("ROLLBACK");
    }
    SECTION("a damaged database file") {
        storetest::DamagedDatabase damage(path);
        read = clinic.records.setPatientInfoData();
        CHECK(read.failure.code == SQLITE_NOTADB);
        CHECK(storetest::fileBytes(path) == damage.damaged());
        damage.repair();
    }
    SECTION("a database file that is gone: no empty one is made in its place") {
        std::filesystem::rename(path, path + ".kept");
        read = clinic.records.setPatientInfoData();
        CHECK(read.failure.code == SQLITE_CANTOPEN);
        CHECK(read.failure.systemError == ENOENT);
        CHECK_FALSE(std::filesystem::exists(path));
        std::filesystem::rename(path + ".kept", path);
    }
    CHECK(read.outcome == store::PatientRead::Outcome::Failed);
    CHECK_FALSE(read);
    CHECK(log.contains("setPatientInfoData: "));
    CHECK(s.inputItems == FormData{{"11", "kept"}});
    CHECK(s.certifiDataList == FormData{{"1", "kept"}});
    // Once the database can be read again, the same patient loads.
    CHECK(clinic.records.setPatientInfoData());
    CHECK(s.patientInfo->at("biz") == "会社員");
}

TEST_CASE("the questionnaire saver", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;

    SECTION("re-registering the seed questionnaire stores 4, 3, 5, 1, 3 in its one row") {
        REQUIRE(clinic.open("999999"));
        foundation::LogCapture cap;
        REQUIRE(clinic.records.registInquiry());
        REQUIRE(clinic.records.registInquiry());
        CHECK(cap.count("1:4, 2:3, 3:5, 4:1, 5:3") == 2);
        auto rows =
            clinic.probe().rows("SELECT graph1, graph2, graph3, graph4, graph5, inputdate FROM inquiryMst "
                                "WHERE pid = '999999'");
        REQUIRE(rows.size() == 1);
        CHECK(rows[0] == ClinicDbProbe::Row{"4", "3", "5", "1", "3", "2014-10-13"});
        CHECK(clinic.probe().count("inquiryMst") == 1);
    }

    SECTION("a new patient's first save inserts, the next updates") {
        clinic.addPatient("000002");
        REQUIRE(clinic.open("000002"));
        (*s.inputItems)["122"] = "on";
        (*s.inputItems)["inputdate"] = "2024-01-02";
        REQUIRE(clinic.records.registInquiry());
        (*s.inputItems)["123"] = "on";
        REQUIRE(clinic.records.registInquiry());
        auto rows =
            clinic.probe().rows("SELECT result, graph1, inputdate FROM inquiryMst WHERE pid = '000002'");
        REQUIRE(rows.size() == 1);
        CHECK(rows[0] == ClinicDbProbe::Row{R"({"12":"3","text_0":"2024-01-02"})", "5", "2024-01-02"});
    }

    SECTION("a missing or \"(null)\" date is no date") {
        clinic.addPatient("000003");
        REQUIRE(clinic.open("000003"));
        REQUIRE(clinic.records.registInquiry()); // no "inputdate" key
        CHECK(clinic.probe().rows("SELECT inputdate FROM inquiryMst WHERE pid = '000003'")[0][0] ==
              std::nullopt);
        REQUIRE(clinic.open("000003"));
        CHECK(s.inputItems->count("inputdate") == 0);

        clinic.probe().exec("UPDATE inquiryMst SET inputdate = '(null)' WHERE pid = '000003'");
        (*s.inputItems)["inputdate"] = "stale";
        REQUIRE(clinic.open("000003"));
        CHECK(s.inputItems->count("inputdate") == 0);
        CHECK(s.inputItems->at("graph1") == "1");
    }
}

TEST_CASE("the certificate and letter savers", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;
    REQUIRE(clinic.open("999999"));

    SECTION("the certificate updates its one row and keeps the print counter") {
        clinic.probe().exec("UPDATE certifMst SET printno = '7'");
        s.certifiDataList["41"] = "抜歯";
        REQUIRE(clinic.records.registCertificate());
        REQUIRE(clinic.records.registCertificate());
        auto rows = clinic.probe().rows("SELECT result, photos, createdate, printno FROM certifMst");
        REQUIRE(rows.size() == 1);
        CHECK(rows[0][1] == "");
        CHECK(rows[0][2] == "2024-05-06");
        CHECK(rows[0][3] == "7");
        REQUIRE(clinic.open("999999"));
        CHECK(s.certifiDataList.at("41") == "抜歯");
        CHECK(s.certifiDataList.at("printno") == "7");
    }

    SECTION("the letter and its referral target: inserted once, then updated") {
        s.letterDataList = {{"11", "紹介状"}};
        s.medicalList = {
            {"cid", "80000"}, {"cname", "Hospital"}, {"departments", "Oral"}, {"doctor", "Dr. A"}};
        REQUIRE(clinic.records.registLetter());
        s.medicalList["doctor"] = "Dr. B";
        REQUIRE(clinic.records.registLetter());
        auto probe = clinic.probe();
        CHECK(probe.rows("SELECT pid, result, photos, createdate, printno, res1, res2 FROM letterMst") ==
              std::vector<ClinicDbProbe::Row>{
                  {"999999", R"({"11":"紹介状"})", "", "2024-05-06", "0", "0", "0"}});
        CHECK(probe.rows("SELECT * FROM medicalMst") ==
              std::vector<ClinicDbProbe::Row>{{"80000", "Hospital", "Oral", "Dr. B", "0", "0"}});
        s.medicalList.clear();
        s.letterDataList.clear();
        REQUIRE(clinic.open("999999"));
        CHECK(s.letterDataList == FormData{{"11", "紹介状"}, {"printno", "0"}});
        CHECK(s.medicalList.at("doctor") == "Dr. B");
    }

    SECTION("a stored result that is not JSON opens as an empty form") {
        clinic.probe().exec("UPDATE certifMst SET result = '{broken'");
        REQUIRE(clinic.open("999999"));
        CHECK(s.certifiDataList == FormData{{"printno", "0"}});
    }
}

TEST_CASE("the loader tells which stored forms could not be read", "[FormRecords]") {
    Clinic clinic;
    const auto& unreadable = clinic.state.unreadableForms;
    REQUIRE(clinic.open("999999"));
    CHECK_FALSE(unreadable.inquiry);
    CHECK_FALSE(unreadable.certificate);
    CHECK_FALSE(unreadable.letter);

    SECTION("damaged texts, or JSON that is no form, are named and logged") {
        const char* damaged = GENERATE("{broken", "[1, 2]", "\"text\"");
        INFO(damaged);
        clinic.probe().exec(std::string("UPDATE inquiryMst SET result = '") + damaged + "'");
        clinic.probe().exec(std::string("UPDATE certifMst SET result = '") + damaged + "'");
        clinic.probe().exec("INSERT INTO letterMst VALUES ('999999', '{', '', '2024-05-06', '0', '0', '0')");
        foundation::LogCapture log;
        REQUIRE(clinic.open("999999"));
        CHECK(unreadable.inquiry);
        CHECK(unreadable.certificate);
        CHECK(unreadable.letter);
        CHECK(log.contains("setPatientInfoData: the stored inquiryMst of 999999 cannot be read"));
        CHECK(log.contains("setPatientInfoData: the stored certifMst of 999999 cannot be read"));
        // The stored scores still come with the damaged answers; the rows stay as they were.
        CHECK(clinic.state.inputItems->at("graph1") == "4");
        CHECK(clinic.probe().value("SELECT result FROM certifMst WHERE pid = '999999'") == damaged);
    }
    SECTION("an empty text is nothing stored, not damage; the next patient starts clean") {
        clinic.probe().exec("UPDATE certifMst SET result = ''");
        REQUIRE(clinic.open("999999"));
        CHECK_FALSE(unreadable.certificate);
        clinic.probe().exec("UPDATE certifMst SET result = '{'");
        REQUIRE(clinic.open("999999"));
        CHECK(unreadable.certificate);
        clinic.addPatient("123");
        REQUIRE(clinic.open("123"));
        CHECK_FALSE(unreadable.certificate);
    }
}

TEST_CASE("values with quotes are stored and loaded intact", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;
    const std::string pid = "O'Brien-1";
    clinic.probe().exec(
        "INSERT INTO patientMst VALUES ('10000', 'O''Brien-1', 'O''Brien　Pat', 'a', '', '', '', "
        "'', '', '', '', '', 0)");
    REQUIRE(clinic.open(pid));
    CHECK(s.patientInfo->at("name") == "O'Brien　Pat");

    const std::string hostile = "x'); DROP TABLE certifMst; --";
    (*s.inputItems)["11"] = "it's \"fine\"";
    s.certifiDataList = {{"41", hostile}};
    s.letterDataList = {{"41", "'"}};
    s.medicalList = {{"cid", "80'000"}, {"cname", "St. Mary's"}};
    REQUIRE(clinic.records.registInquiry());
    REQUIRE(clinic.records.registCertificate());
    REQUIRE(clinic.records.registLetter());
    REQUIRE(clinic.records.registCertificate()); // the update path too

    REQUIRE(clinic.open(pid));
    CHECK(s.inputItems->at("11") == "it's \"fine\"");
    CHECK(s.certifiDataList.at("41") == hostile);
    CHECK(s.letterDataList.at("41") == "'");
    CHECK(clinic.probe().value("SELECT cname FROM medicalMst WHERE cid = '80''000'") == "St. Mary's");
    CHECK(clinic.probe().count("certifMst") == 2);
}

TEST_CASE("a saver whose statement fails reports it and stores nothing", "[FormRecords]") {
    Clinic clinic;
    auto& s = clinic.state;
    REQUIRE(clinic.open("999999"));
    foundation::LogCapture cap;

    SECTION("no current patient") {
        s.patientID.reset();
        CHECK_FALSE(clinic.records.registInquiry());
        CHECK_FALSE(clinic.records.registCertificate());
        CHECK_FALSE(clinic.records.registLetter());
        CHECK(clinic.probe().count("letterMst") == 0);
    }

    SECTION("a missing table") {
        clinic.probe().exec("DROP TABLE inquiryMst");
        CHECK_FALSE(clinic.records.registInquiry());
    }

    SECTION("a refused update leaves the stored certificate as it was") {
        const auto before = clinic.probe().rows("SELECT * FROM certifMst");
        clinic.probe().exec(
            "CREATE TRIGGER no_update BEFORE UPDATE ON certifMst BEGIN SELECT RAISE(ABORT, 'no'); END");
        s.certifiDataList["41"] = "changed";
        CHECK_FALSE(clinic.records.registCertificate());
        CHECK(clinic.probe().rows("SELECT * FROM certifMst") == before);
    }

    SECTION("the letter is not stored when its referral target can't be") {
        clinic.probe().exec("DROP TABLE medicalMst");
        s.letterDataList = {{"11", "x"}};
        s.medicalList = {{"cid", "80000"}, {"cname", "Hospital"}};
        CHECK_FALSE(clinic.records.registLetter());
        CHECK(clinic.probe().count("letterMst") == 0);
        REQUIRE(s.db->open()); // the handle is usable again: no transaction left open
        CHECK_FALSE(s.db->inTransaction());
        s.db->close();
    }

    SECTION("an unopenable database") {
        s.db = SQDatabase::databaseWithPath(clinic.home.path() + "/missing/dir/x.db");
        CHECK_FALSE(clinic.records.registInquiry());
        CHECK_FALSE(clinic.records.registCertificate());
        CHECK_FALSE(clinic.records.registLetter());
        REQUIRE(s.lastSaveFailure);
        CHECK(s.lastSaveFailure->code == SQLITE_CANTOPEN);
    }

    SECTION("a database locked by another program: each saver keeps why, for the screen to say") {
        s.db->setMaxBusyRetryTimeInterval(0); // the lock is met at once
        s.letterDataList = {{"11", "x"}};
        s.medicalList = {{"cid", "80000"}, {"cname", "Hospital"}};
        const auto before = clinic.probe().dump();
        {
            ClinicDbProbe other(store::ClinicDatabase::databasePath());
            other.exec("BEGIN EXCLUSIVE");
            for (auto save : {&store::FormRecords::registInquiry, &store::FormRecords::registCertificate,
                              &store::FormRecords::registLetter}) {
                s.lastSaveFailure.reset();
                CHECK_FALSE((clinic.records.*save)());
                REQUIRE(s.lastSaveFailure);
                CHECK(s.lastSaveFailure->code == SQLITE_BUSY);
            }
            other.exec("ROLLBACK");
        }
        CHECK(clinic.probe().dump() == before);
        // The next save that stores forgets it.
        CHECK(clinic.records.registCertificate());
        CHECK_FALSE(s.lastSaveFailure);
    }
}

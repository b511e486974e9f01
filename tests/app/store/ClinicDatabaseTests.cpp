#include <catch2/catch.hpp>
#include <cerrno>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "app/store/ClinicDatabase.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/store/ClinicDbProbe.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/app/store/FullDiskVfs.h"
#include "tests/support/TestHome.h"

using storetest::ClinicDbProbe;

namespace {

// The rows a first launch seeds: one of each but the photo, medical and letter tables.
void checkSeedCounts(ClinicDbProbe& probe) {
    CHECK(probe.count("zaruvedezMst") == 1);
    CHECK(probe.count("patientMst") == 1);
    CHECK(probe.count("patientSrv") == 1);
    CHECK(probe.count("photoMst") == 0);
    CHECK(probe.count("inquiryMst") == 1);
    CHECK(probe.count("certifMst") == 1);
}

// The tables as sqlite_master keeps their statements ("IF NOT EXISTS" is not stored).
const std::vector<std::pair<std::string, std::string>> kTables = {
    {"zaruvedezMst", "CREATE TABLE zaruvedezMst ( cid text, name text, kana text, state text, loginid text, "
                     "password text, authority text, PRIMARY KEY(cid, loginid))"},
    {"patientMst",
     "CREATE TABLE patientMst ( cid text, pid text, name text, kana text, postal text, state text, "
     "address1 text, address2 text, tel1 text, tel2 text, biz text, startdate text, consultation "
     "integer, PRIMARY KEY(cid, pid))"},
    {"patientSrv", "CREATE TABLE patientSrv ( cid text, pid text, sex text, birthday text)"},
    {"photoMst",
     "CREATE TABLE photoMst ( cid text, pid text, name text, category text, photo_no text, photo_date "
     "text, photo_data text, photo_num text)"},
    {"inquiryMst", "CREATE TABLE inquiryMst ( pid text, result text, graph1 integer, graph2 integer, graph3 "
                   "integer, graph4 integer, graph5 integer, inputdate text)"},
    {"certifMst",
     "CREATE TABLE certifMst ( pid text, result text, photos text, createdate text, printno text)"},
    {"medicalMst",
     "CREATE TABLE medicalMst ( cid text, cname text, departments text, doctor text, res1 text, res2 "
     "text, PRIMARY KEY(cid))"},
    {"letterMst",
     "CREATE TABLE letterMst ( pid text, result text, photos text, createdate text, printno text, res1 "
     "text, res2 text)"},
};

std::vector<std::pair<std::string, std::string>> tablesIn(ClinicDbProbe& probe) {
    std::vector<std::pair<std::string, std::string>> out;
    for (auto& row : probe.rows("SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY rowid"))
        out.emplace_back(*row[0], *row[1]);
    return out;
}

// Family and given name: two non-empty parts joined by one ideographic space.
bool splitByIdeographicSpace(const std::string& name) {
    const std::string space = "\u3000";
    const size_t at = name.find(space);
    return at != std::string::npos && at > 0 && at + space.size() < name.size() &&
           name.find(space, at + 1) == std::string::npos && name.find(' ') == std::string::npos;
}

std::optional<store::DatabaseFailure> connectClinic(store::ClinicState& state) {
    return store::ClinicDatabase(state).connectDB();
}

} // namespace

TEST_CASE("first launch creates, seeds and logs the clinic database", "[ClinicDatabase]") {
    testsupport::TempHome home;
    const std::string path = home.path() + "/Documents/zaruvedezManage.db";
    REQUIRE(store::ClinicDatabase::databasePath() == path);
    foundation::LogCapture cap;
    store::ClinicState state;
    CHECK_FALSE(connectClinic(state));

    REQUIRE(std::filesystem::exists(path));
    REQUIRE(state.db);
    CHECK(state.db->databasePath() == path);
    CHECK(cap.lines() == std::vector<std::string>{"Created Tables", "IMAGE INSERT OK", "IMAGE INSERT OK",
                                                  "IMAGE INSERT OK", "IMAGE INSERT OK", "IMAGE INSERT OK",
                                                  "Added Tables"});

    ClinicDbProbe probe(path);
    SECTION("the eight tables, exactly as their statements") {
        CHECK(tablesIn(probe) == kTables);
    }

    SECTION("exactly the five seed rows") {
        checkSeedCounts(probe);
        CHECK(probe.count("medicalMst") == 0);
        CHECK(probe.count("letterMst") == 0);
    }

    SECTION("the clinic account") {
        using R = ClinicDbProbe::Row;
        CHECK(probe.rows("SELECT * FROM zaruvedezMst") ==
              std::vector<R>{
                  {"10000", "デンタルクリニック", "デンタルクリニック", "北海道", "vexor", "vexor", ""}});
    }

    SECTION("the seed patient in the forms the records expect") {
        auto row =
            probe
                .rows("SELECT cid, pid, name, kana, postal, state, address1, address2, tel1, tel2, biz, "
                      "startdate, consultation, typeof(consultation) FROM patientMst")
                .at(0);
        CHECK(*row[0] == "10000");
        CHECK(*row[1] == "999999");
        CHECK(splitByIdeographicSpace(*row[2]));
        CHECK(splitByIdeographicSpace(*row[3]));
        CHECK(std::regex_match(*row[4], std::regex("[0-9]{3}-[0-9]{4}")));
        CHECK(!row[5]->empty());
        CHECK(!row[6]->empty());
        CHECK(*row[7] == "");
        const std::regex phone("[0-9]+-[0-9]+-[0-9]+");
        CHECK(std::regex_match(*row[8], phone));
        CHECK(std::regex_match(*row[9], phone));
        CHECK(*row[8] != *row[9]);
        CHECK(*row[10] == "会社員");
        CHECK(*row[11] == "2014年 10月 10日");
        CHECK(*row[12] == "0");
        CHECK(*row[13] == "integer");

        auto srv = probe.rows("SELECT cid, pid, sex, birthday FROM patientSrv").at(0);
        CHECK(*srv[0] == "10000");
        CHECK(*srv[1] == "999999");
        CHECK(*srv[2] == "男");
        CHECK(std::regex_match(*srv[3], std::regex("[0-9]{4}年 [0-9]{1,2}月 [0-9]{1,2}日")));
    }

    SECTION("the seed questionnaire and certificate texts") {
        auto inquiry =
            probe
                .rows("SELECT pid, result, graph1, graph2, graph3, graph4, graph5, typeof(graph1), "
                      "inputdate FROM inquiryMst")
                .at(0);
        CHECK(*inquiry[0] == "999999");
        CHECK(*inquiry[1] ==
              R"({"42":"1","70":"74","21":"1","32":"1","11":"1","43":["1","4","9","7","11"],"81":["10"],)"
              R"("71":["1"],"12":"2","61":["9","7","5","3","1","6"],"text_0":"1","51":"1","text_21":"2",)"
              R"("text_32":"睡眠導入剤","41":"2","31":"2"})");
        CHECK(ClinicDbProbe::Row(inquiry.begin() + 2, inquiry.begin() + 7) ==
              ClinicDbProbe::Row{"4", "3", "5", "1", "3"});
        CHECK(*inquiry[7] == "integer");
        CHECK(*inquiry[8] == "2014-10-13");

        auto certificate = probe.rows("SELECT pid, result, photos, createdate, printno FROM certifMst").at(0);
        CHECK(*certificate[0] == "999999");
        CHECK(*certificate[1] ==
              R"({"32":"（月）","5206":"●","62":"2","8202":"●","8302":"●","11":"●","41":"虫歯治療",)"
              R"("8103":"●","511":"■","42":"歯石除去","422":"■","8101":"●","601":"●","43":"","5404":"●",)"
              R"("5302":"●","533":"■","22":"●","411":"■","542":"■","30":"2015年 10月 16日","8204":"●",)"
              R"("31":"2014年 10月 27日　10:30 〜","61":"23","522":"■","551":"■"})");
        CHECK(*certificate[2] == "");
        CHECK(*certificate[3] == "2014-10-13");
        CHECK(*certificate[4] == "0");
    }
}

TEST_CASE("later launches only add missing later tables", "[ClinicDatabase]") {
    testsupport::TempHome home;
    const std::string path = store::ClinicDatabase::databasePath();

    SECTION("a second launch changes nothing") {
        {
            store::ClinicState first;
            connectClinic(first);
        }
        std::vector<ClinicDbProbe::Row> before;
        {
            ClinicDbProbe probe(path);
            // Staff edits since the first launch must survive: no re-seeding of a removed seed row.
            probe.exec("DELETE FROM certifMst");
            probe.exec(
                "INSERT INTO medicalMst VALUES ('80000', 'Hospital', 'Oral surgery', 'Dr. A', '0', '0')");
            before = probe.dump();
        }
        home.relaunch();
        foundation::LogCapture cap;
        store::ClinicState second;
        connectClinic(second);
        CHECK(cap.lines() == std::vector<std::string>{"Added Tables"});
        ClinicDbProbe probe(path);
        CHECK(probe.dump() == before);
    }

    SECTION("a database with only the first six tables gains the two later ones, empty") {
        {
            ClinicDbProbe probe(path);
            for (size_t i = 0; i < 6; ++i)
                probe.exec(kTables[i].second);
            probe.exec(
                "INSERT INTO patientMst VALUES ('10000', '1', 'A', 'a', '', '', '', '', '', '', '', '', 0)");
        }
        foundation::LogCapture cap;
        store::ClinicState state;
        connectClinic(state);
        CHECK(cap.lines() == std::vector<std::string>{"Added Tables"});
        ClinicDbProbe probe(path);
        CHECK(tablesIn(probe) == kTables);
        CHECK(probe.count("medicalMst") == 0);
        CHECK(probe.count("letterMst") == 0);
        CHECK(probe.count("patientMst") == 1); // not seeded again
        CHECK(probe.count("inquiryMst") == 0);
    }
}

TEST_CASE("table batches and seed rows under failure", "[ClinicDatabase]") {
    testsupport::TempHome home;
    const std::string path = store::ClinicDatabase::databasePath();
    store::ClinicState state;

    SECTION("a failing table statement rolls the whole batch back and seeds nothing") {
        {
            ClinicDbProbe probe(path);
            probe.exec(kTables[2].second); // patientSrv already there: its CREATE fails
        }
        state.db = SQDatabase::databaseWithPath(path);
        foundation::LogCapture cap;
        CHECK_FALSE(store::ClinicDatabase(state).createDBTable());
        CHECK(cap.contains("ERROR!! fail to insert sample data. now, rollback"));
        CHECK_FALSE(cap.contains("Created Tables"));
        CHECK_FALSE(cap.contains("IMAGE INSERT"));
        ClinicDbProbe probe(path);
        CHECK(tablesIn(probe) == std::vector<std::pair<std::string, std::string>>{kTables[2]});
    }

    SECTION("a failing seed row is logged and the others still go in") {
        {
            ClinicDbProbe probe(path);
            for (size_t i = 1; i < kTables.size(); ++i)
                probe.exec(kTables[i].second); // no zaruvedezMst
        }
        state.db = SQDatabase::databaseWithPath(path);
        REQUIRE(state.db->open());
        foundation::LogCapture cap;
        store::ClinicDatabase(state).insertDemoData();
        state.db->close();
        std::vector<std::string> seedLines;
        for (const auto& line : cap.lines())
            if (line.rfind("IMAGE INSERT", 0) == 0) seedLines.push_back(line);
        CHECK(seedLines == std::vector<std::string>{"IMAGE INSERT NG", "IMAGE INSERT OK", "IMAGE INSERT OK",
                                                    "IMAGE INSERT OK", "IMAGE INSERT OK"});
        ClinicDbProbe probe(path);
        CHECK(probe.count("patientMst") == 1);
        CHECK(probe.count("certifMst") == 1);
    }

    SECTION("a file that can't be created is logged and leaves a handle on the path") {
        const std::string documents = foundation::home::documents();
        std::filesystem::remove_all(documents);
        { std::ofstream(documents) << "not a folder"; }
        foundation::LogCapture cap;
        const auto failure = connectClinic(state);
        REQUIRE(failure);
        CHECK(failure->code == SQLITE_CANTOPEN);
        CHECK(failure->systemError == ENOTDIR);
        REQUIRE_FALSE(cap.lines().empty());
        CHECK(cap.lines().back() == "error in making file");
        CHECK_FALSE(cap.contains("Created Tables"));
        CHECK_FALSE(cap.contains("Added Tables"));
        REQUIRE(state.db);
        CHECK(state.db->databasePath() == path);
        CHECK_FALSE(state.db->open());
    }
}

TEST_CASE("a launch repairs a first launch whose tables never got in", "[ClinicDatabase]") {
    testsupport::TempHome home;
    const std::string path = store::ClinicDatabase::databasePath();
    const std::vector<std::string> firstLaunchLines = {
        "Created Tables",  "IMAGE INSERT OK", "IMAGE INSERT OK", "IMAGE INSERT OK",
        "IMAGE INSERT OK", "IMAGE INSERT OK", "Added Tables"};
    auto checkSeeded = [&] {
        ClinicDbProbe probe(path);
        checkSeedCounts(probe);
        CHECK(probe.value("SELECT pid FROM patientMst") == "999999");
        CHECK(probe.value("SELECT graph1 || graph2 || graph3 || graph4 || graph5 FROM inquiryMst") ==
              "43513");
    };

    SECTION("the disk was full during the whole first launch") {
        {
            storetest::FullDiskVfs disk;
            disk.setFull(true);
            foundation::LogCapture cap;
            store::ClinicState first;
            const auto failure = connectClinic(first);
            REQUIRE(disk.refusedWrites() > 0);
            REQUIRE(failure);
            CHECK(failure->code == SQLITE_FULL);
            CHECK(cap.count("ERROR!! fail to insert sample data. now, rollback") == 2);
            CHECK_FALSE(cap.contains("IMAGE INSERT"));
        }
        REQUIRE(std::filesystem::exists(path));
        {
            ClinicDbProbe probe(path);
            REQUIRE(tablesIn(probe).empty());
        }
        home.relaunch();
        foundation::LogCapture cap;
        store::ClinicState second;
        CHECK_FALSE(connectClinic(second));
        CHECK(cap.lines() == firstLaunchLines);
        ClinicDbProbe probe(path);
        CHECK(tablesIn(probe) == kTables);
        checkSeeded();
    }
    SECTION("only the first batch failed: the later tables are there, the first ones are not") {
        {
            ClinicDbProbe probe(path);
            probe.exec(kTables[6].second);
            probe.exec(kTables[7].second);
            probe.exec(
                "INSERT INTO medicalMst VALUES ('80000', 'Hospital', 'Oral surgery', 'Dr. A', '0', '0')");
        }
        foundation::LogCapture cap;
        store::ClinicState state;
        connectClinic(state);
        CHECK(cap.lines() == firstLaunchLines);
        ClinicDbProbe probe(path);
        const auto tables = tablesIn(probe);
        CHECK(std::set(tables.begin(), tables.end()) == std::set(kTables.begin(), kTables.end()));
        checkSeeded();
        CHECK(probe.count("medicalMst") == 1); // what the later tables hold stays
        CHECK(probe.count("letterMst") == 0);
    }
    SECTION("a file holding one of the first tables is not set up again") {
        {
            ClinicDbProbe probe(path);
            probe.exec(kTables[1].second); // patientMst
        }
        foundation::LogCapture cap;
        store::ClinicState state;
        connectClinic(state);
        CHECK(cap.lines() == std::vector<std::string>{"Added Tables"});
        ClinicDbProbe probe(path);
        CHECK(tablesIn(probe).size() == 3);
        CHECK(probe.count("patientMst") == 0);
    }
}

TEST_CASE("a database the launch cannot use is said, and left byte for byte", "[ClinicDatabase]") {
    testsupport::TempHome home;
    const std::string path = store::ClinicDatabase::databasePath();
    {
        store::ClinicState first;
        REQUIRE_FALSE(connectClinic(first));
    }
    storetest::FullDiskVfs disk;
    std::optional<storetest::DamagedDatabase> damage;
    std::optional<storetest::DamagedPages> damagedPages;
    int code = 0;
    std::string cause;

    SECTION("a damaged file: nothing is created in it, nor added to it") {
        damage.emplace(path);
        code = SQLITE_NOTADB;
    }
    SECTION("damaged pages behind a whole header and table list: found before any patient is opened") {
        damagedPages.emplace(path, 4, 6);
        {
            ClinicDbProbe probe(path);
            REQUIRE(probe.count("zaruvedezMst") == 1); // what the launch read before still reads
        }
        code = SQLITE_CORRUPT;
        cause = "btreeInitPage";
    }
    SECTION("a file that opens for reading only") {
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        disk.setReadOnlyFiles(true); // as the system opens it for a process the bits bind
        code = SQLITE_READONLY;
    }
    const std::string before = storetest::fileBytes(path);
    foundation::LogCapture cap;
    store::ClinicState state;
    const auto failure = connectClinic(state);
    REQUIRE(failure);
    CHECK(failure->code == code);
    CHECK(failure->message.find(cause) != std::string::npos);
    CHECK_FALSE(cap.contains("Created Tables"));
    CHECK(storetest::fileBytes(path) == before);
    CHECK_FALSE(std::filesystem::exists(path + "-journal"));
    REQUIRE(state.db);
    CHECK(state.db->databasePath() == path);
}

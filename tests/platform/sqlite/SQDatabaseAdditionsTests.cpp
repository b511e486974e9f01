// SQDatabase's further operations: one-value queries, schema questions, header fields, validation.
#include <catch2/catch.hpp>

#include <utility>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

using foundation::LogCapture;

namespace {

std::shared_ptr<SQDatabase> openWithPatients() {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(
        db->executeStatements("CREATE TABLE patients (pid TEXT, Name TEXT, age INTEGER, weight REAL, "
                              "photo BLOB, seen REAL);"
                              "INSERT INTO patients VALUES ('100001', 'Sato', 41, 61.5, x'0102', 86400);"));
    return db;
}

} // namespace

TEST_CASE("One-value queries read column 0 of the first row and leave no set open", "[SQDatabaseAdditions]") {
    auto db = openWithPatients();
    SECTION("each type, with bound values") {
        CHECK(db->stringForQuery("SELECT Name FROM patients WHERE pid = ?", "100001") == "Sato");
        CHECK(db->intForQuery("SELECT age FROM patients WHERE pid = ? AND age > ?", "100001", 40) == 41);
        CHECK(db->longForQuery("SELECT 4294967296 + age FROM patients") == 4294967337LL);
        CHECK(db->boolForQuery("SELECT age > 40 FROM patients"));
        CHECK(db->doubleForQuery("SELECT weight FROM patients") == 61.5);
        CHECK(db->dataForQuery("SELECT photo FROM patients") == foundation::Data{1, 2});
        auto seen = db->dateForQuery("SELECT seen FROM patients");
        REQUIRE(seen);
        CHECK(seen->secondsSince1970 == 86400);
        CHECK_FALSE(db->hasOpenResultSets());
    }
    SECTION("no row gives none, 0 or NO, and no set stays open") {
        CHECK_FALSE(db->stringForQuery("SELECT Name FROM patients WHERE pid = ?", "nobody"));
        CHECK(db->intForQuery("SELECT age FROM patients WHERE pid = ?", "nobody") == 0);
        CHECK_FALSE(db->boolForQuery("SELECT 1 FROM patients WHERE 0"));
        CHECK(db->doubleForQuery("SELECT weight FROM patients WHERE 0") == 0.0);
        CHECK_FALSE(db->dataForQuery("SELECT photo FROM patients WHERE 0"));
        CHECK_FALSE(db->dateForQuery("SELECT seen FROM patients WHERE 0"));
        CHECK_FALSE(db->hasOpenResultSets());
    }
    SECTION("a NULL value and a failing query") {
        REQUIRE(db->executeUpdate("INSERT INTO patients (pid) VALUES ('100002')"));
        CHECK_FALSE(db->stringForQuery("SELECT Name FROM patients WHERE pid = '100002'"));
        LogCapture log;
        CHECK(db->intForQuery("SELECT nothing FROM nowhere") == 0);
        CHECK(log.contains("DB Query: SELECT nothing FROM nowhere"));
        CHECK_FALSE(db->hasOpenResultSets());
    }
    SECTION("a later statement may run at once: the handle is free again") {
        CHECK(db->intForQuery("SELECT COUNT(*) FROM patients") == 1);
        CHECK(db->executeUpdate("DELETE FROM patients"));
        CHECK(db->intForQuery("SELECT COUNT(*) FROM patients") == 0);
    }
}

TEST_CASE("tableExists and columnExists ignore case; the two columnExists forms differ in order",
          "[SQDatabaseAdditions]") {
    auto db = openWithPatients();
    REQUIRE(db->executeUpdate("CREATE VIEW patientNames AS SELECT Name FROM patients"));
    CHECK(db->tableExists("patients"));
    CHECK(db->tableExists("PATIENTS"));
    CHECK_FALSE(db->tableExists("patient"));
    CHECK_FALSE(db->tableExists("patientNames")); // a view is no table

    CHECK(db->columnExistsInTableWithName("name", "Patients"));
    CHECK(db->columnExistsInTableWithName("AGE", "patients"));
    CHECK_FALSE(db->columnExistsInTableWithName("height", "patients"));
    CHECK(db->columnExistsColumnName("PATIENTS", "name"));
    // Arguments the other way round ask about a table called "name".
    CHECK_FALSE(db->columnExistsColumnName("name", "patients"));
    CHECK_FALSE(db->columnExistsInTableWithName("patients", "name"));
    CHECK_FALSE(db->hasOpenResultSets());
}

TEST_CASE("A table name reaches pragma table_info as one quoted literal", "[SQDatabaseAdditions]") {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeStatements("CREATE TABLE \"doctor's notes\" (entry TEXT); CREATE TABLE keep (k);"));
    SECTION("a name holding a quote works") {
        auto rs = db->getTableSchema("doctor's notes");
        REQUIRE(rs);
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == "entry");
        rs->close();
        CHECK(db->columnExistsColumnName("Doctor's Notes", "ENTRY"));
    }
    SECTION("a name cannot end the literal and add SQL") {
        LogCapture log;
        auto rs = db->getTableSchema("keep') UNION SELECT 1,2,3,4,5,6 --");
        REQUIRE(rs); // a valid pragma about a table of that odd name, which does not exist
        CHECK_FALSE(rs->next());
        CHECK_FALSE(db->columnExistsInTableWithName("k", "x'); DROP TABLE keep; --"));
        CHECK(db->tableExists("keep"));
        CHECK(log.lines().empty());
    }
}

TEST_CASE("getSchema lists tables, indexes and views of both schemas in its order", "[SQDatabaseAdditions]") {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeStatements("CREATE TABLE b (x); CREATE TABLE a (y); CREATE INDEX a_y ON a (y);"
                                  "CREATE TEMP TABLE c (z); CREATE VIEW v AS SELECT x FROM b;"
                                  "CREATE TABLE d (id INTEGER PRIMARY KEY AUTOINCREMENT);"));
    auto rs = db->getSchema();
    REQUIRE(rs);
    std::vector<std::pair<std::string, std::string>> rows;
    while (rs->next())
        rows.emplace_back(*rs->stringForColumn("type"), *rs->stringForColumn("name"));
    // sqlite_sequence, made for the AUTOINCREMENT table, is SQLite's own and not listed.
    CHECK(
        rows ==
        std::vector<std::pair<std::string, std::string>>{
            {"table", "a"}, {"index", "a_y"}, {"table", "b"}, {"table", "c"}, {"table", "d"}, {"view", "v"}});
}

TEST_CASE("user_version and application_id keep all 32 bits", "[SQDatabaseAdditions]") {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    CHECK(db->userVersion() == 0);
    CHECK(db->applicationID() == 0);
    db->setUserVersion(4294967295u);
    CHECK(db->userVersion() == 4294967295u);
    db->setUserVersion(7);
    CHECK(db->userVersion() == 7);
    db->setApplicationID(0x8A5F0001u);
    CHECK(db->applicationID() == 0x8A5F0001u);
    CHECK(db->userVersion() == 7);
    CHECK_FALSE(db->hasOpenResultSets());
}

TEST_CASE("validateSQL prepares only, and reports SQLite's error in the Cocoa domain",
          "[SQDatabaseAdditions]") {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeUpdate("CREATE TABLE t (a)"));
    foundation::ErrorPtr error;
    CHECK_FALSE(db->validateSQL("SELECT * FROM missing", &error));
    REQUIRE(error);
    CHECK(error->domain() == "NSCocoaErrorDomain");
    CHECK(error->code() == SQLITE_ERROR);
    CHECK(error->localizedDescription() == "no such table: missing");

    error.reset();
    CHECK(db->validateSQL("INSERT INTO t VALUES (1)", &error));
    CHECK_FALSE(error);
    CHECK(db->intForQuery("SELECT COUNT(*) FROM t") == 0); // validated, never run
    CHECK_FALSE(db->validateSQL("SELEC 1"));               // no error slot: just the answer

    db->close();
    CHECK_FALSE(db->validateSQL("SELECT 1"));
}

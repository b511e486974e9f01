#include "app/store/ClinicDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <iterator>
#include <vector>

#include "app/store/DemoData.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

namespace {

const char* const kCreateStatements[] = {
    "PRAGMA foreign_keys=true",
    "CREATE TABLE zaruvedezMst ( cid text, name text, kana text, state text, loginid text, password text, "
    "authority text, PRIMARY KEY(cid, loginid))",
    "CREATE TABLE patientMst ( cid text, pid text, name text, kana text, postal text, state text, address1 "
    "text, "
    "address2 text, tel1 text, tel2 text, biz text, startdate text, consultation integer, PRIMARY KEY(cid, "
    "pid))",
    "CREATE TABLE patientSrv ( cid text, pid text, sex text, birthday text)",
    "CREATE TABLE photoMst ( cid text, pid text, name text, category text, photo_no text, photo_date text, "
    "photo_data text, photo_num text)",
    "CREATE TABLE inquiryMst ( pid text, result text, graph1 integer, graph2 integer, graph3 integer, graph4 "
    "integer, graph5 integer, inputdate text)",
    "CREATE TABLE certifMst ( pid text, result text, photos text, createdate text, printno text)",
};

const char* const kAddStatements[] = {
    "PRAGMA foreign_keys=true",
    "CREATE TABLE IF NOT EXISTS medicalMst ( cid text, cname text, departments text, doctor text, res1 text, "
    "res2 text, PRIMARY KEY(cid))",
    "CREATE TABLE IF NOT EXISTS letterMst ( pid text, result text, photos text, createdate text, printno "
    "text, "
    "res1 text, res2 text)",
};

// The tables of the first batch, as kCreateStatements names them.
const char* const kFirstTables[] = {"zaruvedezMst", "patientMst", "patientSrv",
                                    "photoMst",     "inquiryMst", "certifMst"};

const char* const kCountFirstTables =
    "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE IN (?, ?, ?, ?, ?, ?)";

// Creates an empty file, never truncating one that appeared meanwhile.
bool createEmptyFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

std::string ClinicDatabase::databasePath() {
    return foundation::home::documents() + "/zaruvedezManage.db";
}

std::optional<DatabaseFailure> ClinicDatabase::connectDB() {
    const std::string path = databasePath();
    failure_.reset();
    if (!foundation::fileExists(path)) {
        state_.db = SQDatabase::databaseWithPath(path);
        const bool made = createEmptyFile(path);
        createDBTable();
        if (!made) {
            foundation::log("error in making file");
            return failure_;
        }
    } else {
        state_.db = SQDatabase::databaseWithPath(path);
        const auto empty = holdsNoFirstTable();
        // A file that cannot be read is not known to be empty, nor whole enough to add tables to.
        if (!empty || !passesQuickCheck()) return failure_;
        // A first launch whose table batch failed (a full disk, say) left the file without its tables;
        // only running that launch's steps again gets the clinic going.
        if (*empty) createDBTable();
    }
    state_.db = SQDatabase::databaseWithPath(path);
    addDBTable();
    if (!failure_) checkWritable();
    return failure_;
}

std::optional<bool> ClinicDatabase::holdsNoFirstTable() {
    SQDatabase& db = *state_.db;
    if (!db.open()) {
        noteFailure(db);
        return std::nullopt;
    }
    const std::vector<SQValue> names(std::begin(kFirstTables), std::end(kFirstTables));
    auto rs = db.executeQueryWithArgumentsInArray(kCountFirstTables, names);
    std::optional<bool> none;
    if (rs && rs->next())
        none = rs->intForColumnIndex(0) == 0;
    else
        noteFailure(db);
    if (rs) rs->close();
    db.close();
    return none;
}

bool ClinicDatabase::passesQuickCheck() {
    SQDatabase& db = *state_.db;
    if (!db.open()) {
        noteFailure(db);
        return false;
    }
    // One answer, "ok", for a whole file; else a line per fault found, of which the first is kept.
    std::optional<std::string> answer;
    if (auto rs = db.executeQuery("PRAGMA quick_check"); rs && rs->next()) {
        answer = rs->stringForColumnIndex(0).value_or("");
        rs->close();
    }
    if (!answer)
        noteFailure(db);
    else if (*answer != "ok" && !failure_)
        failure_ = DatabaseFailure{SQLITE_CORRUPT, 0, *answer};
    db.close();
    return answer == "ok";
}

void ClinicDatabase::checkWritable() {
    SQDatabase& db = *state_.db;
    if (!db.open()) {
        noteFailure(db);
        return;
    }
    if (sqlite3_db_readonly(db.sqliteHandle(), "main") == 1)
        failure_ = DatabaseFailure{SQLITE_READONLY, 0, "the database file opens for reading only"};
    db.close();
}

void ClinicDatabase::noteFailure(const SQDatabase& db) {
    if (!failure_) failure_ = DatabaseFailure::of(db);
}

bool ClinicDatabase::createDBTable() {
    return runBatch(kCreateStatements, std::size(kCreateStatements), "Created Tables", true);
}

bool ClinicDatabase::addDBTable() {
    return runBatch(kAddStatements, std::size(kAddStatements), "Added Tables", false);
}

bool ClinicDatabase::runBatch(const char* const* statements, size_t count, const char* doneLine, bool seed) {
    SQDatabase& db = *state_.db;
    // A batch that could not start its transaction must not run its statements one by one.
    bool ok = db.open() && db.beginTransaction();
    for (size_t i = 0; ok && i < count; ++i)
        ok = db.executeUpdate(statements[i]);
    if (!ok) {
        noteFailure(db);
        foundation::log("ERROR!! fail to insert sample data. now, rollback");
        if (db.inTransaction()) db.rollback();
        db.close();
        return false;
    }
    foundation::log(doneLine);
    const bool committed = db.commit();
    if (!committed) {
        noteFailure(db);
        db.rollback();
    } else if (seed) {
        insertDemoData();
    }
    db.close();
    return committed;
}

void ClinicDatabase::insertDemoData() {
    SQDatabase& db = *state_.db;
    for (const DemoDataRow& row : demoDataRows()) {
        if (db.executeUpdateWithArgumentsInArray(row.sql, row.arguments))
            foundation::log("IMAGE INSERT OK");
        else
            foundation::log("IMAGE INSERT NG");
    }
}

} // namespace store

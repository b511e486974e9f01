#include "app/store/FormRecords.h"

#include <optional>

#include "app/store/DatabaseFile.h"
#include "app/store/FormJson.h"
#include "app/store/InquiryResult.h"
#include "app/store/RowQueries.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

namespace {

const char* const kPatientColumns[] = {"cid",   "pid",       "name",         "kana", "postal",
                                       "state", "address1",  "address2",     "tel1", "tel2",
                                       "biz",   "startdate", "consultation", "sex",  "birthday"};

// A column's text; NULL, and the "(null)" older builds wrote for a missing value, read as none.
std::optional<std::string> storedText(SQResultSet& rs, const char* column) {
    auto text = rs.stringForColumn(column);
    if (!text || *text == "(null)") return std::nullopt;
    return text;
}

// Reads the row's form; false when its stored text is damaged (the form then holds only the row's
// print number).
bool readFormRow(SQResultSet& rs, FormData& form) {
    const std::string text = rs.stringForColumn("result").value_or("");
    form = formDataFromJSON(text);
    if (auto printno = rs.stringForColumn("printno")) form["printno"] = *printno;
    return isReadableForm(text);
}

void logUnreadable(const char* table, const std::string& pid) {
    foundation::log("setPatientInfoData: the stored %@ of %@ cannot be read", std::string(table), pid);
}

// One patient load. Its reads share one result set, so the set of a read that failed stays open until
// the failure has been taken from the handle and logged, and what they read is published only once
// all of them succeeded.
struct PatientLoad {
    PatientLoad(SQDatabase& database, const std::string& patientID) : db(database), pid(patientID) {}
    SQDatabase& db;
    const std::string& pid;
    std::shared_ptr<SQResultSet> rs;
    FormData info, inquiry, certificate, letter, medical;
    UnreadableForms unreadable;
};

// Why no load can start: no handle, or a file that is gone.
std::optional<DatabaseFailure> cannotLoad(const ClinicState& state) {
    if (!state.db) return DatabaseFailure{SQLITE_MISUSE, 0, "no database handle"};
    return missingDatabase(*state.db, "setPatientInfoData");
}

PatientRead failedRead(PatientLoad& load) {
    DatabaseFailure why = DatabaseFailure::of(load.db);
    foundation::log("setPatientInfoData: %d %@", why.code, why.message);
    load.db.close();
    return PatientRead::failed(std::move(why));
}

Row readPatientColumns(PatientLoad& load) {
    const Row row = firstRow(
        load.db, load.rs,
        "SELECT t1.cid AS cid, t1.pid AS pid, t1.name AS name, t1.kana AS kana, t1.postal AS postal, "
        "t1.state AS state, t1.address1 AS address1, t1.address2 AS address2, t1.tel1 AS tel1, "
        "t1.tel2 AS tel2, t1.biz AS biz, t1.startdate AS startdate, t1.consultation AS "
        "consultation, t2.sex AS sex, t2.birthday AS birthday FROM patientMst t1 LEFT JOIN "
        "patientSrv t2 ON t1.cid = t2.cid AND t1.pid = t2.pid WHERE t1.pid = ?;",
        load.pid);
    if (row != Row::Found) return row;
    // A patient without its sex/birthday row shows those fields empty.
    for (const char* column : kPatientColumns)
        load.info[column] = load.rs->stringForColumn(column).value_or("");
    load.rs->close();
    return row;
}

// The stored questionnaire, added to a copy of what `inputItems` holds as the load begins: the start
// screens empty it before their loads, and the receive screen loads the patient its start screen has
// just loaded. Without a stored questionnaire the patient's questionnaire loads empty.
bool readInquiry(PatientLoad& load, const std::optional<FormData>& inputItems) {
    const Row row = firstRow(load.db, load.rs, "SELECT * FROM inquiryMst WHERE pid = ?", load.pid);
    if (row == Row::Failed) return false;
    if (row == Row::None) return true; // no questionnaire stored: the form loads empty
    FormData& inquiry = load.inquiry = inputItems.value_or(FormData{});
    SQResultSet& rs = *load.rs;
    const std::string text = rs.stringForColumn("result").value_or("");
    load.unreadable.inquiry = !isReadableForm(text);
    if (load.unreadable.inquiry) logUnreadable("inquiryMst", load.pid);
    mergeInquiryResult(parseStoredJSON(text), inquiry);
    for (const char* column : {"graph1", "graph2", "graph3", "graph4", "graph5", "inputdate"}) {
        if (auto text = storedText(rs, column))
            inquiry[column] = *text;
        else
            inquiry.erase(column);
    }
    rs.close();
    return true;
}

// The certificate's or the letter's row; the form stays empty without one.
bool readStoredForm(PatientLoad& load, const char* sql, const char* table, FormData& form, bool& unreadable) {
    const Row row = firstRow(load.db, load.rs, sql, load.pid);
    if (row == Row::Failed) return false;
    if (row == Row::Found) {
        unreadable = !readFormRow(*load.rs, form);
        if (unreadable) logUnreadable(table, load.pid);
        load.rs->close();
    }
    return true;
}

bool readStoredForms(PatientLoad& load) {
    return readStoredForm(load, "SELECT * FROM certifMst WHERE pid = ?", "certifMst", load.certificate,
                          load.unreadable.certificate) &&
           readStoredForm(load, "SELECT * FROM letterMst WHERE pid = ?", "letterMst", load.letter,
                          load.unreadable.letter);
}

// The letter's referral target, the same for every patient.
bool readReferralTarget(PatientLoad& load) {
    const Row row = firstRow(load.db, load.rs, "SELECT * FROM medicalMst WHERE cid = ?", kReferralTargetCid);
    if (row == Row::Failed) return false;
    if (row == Row::Found) {
        for (const char* column : {"cid", "cname", "departments", "doctor"})
            load.medical[column] = load.rs->stringForColumn(column).value_or("");
        load.rs->close();
    }
    return true;
}

// Everything read: only now do the forms change, so a failed read leaves them as they were (the
// patient's details were emptied as the load began).
void publish(ClinicState& state, PatientLoad& load) {
    *state.patientInfo = std::move(load.info);
    state.inputItems = std::move(load.inquiry);
    state.certifiDataList = std::move(load.certificate);
    state.letterDataList = std::move(load.letter);
    state.medicalList = std::move(load.medical);
    state.unreadableForms = load.unreadable;
}

} // namespace

PatientRead FormRecords::setPatientInfoData() {
    state_.patientInfo.emplace();
    if (!state_.patientID) return PatientRead::absent();
    if (auto missing = cannotLoad(state_)) return PatientRead::failed(std::move(*missing));
    PatientLoad load(*state_.db, *state_.patientID);
    if (!openExisting(load.db)) return failedRead(load);
    const Row patient = readPatientColumns(load);
    if (patient == Row::Failed) return failedRead(load);
    if (patient == Row::None) {
        load.db.close();
        return PatientRead::absent();
    }
    if (!readInquiry(load, state_.inputItems) || !readStoredForms(load) || !readReferralTarget(load))
        return failedRead(load);
    load.db.close();
    publish(state_, load);
    return PatientRead::found();
}

bool FormRecords::registInquiry() {
    state_.lastSaveFailure.reset();
    if (!state_.patientID || !state_.db) return false;
    const FormData noAnswers;
    const FormData& inputItems = state_.inputItems ? *state_.inputItems : noAnswers;
    const auto result = inquiryResultJSON(inputItems);
    const std::string json = compactJSON(result);
    const InquiryScores s = inquiryScores(result);
    foundation::log("1:%d, 2:%d, 3:%d, 4:%d, 5:%d", s.graph1, s.graph2, s.graph3, s.graph4, s.graph5);

    std::optional<std::string> inputdate;
    if (auto it = inputItems.find("inputdate"); it != inputItems.end()) inputdate = it->second;
    const std::string& pid = *state_.patientID;
    SQDatabase& db = *state_.db;
    if (!opened(db, "registInquiry")) return false;
    bool ok = false;
    if (auto exists = hasRow(db, "SELECT COUNT(*) FROM inquiryMst WHERE pid = ?;", pid)) {
        ok = *exists
                 ? db.executeUpdate("UPDATE inquiryMst SET result = ?, graph1 = ?, graph2 = ?, graph3 = ?, "
                                    "graph4 = ?, graph5 = ?, inputdate = ? WHERE pid = ?;",
                                    json, s.graph1, s.graph2, s.graph3, s.graph4, s.graph5, inputdate, pid)
                 : db.executeUpdate("INSERT INTO inquiryMst VALUES (?, ?, ?, ?, ?, ?, ?, ?)", pid, json,
                                    s.graph1, s.graph2, s.graph3, s.graph4, s.graph5, inputdate);
    }
    if (!ok) return refused(db);
    db.close();
    return true;
}

namespace {

// The certificate and the letter are stored alike: result JSON, empty photos, today's date.
struct FormTable {
    const char* count;
    const char* insert;
    const char* update;
};

bool storeForm(SQDatabase& db, const FormTable& table, const std::string& pid, const FormData& form,
               const std::string& today) {
    const std::string json = formDataJSON(form);
    const auto exists = hasRow(db, table.count, pid);
    if (!exists) return false;
    return *exists ? db.executeUpdate(table.update, json, "", today, pid)
                   : db.executeUpdate(table.insert, pid, json, "", today);
}

std::optional<std::string> member(const FormData& form, const char* key) {
    auto it = form.find(key);
    return it == form.end() ? std::nullopt : std::optional<std::string>(it->second);
}

} // namespace

bool FormRecords::registCertificate() {
    state_.lastSaveFailure.reset();
    if (!state_.patientID || !state_.db) return false;
    static const FormTable table = {
        "SELECT COUNT(*) FROM certifMst WHERE pid = ?;", "INSERT INTO certifMst VALUES (?, ?, ?, ?, '0')",
        "UPDATE certifMst SET result = ?, photos = ?, createdate = ? WHERE pid = ?;"};
    SQDatabase& db = *state_.db;
    if (!opened(db, "registCertificate")) return false;
    if (!storeForm(db, table, *state_.patientID, state_.certifiDataList, state_.today())) return refused(db);
    db.close();
    return true;
}

bool FormRecords::registLetter() {
    state_.lastSaveFailure.reset();
    if (!state_.patientID || !state_.db) return false;
    static const FormTable table = {
        "SELECT COUNT(*) FROM letterMst WHERE pid = ?;",
        "INSERT INTO letterMst VALUES (?, ?, ?, ?, '0', '0', '0')",
        "UPDATE letterMst SET result = ?, photos = ?, createdate = ? WHERE pid = ?;"};
    SQDatabase& db = *state_.db;
    if (!opened(db, "registLetter")) return false;
    // The letter and its referral target are stored together or not at all.
    bool ok = db.beginTransaction() &&
              storeForm(db, table, *state_.patientID, state_.letterDataList, state_.today());
    const FormData& medical = state_.medicalList;
    const auto cid = member(medical, "cid");
    // Without a target ID there is no row to keep the target in.
    if (ok && cid) {
        const auto exists = hasRow(db, "SELECT COUNT(*) FROM medicalMst WHERE cid = ?;", *cid);
        const auto cname = member(medical, "cname"), departments = member(medical, "departments"),
                   doctor = member(medical, "doctor");
        ok = exists &&
             (*exists ? db.executeUpdate("UPDATE medicalMst SET cname = ?, departments = ?, doctor = ? "
                                         "WHERE cid = ?;",
                                         cname, departments, doctor, *cid)
                      : db.executeUpdate("INSERT INTO medicalMst VALUES (?, ?, ?, ?, '0', '0')", *cid, cname,
                                         departments, doctor));
    }
    if (!(ok && db.commit())) return refused(db);
    db.close();
    return true;
}

bool FormRecords::opened(SQDatabase& db, const char* who) {
    if (auto missing = missingDatabase(db, who)) {
        state_.lastSaveFailure = std::move(missing);
        return false;
    }
    return openExisting(db) || refused(db);
}

bool FormRecords::refused(SQDatabase& db) {
    state_.lastSaveFailure = DatabaseFailure::of(db);
    if (db.inTransaction()) db.rollback();
    db.close();
    return false;
}

} // namespace store

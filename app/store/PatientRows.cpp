#include "app/store/PatientRows.h"

#include "app/store/DatabaseFile.h"
#include "app/store/RowQueries.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

namespace {

bool writeRows(SQDatabase& db, const PatientEntry& e) {
    auto master = hasRow(db, "SELECT COUNT(*) FROM patientMst WHERE pid = ?;", e.pid);
    if (!master) return false;
    const bool wroteMaster =
        !*master
            ? db.executeUpdate("INSERT INTO patientMst VALUES ('10000', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)",
                               e.pid, e.name, e.kana, e.postal, e.state, e.address1, e.address2, e.tel1,
                               e.tel2, e.biz, e.startdate)
            : db.executeUpdate(
                  "UPDATE patientMst SET name = ?, kana = ?, postal = ?, state = ?, address1 = ?, "
                  "address2 = ?, tel1 = ?, tel2 = ?, biz = ?, startdate = ? WHERE pid = ?;",
                  e.name, e.kana, e.postal, e.state, e.address1, e.address2, e.tel1, e.tel2, e.biz,
                  e.startdate, e.pid);
    if (!wroteMaster) return false;

    auto service = hasRow(db, "SELECT COUNT(*) FROM patientSrv WHERE pid = ?;", e.pid);
    if (!service) return false;
    return !*service ? db.executeUpdate("INSERT INTO patientSrv VALUES ('10000', ?, ?, ?);", e.pid, e.sex,
                                        e.birthday)
                     : db.executeUpdate("UPDATE patientSrv SET sex = ?, birthday = ? WHERE pid = ?;", e.sex,
                                        e.birthday, e.pid);
}

} // namespace

bool registPatient(SQDatabase& db, const PatientEntry& entry, std::optional<DatabaseFailure>* failure) {
    if (auto missing = missingDatabase(db, "registPatient")) {
        if (failure) *failure = std::move(missing);
        return false;
    }
    if (!openExisting(db)) {
        foundation::log("registPatient: cannot open the database: %@", db.lastErrorMessage());
        if (failure) *failure = DatabaseFailure::of(db);
        return false;
    }
    bool ok = db.beginTransaction();
    if (ok) ok = writeRows(db, entry);
    if (ok) ok = db.commit();
    if (!ok) {
        foundation::log("registPatient: %d %@", db.lastErrorCode(), db.lastErrorMessage());
        if (failure) *failure = DatabaseFailure::of(db);
        if (db.inTransaction()) db.rollback();
    }
    db.close();
    return ok;
}

} // namespace store

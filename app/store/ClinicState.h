#pragma once
// The clinic's shared records, as every screen sees them through the application delegate.
//
// Why this split: the delegate (app/shell) owns one ClinicState and forwards its database and record
// operations one-to-one to the units here (ClinicDatabase: opening and seeding the file; FormRecords:
// the patient loader and the three savers; PatientPhotoInfo: the photo lists). The rows one screen
// alone writes are saved by their own units, which that screen calls (PatientRows: the registration;
// PhotoSlotRows: the album scan; PrintNumber: the certificate previews), so every statement on the
// clinic database is found here. Keeping them plain C++ over this struct lets them run and be tested
// without a window.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/store/DatabaseFailure.h"
#include "app/store/PhotoAlbumSource.h"

class SQDatabase;

namespace store {

// A form's data: the decimal text of a view tag → its text, date or mark.
using FormData = std::map<std::string, std::string>;

// The clinic ID of every patient row and of the seed account.
inline constexpr const char* kDefaultCid = "10000";
// The referral target the letter loads.
inline constexpr const char* kReferralTargetCid = "80000";

// "yyyy-MM-dd" of the local day, as the stored forms and photo rows date themselves.
std::string todayText();

// Which of the current patient's stored forms hold a text that cannot be read (damaged JSON): they
// load as empty forms, and registering one replaces what was stored.
struct UnreadableForms {
    bool inquiry = false;
    bool certificate = false;
    bool letter = false;
};

struct ClinicState {
    // The clinic database; each operation opens it, works and closes it.
    std::shared_ptr<SQDatabase> db;

    // Absent until a start screen (or the first patient load) sets them.
    std::optional<std::string> patientID;
    std::optional<FormData> inputItems;
    std::optional<FormData> patientInfo;

    // Empty from start-up on.
    FormData certifiDataList;
    FormData letterDataList;
    FormData medicalList; // "cid", "cname", "departments", "doctor"
    UnreadableForms unreadableForms;
    // Why the database refused the last save of a form; none after a save that stored, or that failed
    // for another reason (no current patient).
    std::optional<DatabaseFailure> lastSaveFailure;

    // Photo information, rebuilt by each photo-info load; keyed by photo kind.
    std::map<std::string, std::vector<PhotoAsset>> allAssetsList;
    std::map<std::string, FormData> allPhotoNoList; // kind → slot tag → local identifier
    std::map<std::string, PhotoAsset> assetLocalIDList;
    std::vector<PhotoAsset> allAssetsListForStep4;

    // The date formatter's "today"; tests fix the day through it.
    std::function<std::string()> today = todayText;
};

} // namespace store

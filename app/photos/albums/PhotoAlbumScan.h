#pragma once
// The album rules the photo screens share: the scan of the camera album and the patient's albums,
// the creation of missing patient albums, the move that files the pool and the slot photographs, and
// the photoMst row of one patient and kind. A screen owns one scan, built when it loads.
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/store/ClinicState.h"
#include "app/store/StoredRead.h"
#include "platform/photos/PhotoLibrary.h"

namespace photoalbums {

inline constexpr const char* kNormal = "normal";

std::string patientAlbumTitle(const std::string& patientID);
std::string patientKindAlbumTitle(const std::string& patientID, const std::string& kind);

class PhotoAlbumScan {
  public:
    PhotoAlbumScan(store::ClinicState& state, photos::PhotoLibraryPtr library, std::string patientID,
                   std::string kind, std::string cameraTitle);

    const std::string& patientID() const { return patientID_; }
    const std::string& photoKind() const { return kind_; }
    const std::string& cameraAlbumTitle() const { return cameraTitle_; }
    const std::string& patientAlbumTitle() const { return patientTitle_; }
    const std::string& patientKindAlbumTitle() const { return kindTitle_; }

    // The album scan; the receive screen then moves and writes (`moveAndWrite`), the selection screen
    // leaves both to its register.
    void getAssetsListFromLibrary(bool moveAndWrite);
    // Creates the patient albums the scan did not find, in one change; sets isAlbumCreateFlag when done.
    void createPatientAlbum();
    // Reads the stored slot map of the patient and kind into `slotMap` (left as it was without a row),
    // and keeps the outcome: a map that could not be read is not written back.
    store::StoredRead readStoredSlots(store::FormData& slotMap);
    // Reads it into selectedTagList.
    store::StoredRead getPhotoInfoFromDB() { return readStoredSlots(selectedTagList); }
    // The outcome of the last read; failed until a read succeeds once it failed.
    const store::StoredRead& slotsRead() const { return slotsRead_; }
    // Files the pool into the patient album and the slot photographs into the kind album, in one
    // change that refuses to run (moving nothing) when an album it would move photographs to is
    // missing. The completion gets the outcome on the library's queue, with the library's cause of a
    // failure in the staff's words (a clause ending in "ため、"; empty when it gave none).
    void moveAssets(std::function<void(bool success, const std::string& failureCause)> completion);
    // The selection screen's register: the same move with the busy flag up, settling first and, on
    // success, holding the flag a little longer per slot photograph; returns once the flag is down,
    // with whether the move was made (and why not, into `failureCause`).
    bool moveAssetsWhileBusy(std::string* failureCause = nullptr);
    // Writes the photoMst row (insert or update); false when nothing was written. Nothing is written
    // while the stored slot map could not be read: the row would lose the slots the staff registered.
    bool registPhotoRow();
    // Removes the row of the patient and kind.
    bool deleteDBData();

    // Seconds the main loop runs before the move starts, letting the library settle (0.8 s).
    static void setSettleSeconds(double seconds);
    static double settleSeconds();

    // ---- what the scan fills
    std::vector<photos::Asset> assetsList;     // the pool: camera album, then patient album
    std::vector<photos::Asset> assetsListType; // the kind album
    std::vector<std::string> rowsList;
    // local identifier → nothing (in the pool) or the asset (placed in a slot)
    std::map<std::string, std::optional<photos::Asset>> selectedAssetList;
    store::FormData selectedTagList;
    std::optional<photos::Album> targetAlbum;
    bool patientAlbumFlag = false, categoryAlbumFlag = false;
    bool inAssetsFlgCamera = false, inAssetsFlgPatient = false, inAssetsFlgType = false;
    bool isAlbumCreateFlag() const { return albumCreated_->load(); }

  private:
    std::vector<std::string> slotAssetIDs() const;

    store::ClinicState& state_;
    photos::PhotoLibraryPtr library_;
    store::StoredRead slotsRead_;
    std::string patientID_, kind_, cameraTitle_, patientTitle_, kindTitle_;
    // Shared with the creation's completion, which may finish after the scan is gone.
    std::shared_ptr<std::atomic<bool>> albumCreated_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace photoalbums

#include "app/photos/albums/PhotoAlbumScan.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/store/PhotoSlotRows.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/photos/ChangeFailure.h"
#include "platform/photos/LibraryWait.h"

namespace photoalbums {

namespace {
std::atomic<double> settle{0.8};

std::vector<std::string> idsOf(const std::vector<photos::Asset>& assets) {
    std::vector<std::string> out;
    for (const auto& a : assets)
        out.push_back(a.localIdentifier);
    return out;
}
} // namespace

std::string patientAlbumTitle(const std::string& pid) {
    return foundation::format("ID_%@", pid);
}

std::string patientKindAlbumTitle(const std::string& pid, const std::string& kind) {
    return foundation::format("ID_%@_%@", pid, kind);
}

void PhotoAlbumScan::setSettleSeconds(double seconds) {
    settle = seconds;
}
double PhotoAlbumScan::settleSeconds() {
    return settle;
}

PhotoAlbumScan::PhotoAlbumScan(store::ClinicState& state, photos::PhotoLibraryPtr library, std::string pid,
                               std::string kind, std::string cameraTitle)
    : state_(state), library_(std::move(library)), patientID_(std::move(pid)), kind_(std::move(kind)),
      cameraTitle_(std::move(cameraTitle)), patientTitle_(photoalbums::patientAlbumTitle(patientID_)),
      kindTitle_(photoalbums::patientKindAlbumTitle(patientID_, kind_)) {}

void PhotoAlbumScan::getAssetsListFromLibrary(bool moveAndWrite) {
    assetsList.clear();
    albumCreated_->store(false);
    for (const auto& album : library_->userAlbums()) {
        const auto assets = library_->assetsInAlbum(album);
        const std::string& title = album.localizedTitle;
        if (!cameraTitle_.empty() && title == cameraTitle_) {
            assetsList.insert(assetsList.end(), assets.begin(), assets.end());
            if (!assets.empty()) inAssetsFlgCamera = true;
        } else if (title == patientTitle_) {
            patientAlbumFlag = true;
            assetsList.insert(assetsList.end(), assets.begin(), assets.end());
            if (!assets.empty()) inAssetsFlgPatient = true;
            targetAlbum = album;
        } else if (title == kindTitle_) {
            categoryAlbumFlag = true;
            assetsListType.insert(assetsListType.end(), assets.begin(), assets.end());
            if (!assets.empty()) inAssetsFlgType = true;
        }
    }
    for (const auto& asset : assetsList) {
        selectedAssetList[asset.localIdentifier] = std::nullopt;
        rowsList.push_back(asset.localIdentifier);
    }

    createPatientAlbum();
    photos::runMainLoopUntil([flag = albumCreated_] { return flag->load(); }, 0.5);
    albumCreated_->store(false);

    if (!patientAlbumFlag)
        for (const auto& album : library_->userAlbums())
            if (album.localizedTitle == patientTitle_) targetAlbum = album;

    getPhotoInfoFromDB();
    if (!moveAndWrite) return;

    photos::runMainLoopFor(settleSeconds());
    moveAssets([](bool success, const std::string&) {
        foundation::log(success ? "Album move Success" : "Album move Error");
    });
    registPhotoRow();
}

void PhotoAlbumScan::createPatientAlbum() {
    const bool makePatient = !patientAlbumFlag, makeKind = !categoryAlbumFlag;
    const std::string patient = patientTitle_, kind = kindTitle_;
    library_->performChanges(
        [makePatient, makeKind, patient, kind](photos::ChangeRequest& change) {
            if (makePatient) change.createAlbum(patient);
            if (makeKind) change.createAlbum(kind);
        },
        [flag = albumCreated_](bool success, foundation::ErrorPtr error) {
            if (!success) foundation::log("Error creating Album: %@", error ? error->description() : "");
            flag->store(true);
        });
}

std::vector<std::string> PhotoAlbumScan::slotAssetIDs() const {
    std::vector<std::string> out;
    for (const auto& [id, asset] : selectedAssetList)
        if (asset) out.push_back(asset->localIdentifier);
    return out;
}

void PhotoAlbumScan::moveAssets(std::function<void(bool, const std::string&)> completion) {
    const std::vector<std::string> slotIDs = slotAssetIDs(), pool = idsOf(assetsList);
    const bool fromPatient = inAssetsFlgPatient, fromKind = inAssetsFlgType, fromCamera = inAssetsFlgCamera;
    const std::string camera = cameraTitle_, patient = patientTitle_, kind = kindTitle_;
    std::weak_ptr<photos::PhotoLibrary> weakLibrary = library_;
    library_->performChanges(
        [=](photos::ChangeRequest& change) {
            auto library = weakLibrary.lock();
            if (!library) return change.fail("The photo library is gone.");
            const auto albums = library->userAlbums();
            auto exists = [&albums](const std::string& title) {
                for (const auto& a : albums)
                    if (a.localizedTitle == title) return true;
                return false;
            };
            // Taking photographs out of one album is only safe when the album they go to is there.
            if (!pool.empty() && !exists(patient))
                return change.fail("No album " + patient + " to move into.");
            if (!slotIDs.empty() && !exists(kind)) return change.fail("No album " + kind + " to move into.");
            for (const auto& album : albums) {
                const std::string& title = album.localizedTitle;
                if (title == patient) {
                    if (fromPatient) change.removeAssets(album.localIdentifier, slotIDs);
                    change.addAssets(album.localIdentifier, pool);
                } else if (title == kind) {
                    if (fromKind) change.removeAssets(album.localIdentifier, pool);
                    change.addAssets(album.localIdentifier, slotIDs);
                } else if (!camera.empty() && title == camera && fromCamera) {
                    change.removeAssets(album.localIdentifier, pool);
                    change.removeAssets(album.localIdentifier, slotIDs);
                }
            }
        },
        [completion = std::move(completion)](bool success, foundation::ErrorPtr error) {
            if (!success) foundation::log("Album move failed: %@", error ? error->description() : "");
            if (completion) completion(success, photos::failureCauseOf(error));
        });
}

bool PhotoAlbumScan::moveAssetsWhileBusy(std::string* failureCause) {
    photos::photoLibraryBusyFlag() = 1;
    photos::runMainLoopFor(settleSeconds());
    const uint32_t n = uint32_t(slotAssetIDs().size());
    const uint32_t holdMs = std::min<uint32_t>(n * 100u + 88u, 3000u); // unsigned 32-bit, as counted
    // Published before the flag goes down, so the waiting thread reads the outcome of this move.
    auto moved = std::make_shared<std::atomic<bool>>(false);
    auto cause = std::make_shared<std::string>(); // written before the flag goes down, read after
    moveAssets([holdMs, moved, cause](bool success, const std::string& why) {
        if (success) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        *cause = why;
        moved->store(success);
        photos::photoLibraryBusyFlag() = 0;
    });
    photos::sleepWhileLibraryBusy(8888);
    if (failureCause) *failureCause = *cause;
    return moved->load();
}

store::StoredRead PhotoAlbumScan::readStoredSlots(store::FormData& slotMap) {
    slotsRead_ = store::readPhotoSlots(state_, patientID_, kind_, slotMap);
    return slotsRead_;
}

bool PhotoAlbumScan::registPhotoRow() {
    if (slotsRead_.isFailed()) {
        foundation::log(
            "registPhotoRow: the stored slots of %@ (%@) were not read; the row is left as it was",
            patientID_, kind_);
        return false;
    }
    return store::writePhotoSlotRow(state_, patientID_, kind_, rowsList, selectedTagList);
}

bool PhotoAlbumScan::deleteDBData() {
    return store::deletePhotoSlotRow(state_, patientID_, kind_);
}

} // namespace photoalbums

#include "app/store/PatientPhotoInfo.h"

#include "app/store/FormJson.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

namespace {
const char* const kAlbumKinds[] = {"normal", "velscope", "roentgen"};
}

void PatientPhotoInfo::getLetterPhotoInfo() {
    rebuild({"normal", "velscope", "roentgen", "noselect"});
}

void PatientPhotoInfo::getCertificatePhotoInfo() {
    rebuild({"normal", "velscope", "roentgen"});
}

void PatientPhotoInfo::rebuild(std::initializer_list<const char*> kinds) {
    state_.allAssetsList.clear();
    for (const char* kind : kinds)
        state_.allAssetsList[kind] = {};
    state_.allPhotoNoList.clear();
    state_.assetLocalIDList.clear();
    state_.allAssetsListForStep4.clear();
    getAssetsListFromLibrary();
    for (const char* kind : kinds)
        getPhotoInfoFromDB(kind);
}

void PatientPhotoInfo::getAssetsListFromLibrary() {
    if (!source_ || !state_.patientID) return;
    const std::string& pid = *state_.patientID;
    for (const PhotoAlbum& album : source_->userAlbums()) {
        std::string kind;
        for (const char* k : kAlbumKinds) {
            if (album.localizedTitle == foundation::format("ID_%@_%@", pid, k)) {
                kind = k;
                break;
            }
        }
        const bool patientAlbum = kind.empty() && album.localizedTitle == foundation::format("ID_%@", pid);
        if (kind.empty() && !patientAlbum) continue;
        if (patientAlbum) kind = "noselect";

        auto list = state_.allAssetsList.find(kind); // "noselect" exists only for the letter
        for (const PhotoAsset& asset : source_->assetsInAlbum(album)) {
            if (list != state_.allAssetsList.end()) list->second.push_back(asset);
            state_.assetLocalIDList[asset.localIdentifier] = asset;
            if (kind == "normal") state_.allAssetsListForStep4.push_back(asset);
        }
        if (patientAlbum) {
            foundation::log("getAssetsListFromLibrary: patient album %@", album.localizedTitle);
            if (onPatientAlbum) onPatientAlbum(album);
        }
    }
}

void PatientPhotoInfo::getPhotoInfoFromDB(const std::string& kind) {
    if (!state_.patientID || !state_.db) return;
    SQDatabase& db = *state_.db;
    if (!db.open()) return;
    if (auto rs = db.executeQuery("SELECT photo_num FROM photoMst WHERE pid = ? and category = ?;",
                                  *state_.patientID, kind)) {
        if (rs->next()) {
            state_.allPhotoNoList[kind] = formDataFromJSON(rs->stringForColumn("photo_num").value_or(""));
            rs->close();
        }
    }
    db.close();
}

} // namespace store

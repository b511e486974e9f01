#include "app/store/PatientPhotoInfo.h"

#include "app/store/PhotoSlotRows.h"
#include "platform/foundation/Log.h"

namespace store {

namespace {
const char* const kAlbumKinds[] = {"normal", "velscope", "roentgen"};
}

std::optional<DatabaseFailure> PatientPhotoInfo::getLetterPhotoInfo() {
    return rebuild({"normal", "velscope", "roentgen", "noselect"});
}

std::optional<DatabaseFailure> PatientPhotoInfo::getCertificatePhotoInfo() {
    return rebuild({"normal", "velscope", "roentgen"});
}

std::optional<DatabaseFailure> PatientPhotoInfo::rebuild(std::initializer_list<const char*> kinds) {
    state_.allAssetsList.clear();
    for (const char* kind : kinds)
        state_.allAssetsList[kind] = {};
    state_.assetLocalIDList.clear();
    state_.allAssetsListForStep4.clear();
    getAssetsListFromLibrary();
    if (!state_.patientID) {
        state_.allPhotoNoList.clear();
        return std::nullopt;
    }
    // Every kind is read before any map is replaced, so a read that fails leaves them all as they were.
    std::map<std::string, FormData> maps;
    for (const char* kind : kinds) {
        FormData slotMap;
        const StoredRead read = readPhotoSlots(state_, *state_.patientID, kind, slotMap);
        if (read.isFailed()) return read.failure;
        if (read) maps[kind] = std::move(slotMap);
    }
    state_.allPhotoNoList = std::move(maps);
    return std::nullopt;
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

StoredRead PatientPhotoInfo::getPhotoInfoFromDB(const std::string& kind) {
    if (!state_.patientID) return StoredRead::absent();
    FormData slotMap;
    const StoredRead read = readPhotoSlots(state_, *state_.patientID, kind, slotMap);
    if (read) state_.allPhotoNoList[kind] = std::move(slotMap);
    return read;
}

} // namespace store

#pragma once
// The current patient's photographs for the letter and certificate screens: the assets of the
// patient's albums, by photo kind, and the slot maps stored for each kind.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/store/ClinicState.h"
#include "app/store/PhotoAlbumSource.h"
#include "app/store/StoredRead.h"

namespace store {

class PatientPhotoInfo {
  public:
    // Without a source the patient simply has no albums.
    PatientPhotoInfo(ClinicState& state, std::shared_ptr<PhotoAlbumSource> source)
        : state_(state), source_(std::move(source)) {}

    // Told the patient's own album ("ID_<pid>") when the walk meets it: the image editor saves there.
    std::function<void(const PhotoAlbum&)> onPatientAlbum;

    // Rebuild all photo lists: kinds "normal", "velscope", "roentgen" and, for the letter, "noselect".
    // Why the registered photographs (the slot maps) could not be read, if they could not: the slot
    // maps then all stay as they were, and no page may show or print the patient's photographs as
    // though none were registered.
    std::optional<DatabaseFailure> getLetterPhotoInfo();
    std::optional<DatabaseFailure> getCertificatePhotoInfo();

    // Loads one kind's slot map from photoMst (left as it was when the patient has no row for it, or
    // when the read failed).
    StoredRead getPhotoInfoFromDB(const std::string& kind);
    // Walks the user albums and collects the assets of the patient's albums.
    void getAssetsListFromLibrary();

  private:
    std::optional<DatabaseFailure> rebuild(std::initializer_list<const char*> kinds);

    ClinicState& state_;
    std::shared_ptr<PhotoAlbumSource> source_;
};

} // namespace store

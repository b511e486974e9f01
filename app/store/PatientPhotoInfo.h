#pragma once
// The current patient's photographs for the letter and certificate screens: the assets of the
// patient's albums, by photo kind, and the slot maps stored for each kind.
#include <functional>
#include <memory>
#include <string>

#include "app/store/ClinicState.h"
#include "app/store/PhotoAlbumSource.h"

namespace store {

class PatientPhotoInfo {
  public:
    // Without a source the patient simply has no albums.
    PatientPhotoInfo(ClinicState& state, std::shared_ptr<PhotoAlbumSource> source)
        : state_(state), source_(std::move(source)) {}

    // Told the patient's own album ("ID_<pid>") when the walk meets it: the image editor saves there.
    std::function<void(const PhotoAlbum&)> onPatientAlbum;

    // Rebuild all photo lists: kinds "normal", "velscope", "roentgen" and, for the letter, "noselect".
    void getLetterPhotoInfo();
    void getCertificatePhotoInfo();

    // Loads one kind's slot map from photoMst (left as it was when the patient has no row for it).
    void getPhotoInfoFromDB(const std::string& kind);
    // Walks the user albums and collects the assets of the patient's albums.
    void getAssetsListFromLibrary();

  private:
    void rebuild(std::initializer_list<const char*> kinds);

    ClinicState& state_;
    std::shared_ptr<PhotoAlbumSource> source_;
};

} // namespace store

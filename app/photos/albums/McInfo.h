#pragma once
// The bundle resource "mcInfo.json": the peer service type and the camera album title, read afresh
// at every use. A missing file or key gives no value.
#include <optional>
#include <string>

namespace photoalbums {

std::optional<std::string> getServiceType();
std::optional<std::string> getPhotoFolderName();

// The camera album title the receive screens use: "Eye-Fi" until a screen stores the bundle's.
std::string cameraAlbumTitle();
void setPhotoFolderName(const std::optional<std::string>& title);

} // namespace photoalbums

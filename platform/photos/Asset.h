#pragma once
// What the photo library hands out: albums (user albums, identified to people by title) and assets
// (photographs), each named by a local identifier such as "UUID/L0/001".
#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

namespace photos {

enum class MediaType { Unknown = 0, Image = 1 };

struct Asset {
    std::string localIdentifier;
    MediaType mediaType = MediaType::Image;
    int pixelWidth = 0;
    int pixelHeight = 0;
    foundation::Date creationDate;
    std::string uniformTypeIdentifier; // "public.jpeg", "public.png", ...
    bool operator==(const Asset& o) const { return localIdentifier == o.localIdentifier; }
};

struct Album {
    std::string localIdentifier;
    std::string localizedTitle;
    foundation::Date creationDate;
    bool operator==(const Album& o) const { return localIdentifier == o.localIdentifier; }
};

enum class AuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3, Limited = 4 };
enum class AccessLevel { AddOnly = 1, ReadWrite = 2 };

// The error domain of failed changes, and its codes.
inline constexpr const char* kPhotoLibraryErrorDomain = "PhotoLibraryErrorDomain";
enum PhotoLibraryErrorCode : long {
    kErrorLibraryUnavailable = 1,
    kErrorAccessDenied = 2,
    kErrorInvalidImage = 3,
    kErrorUnknownObject = 4,
    kErrorFileWrite = 5,
    kErrorIndex = 6,
};

} // namespace photos

#include "platform/photos/ChangeRequest.h"

#include <QBuffer>
#include <cstdio>
#include <mutex>
#include <random>

namespace photos {

std::string makeLocalIdentifier(bool album) {
    static std::mutex m;
    static std::mt19937_64 rng{std::random_device{}()};
    uint64_t hi, lo;
    {
        std::lock_guard lock(m);
        hi = rng();
        lo = rng();
    }
    hi = (hi & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull; // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant 1
    char buf[64];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", unsigned(hi >> 32),
                  unsigned((hi >> 16) & 0xFFFF), unsigned(hi & 0xFFFF), unsigned(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return std::string(buf) + (album ? "/L0/040" : "/L0/001");
}

std::string ChangeRequest::createAlbum(const std::string& title) {
    NewAlbum a{makeLocalIdentifier(true), title};
    std::string id = a.localIdentifier;
    steps_.emplace_back(std::move(a));
    return id;
}

std::string ChangeRequest::createImageAsset(foundation::Data imageData) {
    NewAsset a{makeLocalIdentifier(false), std::move(imageData), std::nullopt};
    std::string id = a.localIdentifier;
    steps_.emplace_back(std::move(a));
    return id;
}

std::string ChangeRequest::createImageAsset(foundation::Data imageData, ImageInfo checked) {
    NewAsset a{makeLocalIdentifier(false), std::move(imageData), std::move(checked)};
    std::string id = a.localIdentifier;
    steps_.emplace_back(std::move(a));
    return id;
}

std::string ChangeRequest::createImageAsset(const QImage& image) {
    foundation::Data data;
    if (!image.isNull()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (image.save(&buffer, "JPEG", 100)) data.assign(bytes.begin(), bytes.end());
    }
    return createImageAsset(std::move(data)); // empty data fails as an unreadable image
}

void ChangeRequest::addAssets(const std::string& album, const std::vector<std::string>& assets) {
    steps_.emplace_back(Addition{album, assets});
}

void ChangeRequest::addAssetsToAlbumTitled(const std::string& title, const std::vector<std::string>& assets) {
    steps_.emplace_back(TitledAddition{title, assets});
}

void ChangeRequest::removeAssets(const std::string& album, const std::vector<std::string>& assets) {
    steps_.emplace_back(Removal{album, assets});
}

void ChangeRequest::fail(const std::string& description) {
    if (failure_.empty()) failure_ = description.empty() ? "The change was refused." : description;
}

} // namespace photos

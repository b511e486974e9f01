#include "platform/photos/ChangeRequest.h"

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
    NewAsset a{makeLocalIdentifier(false), std::move(imageData)};
    std::string id = a.localIdentifier;
    steps_.emplace_back(std::move(a));
    return id;
}

void ChangeRequest::addAssets(const std::string& album, const std::vector<std::string>& assets) {
    steps_.emplace_back(Addition{album, assets});
}

} // namespace photos

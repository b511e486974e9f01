#include "platform/photos/FoundPhotographs.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <tuple>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/photos/ChangeRequest.h"
#include "platform/photos/ImageCheck.h"

namespace photos {

namespace {

// An asset's identifier as the library made it, from the UUID its file is named after.
std::string identifierOf(const std::string& file) {
    return std::filesystem::path(file).stem().string() + "/L0/001";
}

struct Found {
    std::string file;
    timespec time{};
};

bool olderFirst(const Found& a, const Found& b) {
    return std::tie(a.time.tv_sec, a.time.tv_nsec, a.file) < std::tie(b.time.tv_sec, b.time.tv_nsec, b.file);
}

double secondsSince1970() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace

FoundPhotographs readFoundPhotographs(const std::string& root, const std::vector<std::string>& files) {
    FoundPhotographs out;
    std::vector<Found> found;
    for (const auto& file : files) {
        struct stat st {};
        if (::lstat((root + "/" + file).c_str(), &st) == 0)
            found.push_back({file, st.st_mtim});
        else
            out.refused.push_back(file);
    }
    std::sort(found.begin(), found.end(), olderFirst);
    for (const auto& [file, time] : found) {
        const std::string path = root + "/" + file;
        const auto data = foundation::readFile(path);
        // A whole decode: a photograph cut off by a write cut short is no photograph to show.
        const ImageCheck check = data ? checkImage(*data) : ImageCheck{std::nullopt, "it cannot be read"};
        if (!check) {
            foundation::log("The photo file %@ belongs to no photograph and is no whole picture (%@); it is "
                            "left as it is.",
                            path, check.refusal);
            out.refused.push_back(file);
            continue;
        }
        AssetRecord record;
        record.asset = Asset{identifierOf(file),
                             MediaType::Image,
                             check.info->width,
                             check.info->height,
                             foundation::Date{double(time.tv_sec) + double(time.tv_nsec) / 1e9},
                             check.info->uniformTypeIdentifier};
        record.file = file;
        record.byteSize = int64_t(data->size());
        out.records.push_back(std::move(record));
    }
    return out;
}

bool enterFoundPhotographs(PhotoIndex& index, const FoundPhotographs& found, const std::string& albumTitle) {
    if (found.records.empty()) return true;
    if (!index.begin()) return false;
    auto fail = [&index] {
        index.rollback();
        return false;
    };
    std::vector<std::string> entered;
    for (AssetRecord record : found.records) {
        // Two files of one UUID (of two formats) cannot share it: the second takes an identifier of its own.
        if (index.asset(record.asset.localIdentifier))
            record.asset.localIdentifier = makeLocalIdentifier(false);
        if (!index.insertAsset(record)) return fail();
        entered.push_back(record.asset.localIdentifier);
    }
    const auto albums = index.albums(albumTitle);
    std::string album = albums.empty() ? std::string() : albums.front().localIdentifier;
    if (album.empty()) {
        album = makeLocalIdentifier(true);
        if (!index.insertAlbum(Album{album, albumTitle, foundation::Date{secondsSince1970()}})) return fail();
    }
    for (const auto& id : entered)
        if (!index.addToAlbum(album, id)) return fail();
    return index.commit() || fail();
}

} // namespace photos

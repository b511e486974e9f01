#include "platform/photos/PhotoLibrary.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <set>
#include <system_error>
#include <unistd.h>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/photos/AssetFiles.h"
#include "platform/photos/ChangeFailure.h"
#include "platform/photos/FoundPhotographs.h"
#include "platform/photos/ImageCheck.h"
#include "platform/photos/PhotoIndex.h"

namespace photos {

namespace {

foundation::ErrorPtr describedError(long code, const std::string& description) {
    return foundation::Error::make(kPhotoLibraryErrorDomain, code,
                                   {{foundation::kLocalizedDescriptionKey, description}});
}

// The staff read the description (or the cause alone, the failure reason, where a screen says what was
// not done in its own words); the detail is for whoever reads the log.
foundation::ErrorPtr makeError(long code, const std::string& cause, bool savesPhotos,
                               const std::string& detail) {
    foundation::log("The photo library refused a change: %@", detail);
    return foundation::Error::make(
        kPhotoLibraryErrorDomain, code,
        {{foundation::kLocalizedDescriptionKey, changeFailureText(cause, savesPhotos)},
         {foundation::kLocalizedFailureReasonKey, cause}});
}

bool makesPhotos(const ChangeRequest& request) {
    for (const auto& step : request.steps())
        if (std::holds_alternative<ChangeRequest::NewAsset>(step)) return true;
    return false;
}

double now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Writes a new file that nobody has seen yet and makes it durable; never replaces an existing one.
// Returns 0, or the errno of the step that failed (kept apart from the clean-up's own).
int writeOnce(const std::string& path, const foundation::Data& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
    if (fd < 0) return errno;
    int failure = 0;
    if (!foundation::writeAll(fd, data.data(), data.size())) failure = errno;
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure != 0) {
        ::unlink(path.c_str());
        return failure;
    }
    (void)foundation::syncFolder(std::filesystem::path(path).parent_path().string());
    return 0;
}

std::mutex sharedMutex;
std::shared_ptr<PhotoLibrary> sharedLibrary;
std::string sharedFoundAlbum;

std::mutex writeFailureMutex;
std::function<int(const std::string&)> writeFailure;

int injectedWriteFailure(const std::string& path) {
    std::function<int(const std::string&)> failure;
    {
        std::lock_guard lock(writeFailureMutex);
        failure = writeFailure;
    }
    return failure ? failure(path) : 0;
}

} // namespace

PhotoLibrary::PhotoLibrary(std::string root, std::string foundPhotographsAlbum)
    : root_(std::move(root)), foundAlbum_(std::move(foundPhotographsAlbum)) {
    lifeline_->library = this;
    queue_ = foundation::SerialQueue::create("photos.library");
    if (!foundation::createDirectories(root_ + "/originals")) {
        openError_ = "cannot create the library folder " + root_;
        return;
    }
    index_ = PhotoIndex::open(root_ + "/Photos.sqlite", openError_);
    if (!index_) return;
    if (!index_->madeAnew().empty())
        foundation::log("The photo library %@ made its index anew: %@.", root_, index_->madeAnew());
    // On the queue, where every change of this library runs, so none is between its file and its
    // index commit; and the opener (the GUI thread, often) does not wait on the folder.
    queue_->async([lifeline = lifeline_] {
        std::lock_guard lock(lifeline->mutex);
        if (lifeline->library) lifeline->library->removeUnnamedFiles();
    });
}

void PhotoLibrary::removeUnnamedFiles() {
    std::optional<std::set<std::string>> named;
    std::optional<bool> namesEveryFile;
    {
        std::lock_guard lock(mutex_);
        named = index_->files();
        namesEveryFile = named ? index_->namesEveryFile() : std::nullopt;
        if (!namesEveryFile) {
            foundation::log(
                "The photo library %@ could not list its files (%@); no leftover file was removed.", root_,
                index_->lastError());
            return;
        }
    }
    if (*namesEveryFile) return removeUnnamedAssetFiles(root_, *named);
    // An index made after photographs were stored does not name them: they are no leftovers, at this
    // start or any later one. Only an index made before any photograph can name every one, or one that
    // has taken them all back.
    auto unnamed = unnamedAssetFiles(root_, *named);
    if (unnamed && !unnamed->empty() && !foundAlbum_.empty()) unnamed = takeBack(*unnamed);
    if (unnamed && unnamed->empty()) {
        std::lock_guard lock(mutex_);
        if (!index_->setNamesEveryFile())
            foundation::log("The photo library %@ could not note that its index names every photo file (%@).",
                            root_, index_->lastError());
        return;
    }
    foundation::log("The photo library %@ removed no photo file: its index was made anew after photographs "
                    "were stored, and %@ of them are named by no photograph.",
                    root_, unnamed ? std::to_string(unnamed->size()) : std::string("some"));
}

std::vector<std::string> PhotoLibrary::takeBack(const std::vector<std::string>& unnamed) {
    // Read and checked before the index is locked: readers on other threads do not wait on the files.
    const FoundPhotographs found = readFoundPhotographs(root_, unnamed);
    if (found.records.empty()) return found.refused;
    {
        std::lock_guard lock(mutex_);
        if (!enterFoundPhotographs(*index_, found, foundAlbum_)) {
            foundation::log(
                "The photo library %@ could not take back the photographs its index does not name "
                "(%@); their files are kept.",
                root_, index_->lastError());
            return unnamed;
        }
    }
    const size_t n = found.records.size();
    foundation::log(
        "The photo library %@ took back %@ that its index, made anew, did not name, oldest first, "
        "into the album %@.",
        root_, std::to_string(n) + (n == 1 ? " photograph" : " photographs"), foundAlbum_);
    return found.refused;
}

PhotoLibrary::~PhotoLibrary() {
    // Changes already queued are applied first, unless the library goes from its own queue (the last
    // owner let go in a completion): those still queued then find it gone.
    if (!queue_->isCurrent()) queue_->drain();
    std::lock_guard lock(lifeline_->mutex);
    lifeline_->library = nullptr;
}

void PhotoLibrary::setFileWriteFailureForTesting(std::function<int(const std::string& path)> failure) {
    std::lock_guard lock(writeFailureMutex);
    writeFailure = std::move(failure);
}

std::shared_ptr<PhotoLibrary> PhotoLibrary::shared() {
    const std::string root = foundation::home::photoLibrary();
    std::lock_guard lock(sharedMutex);
    if (!sharedLibrary || sharedLibrary->root() != root)
        sharedLibrary = std::make_shared<PhotoLibrary>(root, sharedFoundAlbum);
    return sharedLibrary;
}

void PhotoLibrary::setFoundPhotographsAlbum(std::string title) {
    std::lock_guard lock(sharedMutex);
    sharedFoundAlbum = std::move(title);
}

bool PhotoLibrary::isAvailable() const {
    std::lock_guard lock(mutex_);
    return index_ != nullptr;
}

std::vector<Album> PhotoLibrary::userAlbums() const {
    if (!accessGranted()) return {};
    std::lock_guard lock(mutex_);
    return index_ ? index_->albums() : std::vector<Album>{};
}

std::vector<Album> PhotoLibrary::albumsWithTitle(const std::string& title) const {
    if (!accessGranted()) return {};
    std::lock_guard lock(mutex_);
    return index_ ? index_->albums(title) : std::vector<Album>{};
}

std::optional<Album> PhotoLibrary::albumWithLocalIdentifier(const std::string& id) const {
    if (!accessGranted()) return std::nullopt;
    std::lock_guard lock(mutex_);
    return index_ ? index_->album(id) : std::nullopt;
}

std::vector<Asset> PhotoLibrary::assetsInAlbum(const Album& album) const {
    if (!accessGranted()) return {};
    std::lock_guard lock(mutex_);
    return index_ ? index_->assetsInAlbum(album.localIdentifier) : std::vector<Asset>{};
}

std::vector<Asset> PhotoLibrary::allAssets() const {
    std::vector<Asset> out;
    if (!accessGranted()) return out;
    std::lock_guard lock(mutex_);
    if (!index_) return out;
    for (auto& r : index_->allAssets())
        out.push_back(std::move(r.asset));
    return out;
}

std::vector<Asset> PhotoLibrary::assetsWithLocalIdentifiers(const std::vector<std::string>& ids) const {
    std::vector<Asset> out;
    if (!accessGranted()) return out;
    std::lock_guard lock(mutex_);
    if (!index_) return out;
    std::set<std::string> seen;
    for (const auto& id : ids)
        if (seen.insert(id).second)
            if (auto r = index_->asset(id)) out.push_back(r->asset);
    return out;
}

std::optional<foundation::Data> PhotoLibrary::imageData(const Asset& asset) const {
    if (!accessGranted()) return std::nullopt;
    std::string file;
    {
        std::lock_guard lock(mutex_);
        if (!index_) return std::nullopt;
        auto r = index_->asset(asset.localIdentifier);
        if (!r) return std::nullopt;
        file = r->file;
    }
    return foundation::readFile(root_ + "/" + file);
}

void PhotoLibrary::requestImageData(const Asset& asset,
                                    std::function<void(std::optional<foundation::Data>)> handler) const {
    auto data = imageData(asset);
    foundation::SerialQueue::main()->async([handler = std::move(handler), data = std::move(data)]() mutable {
        if (handler) handler(std::move(data));
    });
}

void PhotoLibrary::performChanges(ChangeBlock changes, Completion completion) {
    queue_->async([lifeline = lifeline_, changes = std::move(changes), completion = std::move(completion)] {
        ChangeRequest request;
        if (changes) changes(request); // the caller's code: under no lock of ours
        foundation::ErrorPtr error;
        {
            std::lock_guard lock(lifeline->mutex);
            error = lifeline->library
                        ? lifeline->library->apply(request)
                        : makeError(kErrorLibraryUnavailable, failureCause(FailureCause::LibraryClosed),
                                    makesPhotos(request), "the library was closed");
        }
        if (completion) completion(error == nullptr, error);
    });
}

foundation::ErrorPtr PhotoLibrary::performChangesAndWait(ChangeBlock changes) {
    if (queue_->isCurrent()) { // already on the library's queue: waiting for it would never end
        ChangeRequest request;
        if (changes) changes(request);
        return apply(request);
    }
    // Shared: the queue may still be inside set_value when this thread wakes and returns.
    auto result = std::make_shared<std::promise<foundation::ErrorPtr>>();
    auto future = result->get_future();
    performChanges(std::move(changes),
                   [result](bool, foundation::ErrorPtr error) { result->set_value(error); });
    return future.get();
}

foundation::ErrorPtr PhotoLibrary::writeAssetFile(const ChangeRequest::NewAsset& asset, AssetRecord& record,
                                                  std::vector<std::string>& written) {
    std::optional<ImageInfo> info = asset.checked;
    if (!info) {
        ImageCheck check = inspectImage(asset.data);
        if (!check)
            return makeError(kErrorInvalidImage, failureCause(FailureCause::NotAnImage), true,
                             "the image data cannot be read as an image: " + check.refusal);
        info = std::move(check.info);
    }
    const std::string uuid = asset.localIdentifier.substr(0, asset.localIdentifier.find('/'));
    const std::string relative = assetFilePath(uuid, info->extension);
    const std::string path = root_ + "/" + relative;
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
    int failure = made ? made.value() : injectedWriteFailure(path);
    if (failure == 0) failure = writeOnce(path, asset.data);
    if (failure != 0)
        return makeError(kErrorFileWrite, writeFailureCause(failure), true,
                         path + " could not be written: " + std::generic_category().message(failure));
    written.push_back(path);
    record.asset = Asset{asset.localIdentifier, MediaType::Image,        info->width,
                         info->height,          foundation::Date{now()}, info->uniformTypeIdentifier};
    record.file = relative;
    record.byteSize = int64_t(asset.data.size());
    return nullptr;
}

foundation::ErrorPtr PhotoLibrary::apply(const ChangeRequest& request) {
    const bool savesPhotos = makesPhotos(request);
    if (!accessGranted())
        return makeError(kErrorAccessDenied, failureCause(FailureCause::AccessDenied), savesPhotos,
                         "access to the photo library is not granted");
    if (!isAvailable())
        return makeError(kErrorLibraryUnavailable, failureCause(FailureCause::LibraryUnavailable),
                         savesPhotos, "the library is unavailable: " + openError_);
    if (!request.failure().empty()) return describedError(kErrorUnknownObject, request.failure());
    if (request.empty()) return nullptr;

    // Files first, outside the index lock; they stay unreferenced until the index commits.
    std::vector<std::string> written;
    std::map<std::string, AssetRecord> records;
    auto discard = [&written] {
        for (const auto& p : written)
            ::unlink(p.c_str());
    };
    for (const auto& step : request.steps())
        if (auto* a = std::get_if<ChangeRequest::NewAsset>(&step)) {
            AssetRecord record;
            if (auto error = writeAssetFile(*a, record, written)) {
                discard();
                return error;
            }
            records.emplace(a->localIdentifier, std::move(record));
        }

    std::lock_guard lock(mutex_);
    // Made before a rollback, which would replace what the index says of the failure.
    auto indexError = [&] {
        const int refusal = index_->lastSystemError();
        return makeError(kErrorIndex,
                         refusal ? writeFailureCause(refusal) : failureCause(FailureCause::Index),
                         savesPhotos, "the index refused the change: " + index_->lastError());
    };
    auto missing = [&](FailureCause cause, const std::string& what) {
        return makeError(kErrorUnknownObject, failureCause(cause), savesPhotos, "no " + what);
    };
    if (!index_->begin()) {
        auto error = indexError();
        discard();
        return error;
    }
    auto fail = [&](foundation::ErrorPtr error) {
        index_->rollback();
        discard();
        return error;
    };
    for (const auto& step : request.steps()) {
        if (auto* album = std::get_if<ChangeRequest::NewAlbum>(&step)) {
            if (!index_->insertAlbum(Album{album->localIdentifier, album->title, foundation::Date{now()}}))
                return fail(indexError());
        } else if (auto* asset = std::get_if<ChangeRequest::NewAsset>(&step)) {
            if (!index_->insertAsset(records.at(asset->localIdentifier))) return fail(indexError());
        } else if (auto* add = std::get_if<ChangeRequest::Addition>(&step)) {
            if (!index_->album(add->album))
                return fail(missing(FailureCause::NoAlbum, "album " + add->album));
            for (const auto& id : add->assets)
                if (!index_->addToAlbum(add->album, id))
                    return fail(missing(FailureCause::NoPhoto, "asset " + id));
        } else if (auto* titled = std::get_if<ChangeRequest::TitledAddition>(&step)) {
            auto found = index_->albums(titled->title);
            std::string album = found.empty() ? std::string() : found.front().localIdentifier;
            if (album.empty()) {
                album = makeLocalIdentifier(true);
                if (!index_->insertAlbum(Album{album, titled->title, foundation::Date{now()}}))
                    return fail(indexError());
            }
            for (const auto& id : titled->assets)
                if (!index_->addToAlbum(album, id))
                    return fail(missing(FailureCause::NoPhoto, "asset " + id));
        } else if (auto* removal = std::get_if<ChangeRequest::Removal>(&step)) {
            if (!index_->album(removal->album))
                return fail(missing(FailureCause::NoAlbum, "album " + removal->album));
            for (const auto& id : removal->assets)
                if (!index_->removeFromAlbum(removal->album, id)) return fail(indexError());
        }
    }
    if (!index_->commit()) return fail(indexError());
    return nullptr;
}

} // namespace photos

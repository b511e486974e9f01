// What a failed change tells the staff: its cause in Japanese, under the codes callers look at.
#include <QBuffer>
#include <QImage>
#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

#include "platform/photos/ChangeFailure.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

using namespace photos;
namespace fs = std::filesystem;

namespace {
foundation::Data png() {
    QImage img(8, 6, QImage::Format_RGB32);
    img.fill(Qt::green);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return foundation::Data(bytes.begin(), bytes.end());
}

std::string systemError(int error) {
    return "システムのエラー（" + std::generic_category().message(error) + "）のため、";
}

// Takes the write permission off folders, and gives it back (the home is removed afterwards).
class ReadOnly {
  public:
    explicit ReadOnly(std::vector<fs::path> folders) : folders_(std::move(folders)) {
        for (const auto& f : folders_)
            fs::permissions(f, kWrite, fs::perm_options::remove);
    }
    ~ReadOnly() {
        for (const auto& f : folders_)
            fs::permissions(f, fs::perms::owner_write, fs::perm_options::add);
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

  private:
    static constexpr fs::perms kWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    std::vector<fs::path> folders_;
};
} // namespace

TEST_CASE("a write the system refuses is said in Japanese with its cause", "[photos][failure]") {
    CHECK(changeFailureText(writeFailureCause(ENOSPC), true) ==
          "ディスクの空き容量が足りないため、写真を保存できませんでした。");
    CHECK(writeFailureCause(EDQUOT) == writeFailureCause(ENOSPC));
    CHECK(changeFailureText(writeFailureCause(EACCES), true) ==
          "書き込みの権限がないため、写真を保存できませんでした。");
    CHECK(writeFailureCause(EPERM) == writeFailureCause(EACCES));
    CHECK(changeFailureText(writeFailureCause(EROFS), false) ==
          "ディスクが読み取り専用のため、アルバムを変更できませんでした。");
    CHECK(writeFailureCause(EIO) == systemError(EIO));
}

TEST_CASE("a library that cannot be written fails its changes with the cause", "[photos][failure]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    const std::string root = home.path() + "/Refusing";
    PhotoLibrary library(root);
    std::string album, first;
    REQUIRE_FALSE(library.performChangesAndWait([&](ChangeRequest& c) {
        album = c.createAlbum("ID_1");
        first = c.createImageAsset(png());
        c.addAssets(album, {first});
    }));
    auto save = [&] {
        return library.performChangesAndWait(
            [&](ChangeRequest& c) { c.addAssets(album, {c.createImageAsset(png())}); });
    };
    auto inAlbum = [&] { return library.assetsInAlbum(*library.albumWithLocalIdentifier(album)).size(); };

    SECTION("folders the process may not write") {
        std::vector<fs::path> folders{root};
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_directory()) folders.push_back(e.path());
        ReadOnly readOnly(folders);
        if (::access(root.c_str(), W_OK) == 0) {
            WARN("permission bits do not bind this process (it runs as root): nothing to check");
            return;
        }
        auto error = save();
        REQUIRE(error);
        CHECK(error->domain() == kPhotoLibraryErrorDomain);
        CHECK(error->code() == kErrorFileWrite);
        CHECK(error->localizedDescription() == "書き込みの権限がないため、写真を保存できませんでした。");
        // Without a photograph to write, the index is the first to be refused.
        auto moved = library.performChangesAndWait([&](ChangeRequest& c) { c.removeAssets(album, {first}); });
        REQUIRE(moved);
        CHECK(moved->code() == kErrorIndex);
        CHECK(moved->localizedDescription() == "書き込みの権限がないため、アルバムを変更できませんでした。");
        CHECK(inAlbum() == 1);
    }
    SECTION("a file where the photographs' folder should be") {
        fs::rename(root + "/originals", root + "/originals.kept");
        std::ofstream(root + "/originals") << "not a folder";
        auto error = save();
        REQUIRE(error);
        CHECK(error->code() == kErrorFileWrite);
        CHECK(error->localizedDescription() == systemError(ENOTDIR) + "写真を保存できませんでした。");
        CHECK(failureCauseOf(error) == systemError(ENOTDIR)); // for a screen that words the rest itself
        CHECK(inAlbum() == 1);
    }
}

// The certificate's and the letter's pages show and print the patient's registered photographs: when
// those cannot be read, the start screen says why and opens neither the form nor its preview, and the
// one-page certificate, which reads them again as it comes back from the editor, says why and keeps
// what it had read.
#include <QPushButton>
#include <catch2/catch.hpp>
#include <iterator>
#include <optional>
#include <vector>

#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/letter/LetterViewTop.h"
#include "app/shell/PhotoLibraryAlbumSource.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/ui/AnimationClock.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/ErrorAlert.h"

namespace {

struct Opening {
    const char* name;
    const char* startScene;
    std::vector<const char*> buttons; // tapped in turn on the start screen; the last one opens
};

const Opening kOpenings[] = {
    {"three-page certificate",
     certificateViewTop::kSceneIdentifier,
     {"certificateStartButton", "threePageCertificateButton"}},
    {"one-page certificate",
     certificateViewTop::kSceneIdentifier,
     {"certificateStartButton", "onePageCertificateButton"}},
    {"three-page certificate's preview",
     certificateViewTop::kSceneIdentifier,
     {"printThreePageCertificateButton", "japaneseThreePageCertificatePrintButton"}},
    {"one-page certificate's preview",
     certificateViewTop::kSceneIdentifier,
     {"printCertificateButton", "japaneseCertificatePrintButton"}},
    {"letter", LetterViewTop::kSceneIdentifier, {"LetterStartButton"}},
    {"letter's preview", LetterViewTop::kSceneIdentifier, {"printLetterButton"}},
};

// The photo library's albums as the pages' lists walk them. Another program takes the clinic database
// as the first walk begins: after the patient gate has read the patient, before the registered
// photographs are read.
class LockingAlbumWalk : public store::PhotoAlbumSource {
  public:
    std::vector<store::PhotoAlbum> userAlbums() override {
        if (armed_) {
            armed_ = false;
            other_.emplace(store::ClinicDatabase::databasePath());
            other_->exec("BEGIN EXCLUSIVE");
        }
        return library_.userAlbums();
    }
    std::vector<store::PhotoAsset> assetsInAlbum(const store::PhotoAlbum& album) override {
        return library_.assetsInAlbum(album);
    }
    bool locked() const { return other_.has_value(); }
    // The other program closes the database, and with it its lock.
    void release() { other_.reset(); }

  private:
    shell::PhotoLibraryAlbumSource library_;
    bool armed_ = true;
    std::optional<storetest::ClinicDbProbe> other_;
};

} // namespace

TEST_CASE("registered photographs that cannot be read open neither the form nor its preview",
          "[documents][photos]") {
    const Opening& opening = GENERATE(from_range(std::begin(kOpenings), std::end(kOpenings)));
    INFO(opening.name);
    registtest::RegistApp app;
    app.probe().exec(R"(INSERT INTO photoMst VALUES ('10000', '999999', '札幌　太郎', 'normal', )"
                     R"('{"rowsList":[]}', '2001-01-01', '', '{"1":"N\/L0\/001"}'))");
    auto walk = std::make_shared<LockingAlbumWalk>();
    app.delegate().setPhotoAlbumSource(walk);
    app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once

    auto start = app.openFromStartScreen(opening.startScene, opening.buttons);
    REQUIRE(start);

    REQUIRE(walk->locked());
    CHECK(app.top() == start); // nothing opened, so nothing can be printed without them
    auto alert = app.alert();
    CHECK(testsupport::errorAlertMessage(alert) ==
          "登録済みの写真を読み込めませんでした。\n原因: 他のプログラムがデータベースを使用中です。");

    // Once the other program lets go, the same choice opens with the registered photographs.
    walk->release();
    REQUIRE(alert->tapAction("OK"));
    app.launched.settle(20);
    QTest::mouseClick(start->view()->findChild<QPushButton*>(opening.buttons.back()), Qt::LeftButton);
    app.launched.settle(50);
    ui::AnimationClock::shared().finishAnimations();
    CHECK_FALSE(app.alert());
    CHECK(app.top() != start);
    CHECK(app.delegate().allPhotoNoList().at("normal") == store::FormData{{"1", "N/L0/001"}});
    StaticVariableHelper::reset();
}

TEST_CASE("the one-page certificate says when the photographs cannot be read again as it comes back",
          "[documents][photos]") {
    registtest::RegistApp app;
    app.probe().exec(R"(INSERT INTO photoMst VALUES ('10000', '999999', '札幌　太郎', 'normal', )"
                     R"('{"rowsList":[]}', '2001-01-01', '', '{"1":"N\/L0\/001"}'))");
    auto start = app.openFromStartScreen(certificateViewTop::kSceneIdentifier,
                                         {"certificateStartButton", "onePageCertificateButton"});
    auto page = std::dynamic_pointer_cast<onePageCertificateView>(app.top());
    REQUIRE(page);
    const store::FormData registered{{"1", "N/L0/001"}};
    REQUIRE(app.delegate().allPhotoNoList().at("normal") == registered);

    // The page reads them again when a screen over it (the photo editor) goes, while another program
    // holds the database.
    app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once
    auto cover = std::make_shared<ui::ViewController>();
    page->present(cover, false);
    storetest::ClinicDbProbe other(store::ClinicDatabase::databasePath());
    other.exec("BEGIN EXCLUSIVE");
    cover->dismiss(false);
    app.launched.settle(20);
    CHECK(testsupport::errorAlertMessage(app.alert()) ==
          "登録済みの写真を読み込めませんでした。\n原因: 他のプログラムがデータベースを使用中です。");
    CHECK(app.delegate().allPhotoNoList().at("normal") == registered);
    other.exec("ROLLBACK");
    StaticVariableHelper::reset();
}

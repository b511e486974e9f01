// The photo selection screens driven through their widgets on a library holding four photographs in
// the camera album: the board, the register and what it stores, and the screen's faults mended.
#include <catch2/catch.hpp>

#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "app/photos/editing/PhotoEditorBase.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/shell/PatientGate.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/photos/editing/PhotoOpeningGate.h"
#include "tests/app/photos/select/SelectPhotoSupport.h"
#include "tests/support/ErrorAlert.h"
#include "tests/support/Pictures.h"

using selecttest::SelectApp;
using Ids = std::vector<std::string>;

namespace {
// Album order of the slot photographs carries no meaning.
Ids sorted(Ids ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}
} // namespace

TEST_CASE("the menu opens the screen of each kind only for a known patient", "[photos][select]") {
    SelectApp s;
    s.put("Eye-Fi", 1);
    auto menu = s.openMenu();
    REQUIRE(menu);
    CHECK(menu->title() == "画像設定");
    registtest::type(menu->patientIDBox(), "");
    QTest::mouseClick(menu->kindButton(1), Qt::LeftButton);
    REQUIRE(s.alert());
    CHECK(s.alert()->message() == "患者IDを入力してください");
    s.alert()->tapAction("OK");
    registtest::type(menu->patientIDBox(), "424242");
    QTest::mouseClick(menu->kindButton(2), Qt::LeftButton);
    REQUIRE(s.alert());
    CHECK(s.alert()->message() == "入力されたIDの患者情報はありません");
    s.alert()->tapAction("OK");
    CHECK(s.app.top() == menu);

    s.app.launched.navigation()->popToRootViewController(false);
    auto screen = s.open(2);
    REQUIRE(screen);
    CHECK(screen->photoType() == "velscope");
    CHECK(screen->title() == "VELscope撮影画像 - 札幌　太郎");
    CHECK(screen->navigationItem().rightBarButtonItem() == s.app.delegate().registButton());
    CHECK(screen->navigationItem().leftBarButtonItem() == s.app.delegate().cancelButton());
}

TEST_CASE("photographs are placed, replaced and taken out of the slots", "[photos][select]") {
    SelectApp s;
    const Ids camera = s.put("Eye-Fi", 4);
    REQUIRE(s.open(1));
    const Ids& c = camera;
    REQUIRE(s.pool() == c);
    CHECK(s.grid() == c);

    // No slot chosen: a tap on a thumbnail does nothing.
    s.tapThumbnail(2);
    CHECK(s.board().empty());
    CHECK(s.pool() == c);

    s.touchSlot(1);
    CHECK(s.screen->selectTagNo() == 1);
    CHECK(s.slot(1)->borderWidth() == 3.0);
    CHECK(s.slot(1)->borderColor() == QColor(Qt::red));
    CHECK_FALSE(s.screen->deselectBtn()->isEnabled());

    s.tapThumbnail(1);
    CHECK(s.board() == store::FormData{{"1", c[1]}});
    CHECK(s.pool() == Ids{c[0], c[2], c[3]});
    CHECK(s.grid() == s.pool());
    CHECK(s.slot(1)->hasImage());
    CHECK(s.screen->deselectBtn()->isEnabled());
    CHECK(s.screen->selectTagNo() == 1); // stays chosen

    SECTION("replacing: the previous photograph goes back before the tapped one, which moved by one") {
        s.tapThumbnail(2); // c[3]; c[1] returns to index 1, so the tapped row is now 3
        CHECK(s.board() == store::FormData{{"1", c[3]}});
        CHECK(s.pool() == Ids{c[0], c[1], c[2]});
        CHECK(s.grid() == s.pool());

        // c[3] is not among the first three rows scanned: it goes to the end, the tapped row stays.
        s.tapThumbnail(0);
        CHECK(s.board() == store::FormData{{"1", c[0]}});
        CHECK(s.pool() == Ids{c[1], c[2], c[3]});
        CHECK(s.grid() == s.pool());
    }
    SECTION("taking out, then a second touch un-chooses the slot") {
        s.touchSlot(2);
        CHECK(s.slot(1)->borderWidth() == 0);
        s.tapThumbnail(0);
        CHECK(s.board() == store::FormData{{"1", c[1]}, {"2", c[0]}});
        s.touchSlot(1);
        CHECK(s.screen->deselectBtn()->isEnabled());
        QTest::mouseClick(s.screen->deselectBtn(), Qt::LeftButton);
        CHECK(s.board() == store::FormData{{"2", c[0]}});
        // Its row among the first two scanned (c[0], c[1]) is 1.
        CHECK(s.pool() == Ids{c[2], c[1], c[3]});
        CHECK(s.grid() == s.pool());
        CHECK_FALSE(s.slot(1)->hasImage());
        CHECK_FALSE(s.screen->deselectBtn()->isEnabled());
        CHECK(s.screen->selectTagNo() == 1);
        s.touchSlot(1);
        CHECK(s.screen->selectTagNo() == 0);
        s.tapThumbnail(0);
        CHECK(s.board().size() == 1);
    }
}

TEST_CASE("twenty photographs fill two columns beside the grid's scroll bar", "[photos][select]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 20, 64, 48);
    REQUIRE(s.open(1));
    ui::CollectionView* grid = s.screen->collectionView();
    REQUIRE(grid->numberOfItems() == 20);
    REQUIRE(grid->verticalScrollBar()->isVisible());
    for (int row = 0; row < 10; ++row) {
        INFO("row " << row);
        const QRect left = grid->rectForItem(2 * row), right = grid->rectForItem(2 * row + 1);
        CHECK(left.top() == right.top());
        CHECK(right.left() > left.right());
        CHECK(right.right() < grid->viewport()->width());
    }
    // A tap on the right-hand column places that photograph.
    s.touchSlot(1);
    s.tapThumbnail(1);
    CHECK(s.board() == store::FormData{{"1", c[1]}});
}

TEST_CASE("register files the photographs, stores the slot map and reopens to the same board",
          "[photos][select]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 4);
    REQUIRE(s.open(1));
    s.touchSlot(3);
    s.tapThumbnail(2);
    s.touchSlot(7);
    s.tapThumbnail(0);

    std::vector<std::string> hud;
    auto token = foundation::NotificationCenter::defaultCenter()->addObserver(
        ZVProgressHUDWillAppearNotification, nullptr, nullptr, [&](const foundation::Notification& n) {
            auto status = n.userInfo.find(ZVProgressHUDStatusUserInfoKey);
            hud.push_back(status == n.userInfo.end() ? "" : status->second.stringValue());
        });
    auto alert = s.registerBoard();
    CHECK(hud == std::vector<std::string>{"登録中"});
    for (int i = 0; i < 100 && ZVProgressHUD::isVisible(); ++i) // it fades out
        QTest::qWait(10);
    CHECK_FALSE(ZVProgressHUD::isVisible());
    REQUIRE(alert);
    CHECK(alert->title() == "メッセージ");
    CHECK(alert->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"3", c[2]}, {"7", c[0]}});
    CHECK(s.ids("ID_999999") == Ids{c[1], c[3]});
    CHECK(sorted(s.ids("ID_999999_normal")) == sorted({c[2], c[0]}));
    CHECK(s.ids("Eye-Fi").empty());
    alert->tapAction("OK");
    s.app.launched.settle(30);
    CHECK(std::dynamic_pointer_cast<selectPhotosViewTop>(s.app.top()));
    s.close();

    REQUIRE(s.open(1));
    CHECK(s.board() == store::FormData{{"3", c[2]}, {"7", c[0]}});
    CHECK(s.slot(3)->hasImage());
    CHECK(s.slot(7)->hasImage());
    CHECK_FALSE(s.slot(1)->hasImage());
    CHECK(s.grid() == Ids{c[1], c[3]});

    SECTION("a slot photograph taken out joins the pool at the end and leaves the kind album") {
        s.touchSlot(3);
        QTest::mouseClick(s.screen->deselectBtn(), Qt::LeftButton);
        CHECK(s.grid() == Ids{c[1], c[3], c[2]});
        REQUIRE(s.registerBoard());
        CHECK(s.storedSlots() == store::FormData{{"7", c[0]}});
        CHECK(s.ids("ID_999999_normal") == Ids{c[0]});
        CHECK(s.ids("ID_999999").size() == 3);
    }
    SECTION("the other kinds have boards of their own") {
        s.close();
        REQUIRE(s.open(2));
        CHECK(s.board().empty());
        CHECK(s.grid() == Ids{c[1], c[3]});
    }
}

TEST_CASE("the X-ray board has only its single slot", "[photos][select]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 4);
    REQUIRE(s.open(3));
    CHECK(s.screen->photoType() == "roentgen");
    CHECK(s.slot(50)->isVisible());
    CHECK_FALSE(s.screen->slotView(100)->isVisible());
    for (int tag = 1; tag <= 16; ++tag)
        CHECK_FALSE(s.slot(tag)->isVisible());
    s.touchSlot(50);
    s.tapThumbnail(3);
    CHECK(s.board() == store::FormData{{"50", c[3]}});
    REQUIRE(s.registerBoard());
    CHECK(s.storedSlots("roentgen") == store::FormData{{"50", c[3]}});
    CHECK(s.ids("ID_999999_roentgen") == Ids{c[3]});

    s.close();
    REQUIRE(s.open(1));
    CHECK_FALSE(s.slot(50)->isVisible());
    CHECK(s.slot(1)->isVisible());
}

TEST_CASE("a stored slot naming a vanished photograph is empty and pruned at the next register",
          "[photos][select]") {
    SelectApp s;
    const Ids kind = s.put("ID_999999_normal", 2);
    s.put("ID_999999", 0);
    s.storeSlots({{"1", kind[0]}, {"3", "GONE-0000/L0/001"}, {"5", kind[1]}});
    // kind[1] went back to the patient's pool elsewhere: it is no slot photograph any more.
    REQUIRE_FALSE(s.library->performChangesAndWait([&](photos::ChangeRequest& ch) {
        ch.removeAssets(s.library->albumsWithTitle("ID_999999_normal").front().localIdentifier, {kind[1]});
        ch.addAssetsToAlbumTitled("ID_999999", {kind[1]});
    }));
    REQUIRE(s.open(1));
    CHECK(s.board() == store::FormData{{"1", kind[0]}});
    CHECK(s.slot(1)->hasImage());
    CHECK_FALSE(s.slot(3)->hasImage());
    CHECK_FALSE(s.slot(5)->hasImage());
    CHECK(s.grid() == Ids{kind[1]});

    // The emptied slot holds nothing to take out; the grid stays as the pool is.
    s.touchSlot(5);
    CHECK_FALSE(s.screen->deselectBtn()->isEnabled());
    QTest::mouseClick(s.screen->deselectBtn(), Qt::LeftButton);
    CHECK(s.grid() == Ids{kind[1]});

    REQUIRE(s.registerBoard());
    CHECK(s.alert()->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"1", kind[0]}});
}

TEST_CASE("a photograph named by two stored slots returns to the pool, and the grid, only once",
          "[photos][select]") {
    SelectApp s;
    const Ids pool = s.put("ID_999999", 2);
    const Ids kind = s.put("ID_999999_normal", 1);
    s.storeSlots({{"1", kind[0]}, {"2", kind[0]}});
    REQUIRE(s.open(1));
    CHECK(s.board() == store::FormData{{"1", kind[0]}, {"2", kind[0]}});
    s.touchSlot(1);
    QTest::mouseClick(s.screen->deselectBtn(), Qt::LeftButton);
    CHECK(s.pool() == Ids{pool[0], pool[1], kind[0]});
    CHECK(s.grid() == s.pool());

    // Slot 2 names the photograph already back in the pool: nothing lands in the grid, so the tapped
    // row is taken as it is.
    foundation::LogCapture log;
    s.touchSlot(2);
    s.tapThumbnail(2);
    CHECK(s.board() == store::FormData{{"2", kind[0]}});
    CHECK(s.pool() == Ids{pool[0], pool[1]});
    CHECK(s.grid() == s.pool());
    CHECK_FALSE(log.contains("NSInternalInconsistencyException"));

    REQUIRE(s.registerBoard());
    CHECK(s.alert()->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"2", kind[0]}});
    CHECK(s.ids("ID_999999_normal") == Ids{kind[0]});
    CHECK(s.ids("ID_999999") == pool);
}

TEST_CASE("a failed register says so, keeps the board and stores nothing", "[photos][select]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 4);
    REQUIRE(s.open(1));
    s.touchSlot(2);
    s.tapThumbnail(1);

    SECTION("the album move fails: no row is written") {
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Denied);
        auto alert = s.registerBoard();
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "写真へのアクセスが許可されていないため、\n登録できませんでした");
        CHECK(s.storedSlots() == std::nullopt);
        CHECK(s.ids("Eye-Fi") == c);
    }
    SECTION("the row write fails") {
        s.app.probe().exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON photoMst BEGIN SELECT RAISE(ABORT, 'full'); END");
        auto alert = s.registerBoard();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "登録できませんでした\n原因: データベースのエラーです（full）。");
        CHECK(s.storedSlots() == std::nullopt);
        s.app.probe().exec("DROP TRIGGER refuse");
    }
    SECTION("the database is in use by another program: the alert says so") {
        s.app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once
        auto other = s.app.probe();
        other.exec("BEGIN EXCLUSIVE");
        auto alert = s.registerBoard();
        other.exec("ROLLBACK");
        REQUIRE(alert);
        CHECK(alert->message() == "登録できませんでした\n原因: 他のプログラムがデータベースを使用中です。");
        CHECK(s.storedSlots() == std::nullopt);
    }
    CHECK(s.alert()->message() != "登録しました");
    s.alert()->tapAction("OK");
    s.app.launched.settle(20);
    CHECK(s.app.top() == s.screen);
    CHECK(s.board() == store::FormData{{"2", c[1]}});
    CHECK(s.slot(2)->hasImage());
    CHECK_FALSE(s.screen->cover()->isVisible());
    CHECK(s.app.delegate().cancelButton()->isEnabled());

    // Once the fault is gone the same board registers.
    auto alert = s.registerBoard();
    REQUIRE(alert);
    CHECK(alert->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"2", c[1]}});
}

TEST_CASE("registered photographs that cannot be read are said, and no register writes over them unread",
          "[photos][select]") {
    SelectApp s;
    const Ids kind = s.put("ID_999999_normal", 2);
    const Ids camera = s.put("Eye-Fi", 1);
    s.storeSlots({{"1", kind[0]}, {"2", kind[1]}});
    const auto photoNum = [&] {
        return s.app.probe().value("SELECT photo_num FROM photoMst WHERE pid = '999999'");
    };
    const std::string registered = photoNum();
    s.app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once

    // Another program takes the database right after the patient gate let the patient through.
    auto menu = s.openMenu();
    REQUIRE(menu);
    REQUIRE(shell::passPatientGate(*menu, s.app.delegate(), "999999"));
    auto other = s.app.probe();
    other.exec("BEGIN EXCLUSIVE");
    menu->performSegue(selectPhotosViewTop::kNormalSegue, menu->kindButton(1));
    s.screen = std::dynamic_pointer_cast<selectPhotosView>(s.app.top());
    REQUIRE(s.screen);
    s.settle();
    const std::string unread =
        "登録済みの写真を読み込めませんでした。\n原因: 他のプログラムがデータベースを使用中です。";
    CHECK(testsupport::errorAlertMessage(s.alert()) == unread);
    s.alert()->tapAction("OK");
    CHECK(s.board().empty());

    // The staff place the new photograph in slot 2 and register while the database is still held.
    s.touchSlot(2);
    s.tapThumbnail(0);
    CHECK(s.board() == store::FormData{{"2", camera[0]}});
    auto alert = s.registerBoard();
    CHECK(testsupport::errorAlertMessage(alert) == unread);
    alert->tapAction("OK");
    other.exec("ROLLBACK");
    CHECK(photoNum() == registered);
    CHECK(s.ids("Eye-Fi") == camera); // nothing was moved either
    CHECK(sorted(s.ids("ID_999999_normal")) == sorted(kind));
    CHECK(s.board() == store::FormData{{"2", camera[0]}});

    // Once the lock is gone the register reads them first: slot 1 stays, slot 2 is what the staff
    // chose, and the photograph it held goes back to the pool.
    alert = s.registerBoard();
    REQUIRE(alert);
    CHECK(alert->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"1", kind[0]}, {"2", camera[0]}});
    CHECK(sorted(s.ids("ID_999999_normal")) == sorted({kind[0], camera[0]}));
    CHECK(s.ids("ID_999999") == Ids{kind[1]});
    CHECK(s.ids("Eye-Fi").empty());
}

TEST_CASE("a second tap on the register button while a register runs is ignored", "[photos][select][fault]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 3);
    REQUIRE(s.open(1));
    s.touchSlot(2);
    s.tapThumbnail(1);
    // The register lets the main loop turn while the library settles; the second tap comes then.
    photoalbums::PhotoAlbumScan::setSettleSeconds(0.3);
    bool tappedAgain = false;
    QTimer::singleShot(50, s.screen->view(), [&] {
        tappedAgain = true;
        s.app.tapRegister();
    });
    foundation::LogCapture log;
    auto alert = s.registerBoard();
    CHECK(tappedAgain);
    REQUIRE(alert);
    CHECK(alert->message() == "登録しました");
    CHECK_FALSE(log.contains("Attempt to present"));
    const auto lines = log.lines();
    CHECK(std::count(lines.begin(), lines.end(), "YES") == 1); // one row write
    CHECK(s.storedSlots() == store::FormData{{"2", c[1]}});
    CHECK(s.ids("ID_999999_normal") == Ids{c[1]});
    alert->tapAction("OK");
    s.app.launched.settle(20);
    CHECK(s.app.top() != s.screen);
}

TEST_CASE("a register that throws leaves the screen able to register again", "[photos][select][fault]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 2);
    REQUIRE(s.open(1));
    s.touchSlot(3);
    s.tapThumbnail(0);
    auto& today = s.app.delegate().state().today;
    const auto day = today;
    today = []() -> std::string { throw std::runtime_error("no date today"); };
    CHECK_THROWS_AS(s.screen->registData(), std::runtime_error);
    today = day;
    CHECK(s.storedSlots() == std::nullopt);

    auto alert = s.registerBoard();
    REQUIRE(alert);
    CHECK(alert->message() == "登録しました");
    CHECK(s.storedSlots() == store::FormData{{"3", c[0]}});
    CHECK(s.app.delegate().cancelButton()->isEnabled());
}

TEST_CASE("cancel asks first and stores nothing", "[photos][select]") {
    SelectApp s;
    s.put("Eye-Fi", 2);
    REQUIRE(s.open(1));
    s.touchSlot(1);
    s.tapThumbnail(0);
    s.app.delegate().cancelButton()->trigger();
    REQUIRE(s.alert());
    CHECK(s.alert()->message() == "登録せずに終了しますか？");
    s.alert()->tapAction("キャンセル");
    CHECK(s.app.top() == s.screen);
    s.app.delegate().cancelButton()->trigger();
    s.alert()->tapAction("OK");
    s.app.launched.settle(30);
    CHECK(std::dynamic_pointer_cast<selectPhotosViewTop>(s.app.top()));
    CHECK(s.storedSlots() == std::nullopt);
    CHECK(s.ids("Eye-Fi").size() == 2);
}

TEST_CASE("a placed photograph that yields no picture or a small one leaves the screen usable",
          "[photos][select]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 2);
    const Ids tiny = s.put("Eye-Fi", 1, 40, 30);
    s.spoil(c[1]);
    REQUIRE(s.open(1));
    s.touchSlot(1);
    s.tapThumbnail(1); // no picture in its file
    CHECK_FALSE(s.screen->processFlg());
    CHECK(s.board() == store::FormData{{"1", c[1]}});
    CHECK_FALSE(s.slot(1)->hasImage());
    // Touches are taken again, and the slot can still be emptied.
    s.touchSlot(1);
    s.touchSlot(1);
    CHECK(s.screen->selectTagNo() == 1);
    CHECK(s.screen->deselectBtn()->isEnabled());

    s.touchSlot(4);
    s.tapThumbnail(1); // 40 × 30 pixels
    CHECK_FALSE(s.screen->processFlg());
    CHECK(s.board().at("4") == tiny[0]);
    CHECK(s.slot(4)->hasImage());
}

TEST_CASE("pictures arriving after the screen closed touch nothing", "[photos][select]") {
    SelectApp s;
    s.put("Eye-Fi", 4, 2000, 1500);
    REQUIRE(s.open(1));
    s.touchSlot(1);
    auto* cell = s.screen->collectionView()->cellForItem(0);
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(30, 30)); // its picture is on its way
    CHECK(s.screen->processFlg());
    // While it loads, touches and the register are ignored.
    s.touchSlot(2);
    CHECK(s.screen->selectTagNo() == 1);
    s.app.tapRegister();
    CHECK_FALSE(s.alert());
    std::weak_ptr<selectPhotosView> gone = s.screen;
    s.close();
    CHECK(gone.expired());
    s.app.launched.settle(300);
    CHECK(s.storedSlots() == std::nullopt);
}

TEST_CASE("a long press opens the photograph large, and an edited copy joins the pool and is registered",
          "[photos][select][viewer]") {
    SelectApp s;
    PhotoEditorBase::setSettleSeconds(0);
    PhotoEditorBase::setSuccessPauseSeconds(0);
    const Ids c = s.put("Eye-Fi", 4);
    REQUIRE(s.open(1));
    REQUIRE(s.screen->childViewControllers().size() == 1);
    auto viewer = std::dynamic_pointer_cast<largePhotoView>(s.screen->childViewControllers().front());
    REQUIRE(viewer);
    CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());

    s.touchSlot(1);
    s.longPress(s.screen->collectionView()->cellForItem(2));
    REQUIRE(s.screen->largePhotoContainer()->isVisible());
    CHECK(s.board().empty()); // a long press is no tap, though a slot is chosen
    CHECK(viewer->targetAsset().localIdentifier == c[2]);
    CHECK(s.screen->uploadImage() ==
          dynamic_cast<PhotoThumbnailCell*>(s.screen->collectionView()->cellForItem(2))->imageView());
    CHECK(s.screen->navigationItem().rightBarButtonItem() == viewer->saveButton());
    CHECK(s.screen->navigationItem().leftBarButtonItem() == s.screen->closeButton());

    SECTION("closing gives the bar back") {
        s.screen->closeButton()->trigger();
        CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
        CHECK(s.screen->navigationItem().rightBarButtonItem() == s.app.delegate().registButton());
        CHECK(s.screen->navigationItem().leftBarButtonItem() == s.app.delegate().cancelButton());
    }
    SECTION("a save adds one photograph to the grid and the next register keeps it") {
        viewer->saveButton()->trigger();
        s.app.launched.settle(50);
        CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
        auto added = s.alert();
        REQUIRE(added);
        CHECK(added->message() == "加工した画像を追加しました。");
        added->tapAction("OK");
        s.settle();
        const Ids pool = s.pool();
        REQUIRE(pool.size() == 5);
        CHECK(Ids(pool.begin(), pool.begin() + 4) == c);
        CHECK(s.grid() == pool);

        s.tapThumbnail(4); // the new copy, into the slot still chosen
        CHECK(s.board() == store::FormData{{"1", pool[4]}});
        REQUIRE(s.registerBoard());
        CHECK(s.alert()->message() == "登録しました");
        CHECK(s.storedSlots() == store::FormData{{"1", pool[4]}});
        CHECK(s.ids("ID_999999_normal") == Ids{pool[4]});
        CHECK(sorted(s.ids("ID_999999")) == sorted(c));
    }
    PhotoEditorBase::setSettleSeconds(0.8);
    PhotoEditorBase::setSuccessPauseSeconds(2);
}

TEST_CASE("photographs stored turned by any EXIF orientation open and save upright in the viewer",
          "[photos][select][viewer]") {
    SelectApp s;
    PhotoEditorBase::setSettleSeconds(0);
    PhotoEditorBase::setSuccessPauseSeconds(0);
    const QImage picture = pictures::fourColour(48, 32);
    std::vector<QByteArray> files;
    std::vector<photos::Asset> assets;
    for (int exif = 1; exif <= 8; ++exif) {
        files.push_back(pictures::jpegWithOrientation(picture, exif));
        assets.push_back(s.putFile("Eye-Fi", files.back()));
    }
    REQUIRE(s.open(1));
    for (int exif = 1; exif <= 8; ++exif) {
        INFO("EXIF " << exif);
        const QImage upright = pictures::autoOriented(files[size_t(exif - 1)]);
        s.screen->openLargePhotoContainer(assets[size_t(exif - 1)]);
        REQUIRE(s.waitForViewer(assets[size_t(exif - 1)].localIdentifier));
        const ui::Image shown = s.viewer()->imageView()->image();
        CHECK(shown.orientation == ui::ImageOrientation::Up);
        CHECK(pictures::samePixels(shown.bitmap, upright));
        // Saved untouched, the copy that joins the pool is the upright picture.
        s.viewer()->saveButton()->trigger();
        REQUIRE(s.alert());
        s.alert()->tapAction("OK");
        s.settle();
        REQUIRE(s.pool().size() == size_t(8 + exif));
        CHECK(pictures::samePixels(s.stored(s.pool().back()), upright));
    }
    PhotoEditorBase::setSettleSeconds(0.8);
    PhotoEditorBase::setSuccessPauseSeconds(2);
}

TEST_CASE("the viewer shows a photograph once it is decoded off the GUI thread, the latest asked for",
          "[photos][select][viewer]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 3);
    REQUIRE(s.open(1));
    const auto& pool = s.screen->albumScan()->assetsList;
    SECTION("one press") {
        {
            editortest::OpeningGate gate; // an earlier picture is still being decoded
            s.longPress(s.screen->collectionView()->cellForItem(1));
            // The screen goes on meanwhile: the slots still answer.
            s.touchSlot(2);
            CHECK(s.screen->selectTagNo() == 2);
            CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
        }
        REQUIRE(s.waitForViewer(c[1]));
        CHECK(s.screen->navigationItem().rightBarButtonItem() == s.viewer()->saveButton());
    }
    SECTION("two presses before either picture came in") {
        {
            editortest::OpeningGate gate;
            s.screen->openLargePhotoContainer(pool[0]);
            s.screen->openLargePhotoContainer(pool[2]);
        }
        photoedit::photoOpeningQueue()->drain();
        REQUIRE(s.waitForViewer(c[2]));
        s.app.launched.settle(20);
        CHECK(s.viewer()->targetAsset().localIdentifier == c[2]);
    }
    SECTION("the screen closed before its picture came in") {
        std::weak_ptr<selectPhotosView> weak = s.screen;
        {
            editortest::OpeningGate gate;
            s.screen->openLargePhotoContainer(pool[0]);
            s.close();
            CHECK(weak.expired());
        }
        photoedit::photoOpeningQueue()->drain();
        s.app.launched.settle(20);
        CHECK(s.app.top() == s.app.launched.navigation()->viewControllers().front());
    }
}

TEST_CASE("a long press on a slot opens its photograph but not on an empty slot",
          "[photos][select][viewer]") {
    SelectApp s;
    const Ids c = s.put("Eye-Fi", 2);
    REQUIRE(s.open(3));
    s.longPress(s.slot(50)); // its touch chooses the slot as well
    CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
    CHECK(s.screen->selectTagNo() == 50);
    s.tapThumbnail(1);
    CHECK(s.board() == store::FormData{{"50", c[1]}});
    s.longPress(s.slot(50));
    REQUIRE(s.screen->largePhotoContainer()->isVisible());
    CHECK(s.screen->uploadImage() == s.slot(50));
    auto viewer = std::dynamic_pointer_cast<largePhotoView>(s.screen->childViewControllers().front());
    CHECK(viewer->targetAsset().localIdentifier == c[1]);
}

// The HUD's artwork comes through the bundle's one picture loader, as the pages' images do.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <catch2/catch.hpp>

#include "app/assets/PageResources.h"
#include "app/photos/hud/HudArtwork.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"

TEST_CASE("the HUD's artwork loads as the pages' images do, and a missing picture is no page's", "[hud]") {
    SECTION("each picture loads, and the HUD's changes to it stay in its own copy") {
        for (const char* name : {"info", "success", "error", "angle-mask"}) {
            INFO(name);
            CHECK_FALSE(hud::bundleImage(name).isNull());
        }
        const QImage kept = hud::bundleImage("info");
        QImage changed = hud::bundleImage("info");
        changed.fill(Qt::red);
        CHECK(hud::bundleImage("info") == kept);
        CHECK(hud::bundleImage("info") != changed);
    }
    SECTION("one that is missing or does not decode is a null image, logged, and not counted for a page") {
        QTemporaryDir bundle;
        REQUIRE(QDir(bundle.path()).mkpath("ZVProgressHUD.bundle"));
        QFile empty(bundle.filePath("ZVProgressHUD.bundle/info.png"));
        REQUIRE(empty.open(QIODevice::WriteOnly));
        empty.close();
        foundation::Bundle::setMainPath(bundle.path().toStdString());
        const size_t misses = assets::bundleImageMisses();
        foundation::LogCapture log;
        CHECK(hud::bundleImage("info").isNull());
        CHECK(hud::bundleImage("success").isNull());
        foundation::Bundle::setMainPath("");
        CHECK(log.contains("Bundle image not loaded: ZVProgressHUD.bundle/info.png"));
        CHECK(log.contains("Bundle image not loaded: ZVProgressHUD.bundle/success.png"));
        CHECK(assets::bundleImageMisses() == misses);
    }
}

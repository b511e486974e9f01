// Telling a whole picture from a broken one before it is kept.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <catch2/catch.hpp>
#include <random>

#include "platform/photos/ImageCheck.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/support/TestHome.h"

using namespace photos;

namespace {

// A picture with detail in every block, so that cutting it anywhere loses scan data.
QImage grainy(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng{7};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(int(rng() & 255), (x * 3) & 255, (y * 5) & 255));
    return img;
}

foundation::Data encode(const QImage& img, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter writer(&buf, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(img);
    return foundation::Data(bytes.begin(), bytes.end());
}

// The JPEG with the size in its frame header replaced.
foundation::Data claimingSize(foundation::Data jpeg, int width, int height) {
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            return jpeg;
        }
    FAIL("no frame header");
    return jpeg;
}

foundation::Data firstHalf(const foundation::Data& data) {
    return foundation::Data(data.begin(), data.begin() + long(data.size() / 2));
}

} // namespace

TEST_CASE("whole pictures pass with their stored size and type", "[photos][check]") {
    const QImage img = grainy(320, 240);
    SECTION("baseline and progressive JPEG") {
        for (bool progressive : {false, true}) {
            const auto jpeg = encode(img, "JPEG", progressive);
            const auto check = checkImage(jpeg);
            REQUIRE(check);
            CHECK(check.info->width == 320);
            CHECK(check.info->height == 240);
            CHECK(check.info->uniformTypeIdentifier == "public.jpeg");
            CHECK(check.info->extension == "jpg");
            CHECK(inspectImage(jpeg));
        }
    }
    SECTION("a JPEG with bytes after its end, as some cameras pad") {
        auto jpeg = encode(img, "JPEG");
        jpeg.insert(jpeg.end(), 4096, 0);
        CHECK(checkImage(jpeg));
    }
    SECTION("PNG") {
        const auto check = checkImage(encode(img, "PNG"));
        REQUIRE(check);
        CHECK(check.info->uniformTypeIdentifier == "public.png");
        CHECK(check.info->width == 320);
    }
}

TEST_CASE("broken pictures are refused with the reason", "[photos][check]") {
    const auto jpeg = encode(grainy(320, 240), "JPEG");

    SECTION("a JPEG cut in half: its header is whole, its decoder reports the missing data") {
        const auto half = firstHalf(jpeg);
        CHECK(inspectImage(half)); // the header alone cannot tell
        const auto check = checkImage(half);
        CHECK_FALSE(check);
        CHECK(check.refusal.find("missing data") != std::string::npos);
    }
    SECTION("a progressive JPEG cut short") {
        const auto check = checkImage(firstHalf(encode(grainy(320, 240), "JPEG", true)));
        CHECK_FALSE(check);
        CHECK(check.refusal.find("missing data") != std::string::npos);
    }
    SECTION("a small JPEG claiming 7000 × 7000 pixels is refused before anything is decoded") {
        const auto liar = claimingSize(encode(QImage(8, 8, QImage::Format_RGB32), "JPEG"), 7000, 7000);
        REQUIRE(liar.size() < 1000);
        for (const auto& check : {inspectImage(liar), checkImage(liar)}) {
            CHECK_FALSE(check);
            CHECK(check.refusal.find("far too few") != std::string::npos);
        }
    }
    SECTION("a picture needing more memory than a photograph may") {
        auto big = claimingSize(jpeg, 12000, 9000);
        big.insert(big.end(), 16384, 0); // enough bytes that the size alone is not absurd
        const auto check = inspectImage(big);
        CHECK_FALSE(check);
        CHECK(check.refusal.find("more memory") != std::string::npos);
    }
    SECTION("a PNG cut in half") {
        const auto check = checkImage(firstHalf(encode(grainy(320, 240), "PNG")));
        CHECK_FALSE(check);
        CHECK(check.refusal.find("cannot be decoded") != std::string::npos);
    }
    SECTION("no picture at all") {
        const std::string text = "Start,1";
        for (const auto& data : {foundation::Data(), foundation::Data(text.begin(), text.end()),
                                 foundation::Data{0xFF, 0xD8, 0xFF, 0xFF, 0xFF}}) {
            const auto check = checkImage(data);
            CHECK_FALSE(check);
            CHECK_FALSE(check.refusal.empty());
        }
    }
}

TEST_CASE("the library keeps no picture whose header claims more than its data holds", "[photos][check]") {
    testsupport::TempHome home;
    PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    auto library = PhotoLibrary::shared();
    const auto liar = claimingSize(encode(QImage(8, 8, QImage::Format_RGB32), "JPEG"), 7000, 7000);
    auto error = library->performChangesAndWait([&](ChangeRequest& c) { c.createImageAsset(liar); });
    REQUIRE(error);
    CHECK(error->code() == kErrorInvalidImage);
    CHECK(library->allAssets().empty());
}

// Opening a photograph for the editor and the viewer: read, decoded and made upright on the opening
// queue while the GUI thread goes on, answered on the main queue, and nothing done for a screen that
// has gone.
#include <QCoreApplication>
#include <QThread>
#include <catch2/catch.hpp>
#include <future>

#include "app/photos/editing/PhotoOpening.h"
#include "app/photos/editing/moveObject.h"
#include "tests/app/photos/editing/ImageEditorSession.h"
#include "tests/app/photos/editing/PhotoOpeningGate.h"

using namespace editortest;
using namespace pictures;

namespace {

struct Answer {
    bool answered = false;
    bool onGuiThread = false;
    std::optional<photoedit::OpenedPhoto> photo;
};

photoedit::OpenedHandler recordInto(Answer& answer) {
    return [&answer](std::optional<photoedit::OpenedPhoto> photo) {
        answer.answered = true;
        answer.onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        answer.photo = std::move(photo);
    };
}

bool waitFor(const Answer& answer) {
    for (int i = 0; i < 1000 && !answer.answered; ++i)
        QTest::qWait(5);
    return answer.answered;
}

} // namespace

TEST_CASE("a photograph opens upright while the GUI thread goes on, answered on the main queue",
          "[editor][opening]") {
    EditorSession s;
    auto album = s.album("ID_p1");
    const QByteArray jpeg = jpegWithOrientation(fourColour(48, 32), 7);
    const auto asset = s.put(album, jpeg);
    auto owner = std::make_shared<int>();
    Answer answer;
    {
        editortest::OpeningGate gate; // the queue is busy with an earlier picture
        photoedit::openUpright(s.library, asset, owner, recordInto(answer));
        // The GUI thread is not held up by the decode it asked for.
        QTest::qWait(30);
        CHECK_FALSE(answer.answered);
    }
    REQUIRE(waitFor(answer));
    CHECK(answer.onGuiThread);
    REQUIRE(answer.photo.has_value());
    CHECK(answer.photo->image.orientation == ui::ImageOrientation::Up);
    CHECK(samePixels(answer.photo->image.bitmap, autoOriented(jpeg)));
    // A picture that fits the screen is painted from itself.
    CHECK(answer.photo->paintSource.cacheKey() == answer.photo->image.bitmap.cacheKey());
}

TEST_CASE("a large photograph comes with the smaller copy the image view paints from", "[editor][opening]") {
    EditorSession s;
    auto album = s.album("ID_p1");
    const auto asset = s.put(album, encoded(fourColour(3000, 1000), "PNG"));
    auto owner = std::make_shared<int>();
    Answer answer;
    photoedit::openUpright(s.library, asset, owner, recordInto(answer));
    REQUIRE(waitFor(answer));
    REQUIRE(answer.photo.has_value());
    CHECK(answer.photo->image.bitmap.size() == QSize(3000, 1000));
    CHECK(answer.photo->paintSource.size() == moveObject::paintSourceFor(answer.photo->image.bitmap).size());
    CHECK(answer.photo->paintSource.width() < 3000);
}

TEST_CASE("a file that is no picture, or no file at all, is answered with nothing",
          "[editor][opening][fault]") {
    EditorSession s;
    auto album = s.album("ID_p1");
    auto asset = s.put(album, encoded(fourColour(8, 8), "PNG"));
    SECTION("an asset the library does not know") {
        asset.localIdentifier = "gone/L0/001";
    }
    SECTION("a file spoilt on disk") {
        s.spoil(asset);
    }
    auto owner = std::make_shared<int>();
    Answer answer;
    photoedit::openUpright(s.library, asset, owner, recordInto(answer));
    REQUIRE(waitFor(answer));
    CHECK_FALSE(answer.photo.has_value());
}

TEST_CASE("a screen gone before its photograph's turn gets no answer", "[editor][opening]") {
    EditorSession s;
    auto album = s.album("ID_p1");
    const auto asset = s.put(album, encoded(fourColour(48, 32), "PNG"));
    auto owner = std::make_shared<int>();
    Answer answer;
    {
        editortest::OpeningGate gate;
        photoedit::openUpright(s.library, asset, owner, recordInto(answer));
        owner.reset();
    }
    photoedit::photoOpeningQueue()->drain();
    // Whatever the queue posted has run by now.
    auto later = std::make_shared<int>();
    Answer after;
    photoedit::openUpright(s.library, asset, later, recordInto(after));
    REQUIRE(waitFor(after));
    CHECK_FALSE(answer.answered);
}

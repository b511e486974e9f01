// The photo list's cells on certificate page 3: each photograph is decoded off the GUI thread and
// shown once its decode is done, and a cell that goes before then is left alone. The photographs are
// of a picture format of the test's own, whose decode waits at a gate the test holds and tells on
// which thread it ran.
#define QT_STATICPLUGIN // the format is built into this program, not loaded from a plugin folder
#include <QCoreApplication>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QtPlugin>
#include <catch2/catch.hpp>
#include <condition_variable>
#include <mutex>

#include "app/documents/certificate/certificateView3.h"
#include "app/documents/certificate/selectPhotoCell3.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/photos/ChangeRequest.h"
#include "platform/photos/ImageManager.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

// Where the decodes of the test's pictures stand. While closed, a decode off the GUI thread waits; one
// on the GUI thread is counted and goes on, so a fault shows as a count instead of a hang.
struct DecodeGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int started = 0, finished = 0, onGuiThread = 0;

    static DecodeGate& shared() {
        static DecodeGate gate;
        return gate;
    }
    void pass() {
        std::unique_lock lock(mutex);
        ++started;
        const bool gui = QThread::currentThread() == QCoreApplication::instance()->thread();
        if (gui) ++onGuiThread;
        changed.notify_all();
        if (!gui) changed.wait(lock, [this] { return !closed; });
        ++finished;
        changed.notify_all();
    }
    int count(const int DecodeGate::*which) {
        std::lock_guard lock(mutex);
        return this->*which;
    }
    // The decodes run on other threads: this one may wait for them.
    bool waitFinished(int n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return finished >= n; });
    }
};

// The gate closed for the scope: decodes started meanwhile finish when it ends.
class ClosedGate {
  public:
    ClosedGate() {
        std::lock_guard lock(DecodeGate::shared().mutex);
        DecodeGate::shared().closed = true;
    }
    ~ClosedGate() {
        auto& gate = DecodeGate::shared();
        std::lock_guard lock(gate.mutex);
        gate.closed = false;
        gate.changed.notify_all();
    }
    ClosedGate(const ClosedGate&) = delete;
    ClosedGate& operator=(const ClosedGate&) = delete;
};

constexpr char kMagic[] = "ZVGATE";

// "ZVGATE" and a colour name: a 64 x 48 picture of that colour.
class GatedPicture : public QImageIOHandler {
  public:
    static bool recognises(QIODevice* device) { return device && device->peek(6) == kMagic; }
    bool canRead() const override {
        if (!recognises(device())) return false;
        setFormat("zvgate");
        return true;
    }
    bool read(QImage* image) override {
        const QByteArray bytes = device()->readAll();
        DecodeGate::shared().pass();
        *image = QImage(64, 48, QImage::Format_RGB32);
        image->fill(QColor(QString::fromLatin1(bytes.mid(6))));
        return true;
    }
};

class GatedPictureFormat : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "GatedPictureFormat.json")
  public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
        if (format == "zvgate") return CanRead;
        if (!format.isEmpty()) return {};
        return GatedPicture::recognises(device) ? CanRead : Capabilities{};
    }
    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new GatedPicture;
        handler->setDevice(device);
        handler->setFormat(format);
        return handler;
    }
};

// Page 3 of the seed patient, with gated photographs at positions 2 and 8.
struct Page3 {
    registtest::RegistApp app;
    std::shared_ptr<certificateView3> page;
    std::vector<std::string> ids;

    Page3() {
        StaticVariableHelper::setCertificatePrintLanguage("");
        app.delegate().patientID() = "999999";
        REQUIRE(app.delegate().setPatientInfoData());
        app.delegate().setTouchMode(true);
        REQUIRE_FALSE(
            photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& change) {
                for (const char* colour : {"red", "blue"}) {
                    const QByteArray bytes = QByteArray(kMagic) + colour;
                    ids.push_back(change.createImageAsset(foundation::Data(bytes.begin(), bytes.end())));
                }
            }));
        auto& state = app.delegate().state();
        state.allPhotoNoList["normal"] = {{"2", ids[0]}, {"8", ids[1]}};
        for (const std::string& id : ids) {
            state.allAssetsListForStep4.push_back({id});
            state.assetLocalIDList[id] = {id};
        }
        page = std::make_shared<certificateView3>();
        app.launched.navigation()->pushViewController(page, false);
        app.launched.settle(10);
    }
    ~Page3() { StaticVariableHelper::reset(); }

    // The list opened on the lower slot, which offers the photograph at position 8; its cell.
    selectPhotoCell3* openList() {
        QTest::mouseClick(ui::viewWithTag(page->formView(), 40002), Qt::LeftButton);
        QListWidget* list = page->collectionView();
        REQUIRE(list->count() == 1);
        return qobject_cast<selectPhotoCell3*>(list->itemWidget(list->item(0)));
    }
    bool waitStarted(int n) {
        return app.launched.settleUntil(
            [n] { return DecodeGate::shared().count(&DecodeGate::started) >= n; });
    }
};

bool allOf(const QImage& image, const QColor& colour) {
    if (image.isNull()) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); y += 7)
        for (int x = 0; x < rgb.width(); x += 7)
            if (QColor(rgb.pixel(x, y)) != colour) return false;
    return true;
}

} // namespace

Q_IMPORT_PLUGIN(GatedPictureFormat)

TEST_CASE("page 3's photo cells decode their photographs off the GUI thread",
          "[documents][certificate][photos]") {
    Page3 p;
    auto& gate = DecodeGate::shared();
    const int before = gate.count(&DecodeGate::started), onGui = gate.count(&DecodeGate::onGuiThread);

    SECTION("the cell shows the photograph once its decode is done") {
        QPointer<selectPhotoCell3> cell;
        std::unique_ptr<QSignalSpy> shown;
        {
            ClosedGate closed;
            cell = p.openList();
            REQUIRE(cell);
            shown = std::make_unique<QSignalSpy>(cell.data(), &selectPhotoCell3::imageChanged);
            REQUIRE(p.waitStarted(before + 1));
            CHECK(gate.count(&DecodeGate::onGuiThread) == onGui);
            // The screen goes on while the photograph is decoded.
            p.app.launched.settle(10);
            CHECK(cell->imageView()->pixmap().isNull());
            CHECK(shown->isEmpty());
        }
        REQUIRE((!shown->isEmpty() || shown->wait(20000)));
        REQUIRE(cell);
        CHECK(allOf(cell->imageView()->pixmap().toImage(), Qt::blue));
    }
    SECTION("a cell that goes before its decode is done is left alone") {
        QPointer<selectPhotoCell3> cell;
        {
            ClosedGate closed;
            cell = p.openList();
            REQUIRE(cell);
            REQUIRE(p.waitStarted(before + 1));
            // The photograph is chosen: it leaves the list, and its cell goes.
            p.page->didSelectItem(0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            CHECK_FALSE(cell);
            REQUIRE(p.waitStarted(before + 2)); // the slot's own picture
        }
        REQUIRE(gate.waitFinished(before + 2));
        // The slot shows the photograph; the cell's answer, when it came, touched nothing.
        auto* slot = qobject_cast<QLabel*>(ui::viewWithTag(p.page->formView(), 40002));
        REQUIRE(p.app.launched.settleUntil([&] { return !slot->pixmap().isNull(); }));
        CHECK(gate.count(&DecodeGate::onGuiThread) == onGui);
        CHECK(p.app.delegate().certifiDataList().at("40002") == p.ids[1]);
    }
}

#include "PhotoCellTests.moc"

#pragma once
// Opening the one-page certificate as a clinician does: the certificate's start screen from the main
// storyboard, the patient ID typed, the fill-out or print choice tapped; the patient's albums made in
// the photo library beforehand.
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <catch2/catch.hpp>
#include <functional>
#include <string>
#include <vector>

#include "app/MainStoryboard.h"
#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/certificate/printOnePageCertificateView.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Bundle.h"
#include "platform/photos/ChangeRequest.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/SamePicture.h"

namespace onepagetest {

struct OnePageApp {
    registtest::RegistApp app;
    ui::StoryboardPtr board = ui::Storyboard::named(app::kMainStoryboardName);
    std::shared_ptr<certificateViewTop> top;

    OnePageApp() {
        top = std::static_pointer_cast<certificateViewTop>(
            board->instantiateViewController(certificateViewTop::kSceneIdentifier));
        app.launched.navigation()->pushViewController(top, false);
        app.launched.settle(20);
    }
    ~OnePageApp() { StaticVariableHelper::reset(); }

    store::FormData& record() { return app.delegate().certifiDataList(); }

    // New photographs, one of each colour, in the album of this title (made when missing).
    std::vector<std::string> album(const std::string& title, const std::vector<QColor>& colours) {
        std::vector<std::string> ids;
        REQUIRE_FALSE(
            photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& change) {
                for (const QColor& colour : colours) {
                    QImage image(160, 120, QImage::Format_RGB32);
                    image.fill(colour);
                    ids.push_back(change.createImageAsset(image));
                }
                change.addAssetsToAlbumTitled(title, ids);
            }));
        return ids;
    }

    std::shared_ptr<onePageCertificateView> openForm(const char* pid = "999999") {
        registtest::type(top->patientIDBox(), pid);
        if (top->onePageCertificateButton()->isHidden()) top->certificateStart();
        QTest::mouseClick(top->onePageCertificateButton(), Qt::LeftButton);
        app.launched.settle(20);
        return std::dynamic_pointer_cast<onePageCertificateView>(app.top());
    }

    // `button`: one of the start screen's one-page print buttons.
    std::shared_ptr<printOnePageCertificateView>
    openPreview(QPushButton* (certificateViewTop::*button)() const, const char* pid = "999999") {
        registtest::type(top->patientIDBox(), pid);
        if (((*top).*button)()->isHidden()) top->printCertificate();
        QTest::mouseClick(((*top).*button)(), Qt::LeftButton);
        app.launched.settle(20);
        return std::dynamic_pointer_cast<printOnePageCertificateView>(app.top());
    }

    // Runs the main loop until the condition holds (pictures arrive on the main queue).
    bool waitUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 200; ++i) {
            if (condition()) return true;
            app.launched.settle(10);
        }
        return condition();
    }
};

inline QLabel* tagged(const std::shared_ptr<onePageCertificateView>& page, int tag) {
    return page->labelWithTag(tag);
}

inline bool showsBundleImage(const QPixmap& shown, const std::string& file) {
    const auto path = foundation::Bundle::main()->pathForResource(file.substr(0, file.size() - 4), "png");
    return path && !shown.isNull() &&
           picturecheck::samePicture(QImage(QString::fromStdString(*path)), shown.toImage());
}

// How many pixels of the area are close to the colour.
inline int pixelsNear(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!image.valid(x, y)) continue;
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++n;
        }
    return n;
}

} // namespace onepagetest

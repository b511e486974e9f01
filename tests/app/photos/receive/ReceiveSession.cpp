// The clinic with the receive screen of the seed patient open, for tests that need it in a process of
// its own (to kill it mid-transfer). Prints "port=<discovery port>" once the screen advertises.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "app/MainStoryboard.h"
#include "app/ProcessEntry.h"
#include "app/photos/receive/PeerListViewController.h"
#include "app/photos/receive/RcvViewController.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/peer/PeerSettings.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"

int main(int argc, char** argv) {
    foundation::home::ensureLayout();
    app::registerLoadHooks();
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    foundation::UserDefaults::standard()->setObject(foundation::Value(0), peer::kPeerDiscoveryPortKey);

    QApplication qt(argc, argv);
    auto delegate = std::make_shared<zurarerizIvaDadadavu>();
    delegate->setSDKStarter([] {});
    auto app = std::make_unique<ui::Application>(delegate);
    app->launch(app::kMainStoryboardName);
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(delegate->window()->rootViewController());
    QTest::qWait(100);
    nav->viewControllers().front()->view()->findChild<QPushButton*>("receivePhotoButton")->click();
    auto start = std::dynamic_pointer_cast<RcvViewController>(nav->topViewController());
    if (!start) return 3;
    start->patientIDBox()->setStdText("999999");
    start->displayNameTextField()->setStdText("clinic-tablet");
    start->createSessionButtonDidTouch();
    auto screen = std::dynamic_pointer_cast<PeerListViewController>(nav->topViewController());
    if (!screen) return 4;
    std::printf("port=%u\n", unsigned(screen->sessionHelper()->nearbyServiceAdvertiser()->discoveryPort()));
    std::fflush(stdout);
    return QApplication::exec();
}

// Catch2 main for GUI suites: offscreen unless a display is set, one QApplication for the process,
// and a throw-away home.
#define CATCH_CONFIG_RUNNER
#include <QApplication>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "platform/foundation/ExitSteps.h"
#include "tests/support/TestHome.h"

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testsupport::TempHome home;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const int result = Catch::Session().run(argc, argv);
    // As in the plain main: background work ends while the home is still there.
    if (!foundation::ExitSteps::run()) std::quick_exit(result ? result : EXIT_FAILURE);
    return result;
}

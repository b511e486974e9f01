#pragma once
// What the GUI benchmarks share: a headless application over a throw-away app home, and the median
// that each of them reports.
#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/AppHome.h"

namespace bench {

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Offscreen unless a display is there; the home is removed when the benchmark ends.
class BenchApp {
  public:
    BenchApp(int& argc, char** argv) : qt_(prepare(home_, argc), argv) { foundation::home::ensureLayout(); }
    std::string homePath() const { return home_.path().toStdString(); }

  private:
    // Runs before the application exists: the platform and the home are read when it starts.
    static int& prepare(const QTemporaryDir& home, int& argc) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("ZARUVEDEZ_HOME", home.path().toUtf8());
        return argc;
    }

    QTemporaryDir home_;
    QApplication qt_;
};

} // namespace bench

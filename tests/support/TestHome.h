#pragma once
// A throw-away app home for one test: sets ZARUVEDEZ_HOME to a fresh folder, lays it out, and
// forgets cached defaults so each test starts like a first launch.
#include <string>

namespace testsupport {

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::string& path() const { return path_; }
    // Simulates a new launch on the same home: cached defaults are dropped and re-read.
    void relaunch() const;

  private:
    std::string path_;
    std::string previous_;
};

std::string makeTempDir(const std::string& prefix = "zvtest");

} // namespace testsupport

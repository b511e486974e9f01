#include "tests/support/TestHome.h"

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/UserDefaults.h"

namespace testsupport {

std::string makeTempDir(const std::string& prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    char* made = mkdtemp(tmpl.data());
    return made ? std::string(made) : std::string();
}

TempHome::TempHome() : path_(makeTempDir("zvhome")) {
    if (const char* p = std::getenv("ZARUVEDEZ_HOME")) previous_ = p;
    setenv("ZARUVEDEZ_HOME", path_.c_str(), 1);
    relaunch();
}

TempHome::~TempHome() {
    if (previous_.empty())
        unsetenv("ZARUVEDEZ_HOME");
    else
        setenv("ZARUVEDEZ_HOME", previous_.c_str(), 1);
    foundation::home::reset();
    foundation::UserDefaults::resetAll();
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempHome::relaunch() const {
    foundation::home::reset();
    foundation::UserDefaults::resetAll();
    foundation::home::ensureLayout();
}

} // namespace testsupport

#include "platform/foundation/LaunchArguments.h"

#include <algorithm>
#include <mutex>

namespace foundation::launch {

namespace {
std::mutex m;
std::vector<std::string> args;
} // namespace

void setArguments(int argc, char** argv) {
    setArguments(std::vector<std::string>(argv, argv + argc));
}

void setArguments(std::vector<std::string> a) {
    std::lock_guard lock(m);
    args = std::move(a);
}

std::vector<std::string> arguments() {
    std::lock_guard lock(m);
    return args;
}

bool contains(const std::string& arg) {
    std::lock_guard lock(m);
    return std::find(args.begin(), args.end(), arg) != args.end();
}

} // namespace foundation::launch

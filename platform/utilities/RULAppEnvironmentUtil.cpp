#include "platform/utilities/RULAppEnvironmentUtil.h"

#include <sys/utsname.h>

bool RULAppEnvironmentUtil::isAppExtension() {
    return false;
}

std::string RULAppEnvironmentUtil::systemVersion() {
    struct utsname u;
    if (uname(&u) != 0) return {};
    return u.release;
}

bool RULAppEnvironmentUtil::isFromAppStore() {
    return false;
}

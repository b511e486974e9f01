// The authorization status lives in a preferences suite of its own, as the system keeps it apart
// from the app's own defaults.
#include "platform/foundation/UserDefaults.h"
#include "platform/photos/PhotoLibrary.h"

namespace photos {

namespace {
constexpr const char* kSuite = "PhotoLibraryAuthorization";
constexpr const char* kKey = "AuthorizationStatus";

foundation::QueuePtr authorizationQueue() {
    static auto q = foundation::SerialQueue::create("photos.authorization");
    return q;
}
} // namespace

AuthorizationStatus PhotoLibrary::authorizationStatus(AccessLevel) {
    auto v = foundation::UserDefaults::suite(kSuite)->objectForKey(kKey);
    if (!v.isNumber()) return AuthorizationStatus::NotDetermined;
    auto n = v.intValue();
    if (n < 0 || n > int64_t(AuthorizationStatus::Limited)) return AuthorizationStatus::NotDetermined;
    return AuthorizationStatus(n);
}

void PhotoLibrary::setAuthorizationStatus(AuthorizationStatus status) {
    foundation::UserDefaults::suite(kSuite)->setObject(foundation::Value(int(status)), kKey);
}

void PhotoLibrary::requestAuthorization(AccessLevel level, std::function<void(AuthorizationStatus)> handler) {
    authorizationQueue()->async([level, handler = std::move(handler)] {
        auto status = authorizationStatus(level);
        if (status == AuthorizationStatus::NotDetermined) {
            status = AuthorizationStatus::Authorized;
            setAuthorizationStatus(status);
        }
        if (handler) handler(status);
    });
}

bool PhotoLibrary::accessGranted() {
    auto s = authorizationStatus();
    return s == AuthorizationStatus::Authorized || s == AuthorizationStatus::Limited;
}

} // namespace photos

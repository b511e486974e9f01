#include "platform/foundation/Exception.h"

#include <cstdlib>
#include <exception>

#include "platform/foundation/Log.h"

namespace foundation {

std::string describeUncaught(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const NamedException& ex) {
        return format("*** Terminating app due to uncaught exception '%@', reason: '%@'", ex.name(),
                      ex.reason());
    } catch (const std::exception& ex) {
        return format("*** Terminating app due to uncaught exception, reason: '%@'", ex.what());
    } catch (...) {
        return "*** Terminating app due to uncaught exception of unknown type";
    }
}

void installUncaughtExceptionLogger() {
    std::set_terminate([] {
        if (auto e = std::current_exception()) logMessage(describeUncaught(e));
        std::abort();
    });
}

} // namespace foundation

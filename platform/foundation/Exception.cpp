#include "platform/foundation/Exception.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "platform/foundation/Log.h"

namespace foundation {

NamedException::NamedException(std::string name, std::string reason)
    : std::runtime_error(name + ": " + reason), name_(std::move(name)), reason_(std::move(reason)),
      callStack_(CallStack::capture()) {}

ExceptionSummary summarize(const std::exception_ptr& e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const NamedException& ex) {
        return {ex.name(), ex.reason(), true};
    } catch (const std::exception& ex) {
        return {demangledName(typeid(ex).name()), ex.what(), false};
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        return {type ? demangledName(type->name()) : std::string("unknown"), {}, false};
    }
}

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

#include "app/shell/CallStack.h"

#include "platform/foundation/Exception.h"

namespace shell {

std::vector<std::string> callStackSymbols(const std::exception_ptr& e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const foundation::NamedException& ex) {
        return ex.callStackSymbols();
    } catch (...) {
        return {};
    }
}

} // namespace shell

#pragma once
// What the core asks of the class it finds at run time under the name "RIZEvudezodo": its class
// operation that starts the measurement engine for the default app. An empty function stands for a
// class that does not answer it.
#include <functional>
#include <memory>

#include "sdk/core/VEVOptions.h"

class RIZEvudezodoConfiguration;

namespace sdk {

inline constexpr const char* kAnalyticsClassName = "RIZEvudezodo";

struct AnalyticsStartClass {
    std::function<void(const std::shared_ptr<RIZEvudezodoConfiguration>& configuration,
                       const VEVOptionsPtr& options)>
        startWithConfiguration;
};

} // namespace sdk

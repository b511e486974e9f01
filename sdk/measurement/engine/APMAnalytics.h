#pragma once
// The measurement engine's entry point. It keeps what it was started with and says that it started;
// collecting and sending measurements is the engine's own business beyond the core.
#include <any>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// Start options: plain values as foundation::Value, the configuration object as its shared_ptr.
using APMStartOptions = std::map<std::string, std::any>;

class APMAnalytics {
  public:
    struct Start {
        std::string appID;
        std::string origin;
        APMStartOptions options;
    };

    static void startWithAppID(const std::string& appID, const std::string& origin,
                               const APMStartOptions& options);
    // The most recent start of this process, if any.
    static std::optional<Start> lastStart();
    static size_t startCount();
};

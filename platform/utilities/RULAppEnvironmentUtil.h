#pragma once
// Facts about the running program's environment that the SDK asks for.
#include <string>

class RULAppEnvironmentUtil {
  public:
    // The program always runs as a full application here, never as an extension.
    static bool isAppExtension();
    // The operating system's release text (kernel release), empty when unknown.
    static std::string systemVersion();
    // Builds are never installed from an app store.
    static bool isFromAppStore();
};

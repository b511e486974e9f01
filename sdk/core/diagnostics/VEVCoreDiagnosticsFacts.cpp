#include "sdk/core/diagnostics/VEVCoreDiagnosticsFacts.h"

#include <link.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "platform/foundation/ClassRegistry.h"

namespace vevcd {

namespace {

struct Service {
    const char* name;
    CoreConfiguration_ServiceType code;
    // The classes whose presence means the SDK is installed: all of them, where there are two.
    const char* className;
    const char* secondClassName;
};

// In the order the installed list is built.
constexpr Service kServices[] = {
    {"AdMob", CoreConfiguration_ServiceType_ADMOB, "GADBannerView", nullptr},
    {"Messaging", CoreConfiguration_ServiceType_MESSAGING, "VEVMessaging", nullptr},
    {"RemoteConfig", CoreConfiguration_ServiceType_REMOTE_CONFIG, "VIRErivozUzorad", nullptr},
    {"Measurement", CoreConfiguration_ServiceType_MEASUREMENT, "RIZEvudezodo", nullptr},
    {"MLVisionOnDeviceAutoML", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_AUTOML,
     "VEVVisionOnDeviceAutoMLImageLabelerOptions", nullptr},
    {"MLVisionOnDeviceFace", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_FACE, "VEVVisionFaceDetector",
     "GMVFaceDetector"},
    {"MLVisionOnDeviceBarcode", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_BARCODE,
     "VEVVisionBarcodeDetector", "GMVBarcodeDetector"},
    {"MLVisionOnDeviceText", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_TEXT, "VEVVisionTextDetector",
     "GMVTextDetector"},
    {"MLVisionOnDeviceLabel", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_LABEL,
     "VEVVisionLabelDetector", "GMVLabelDetector"},
    {"MLVisionOnDeviceObjectDetection", CoreConfiguration_ServiceType_ML_VISION_ON_DEVICE_OBJECT_DETECTION,
     "VEVVisionObjectDetector", nullptr},
    {"MLModelInterpreter", CoreConfiguration_ServiceType_ML_MODEL_INTERPRETER, "VEVCustomModelInterpreter",
     nullptr},
    {"Database", CoreConfiguration_ServiceType_DATABASE, "VEVDatabase", nullptr},
    {"DynamicLinks", CoreConfiguration_ServiceType_DYNAMIC_LINKS, "VEVDynamicLinks", nullptr},
    {"Auth", CoreConfiguration_ServiceType_AUTH, "VEVAuth", nullptr},
    {"AuthUI", CoreConfiguration_ServiceType_AUTH_UI, "FUIAuth", nullptr},
    {"Vevstore", CoreConfiguration_ServiceType_VEVSTORE, "VEVVevstore", nullptr},
    {"Functions", CoreConfiguration_ServiceType_FUNCTIONS, "VEVFunctions", nullptr},
    {"Performance", CoreConfiguration_ServiceType_PERFORMANCE, "VEVPerformance", nullptr},
    {"Storage", CoreConfiguration_ServiceType_STORAGE, "VEVStorage", nullptr},
    {"SignIn", CoreConfiguration_ServiceType_SIGN_IN, "GIDSignIn", "GGLContext"},
    {"Analytics", CoreConfiguration_ServiceType_ANALYTICS, "GAI", "GGLContext"},
    {"InAppMessaging", CoreConfiguration_ServiceType_IN_APP_MESSAGING, "VEVInAppMessaging", nullptr},
};

// System images here: paths holding one of the platform's library markers (on Linux, everything
// under /usr/lib), plus the merged-/usr aliases /lib, /lib32, /lib64 and /libx32 through which the
// loader names the distribution's libraries (the loader itself among them).
bool isSystemImage(const std::string& path) {
    for (const char* marker : {"System/Library", "Developer/Library", "usr/lib"})
        if (path.find(marker) != std::string::npos) return true;
    for (const char* prefix : {"/lib/", "/lib32/", "/lib64/", "/libx32/"})
        if (path.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string executablePath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string("(main executable)");
}

} // namespace

CoreConfiguration_ServiceType serviceCodeForName(const std::string& name) {
    for (const auto& s : kServices)
        if (name == s.name) return s.code;
    return CoreConfiguration_ServiceType_UNKNOWN_SERVICE;
}

std::vector<CoreConfiguration_ServiceType> installedServices() {
    std::vector<CoreConfiguration_ServiceType> codes;
    for (const auto& s : kServices)
        if (foundation::ClassRegistry::exists(s.className) &&
            (!s.secondClassName || foundation::ClassRegistry::exists(s.secondClassName)))
            codes.push_back(s.code);
    return codes;
}

std::string machineName() {
    static const std::string machine = [] {
        struct utsname u;
        return ::uname(&u) == 0 ? std::string(u.machine) : std::string();
    }();
    return machine;
}

std::vector<std::string> loadedImagePaths() {
    std::vector<std::string> paths;
    // The main executable comes first, without a name; the vDSO the kernel maps has no file and is
    // not an image here.
    ::dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* out) {
            auto* list = static_cast<std::vector<std::string>*>(out);
            const char* name = info->dlpi_name;
            if (list->empty() && (!name || !*name))
                list->push_back(executablePath());
            else if (name && name[0] == '/')
                list->push_back(name);
            return 0;
        },
        &paths);
    return paths;
}

int32_t dynamicLibraryCountOfImages(const std::vector<std::string>& imagePaths) {
    int32_t count = -1; // the main executable is one of the images
    for (const auto& path : imagePaths)
        if (!isSystemImage(path)) ++count;
    return count;
}

int32_t dynamicLibraryCount() {
    return dynamicLibraryCountOfImages(loadedImagePaths());
}

std::string infoText(const foundation::Dictionary& info, const std::string& key) {
    auto it = info.find(key);
    if (it == info.end() || it->second.isNull()) return {};
    if (const auto* s = it->second.string()) return *s;
    return it->second.description();
}

std::string buildToolsVersion(const foundation::Dictionary& info) {
    return infoText(info, "DTXcodeBuild") + "-" + infoText(info, "DTSDKBuild");
}

} // namespace vevcd

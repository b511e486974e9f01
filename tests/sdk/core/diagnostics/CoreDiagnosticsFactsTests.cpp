// Facts of the process for the record: which SDKs are present, the machine, and the loaded libraries.
#include <dlfcn.h>
#include <filesystem>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/diagnostics/VEVCoreDiagnosticsFacts.h"
#include "tests/sdk/core/SdkTestSupport.h"

namespace fs = std::filesystem;

TEST_CASE("Service codes and the installed list", "[diagnostics][facts]") {
    sdktest::SdkFixture f;
    CHECK(vevcd::serviceCodeForName("Measurement") == 18);
    CHECK(vevcd::serviceCodeForName("MLVisionOnDeviceObjectDetection") == 35);
    CHECK(vevcd::serviceCodeForName("InAppMessaging") == 31);
    CHECK(vevcd::serviceCodeForName("measurement") == 0);
    CHECK(vevcd::serviceCodeForName("") == 0);

    using List = std::vector<CoreConfiguration_ServiceType>;
    CHECK(vevcd::installedServices() ==
          List{CoreConfiguration_ServiceType_MEASUREMENT, CoreConfiguration_ServiceType_DATABASE});

    SECTION("two classes named: both must be present") {
        foundation::ClassRegistry::registerClass("GGLContext", 1);
        CHECK(vevcd::installedServices().size() == 2);
        foundation::ClassRegistry::registerClass("GAI", 1);
        foundation::ClassRegistry::registerClass("VEVAuth", 1);
        CHECK(vevcd::installedServices() ==
              List{CoreConfiguration_ServiceType_MEASUREMENT, CoreConfiguration_ServiceType_DATABASE,
                   CoreConfiguration_ServiceType_AUTH, CoreConfiguration_ServiceType_ANALYTICS});
        for (const char* name : {"GGLContext", "GAI", "VEVAuth"})
            foundation::ClassRegistry::unregisterClass(name);
    }
}

TEST_CASE("Loaded libraries outside the system's count", "[diagnostics][facts]") {
    SECTION("by path") {
        CHECK(vevcd::dynamicLibraryCountOfImages({}) == -1);
        CHECK(vevcd::dynamicLibraryCountOfImages({"/opt/app/bin/zaruvedez"}) == 0);
        CHECK(vevcd::dynamicLibraryCountOfImages(
                  {"/opt/app/bin/zaruvedez", "/usr/lib/x86_64-linux-gnu/libz.so.1",
                   "/lib/x86_64-linux-gnu/libc.so.6", "/lib64/ld-linux-x86-64.so.2",
                   "/opt/app/lib/libplugin.so", "/home/u/libs/libx.so"}) == 2);
        // Only a leading /lib is the system's; a folder that merely ends in "lib" is not.
        CHECK(vevcd::dynamicLibraryCountOfImages({"/opt/app/bin/zaruvedez", "/opt/app/lib/libone.so"}) == 1);
    }
    SECTION("the main executable is the first image and takes away the -1") {
        auto images = vevcd::loadedImagePaths();
        REQUIRE_FALSE(images.empty());
        CHECK(fs::equivalent(images[0], "/proc/self/exe"));
    }
    SECTION("a library loaded from an app folder adds one") {
        // A copy of a system library, outside the system's folders, is an app's own library.
        std::string source;
        for (const auto& path : vevcd::loadedImagePaths())
            if (fs::path(path).filename().string().rfind("libz.so", 0) == 0) source = path;
        REQUIRE_FALSE(source.empty());
        std::string folder = testsupport::makeTempDir("zvlibs");
        std::string copy = folder + "/libzcopy.so";
        fs::copy_file(source, copy);
        int32_t before = vevcd::dynamicLibraryCount();
        void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        REQUIRE(handle);
        CHECK(vevcd::dynamicLibraryCount() == before + 1);
        ::dlclose(handle);
        CHECK(vevcd::dynamicLibraryCount() == before);
        fs::remove_all(folder);
    }
}

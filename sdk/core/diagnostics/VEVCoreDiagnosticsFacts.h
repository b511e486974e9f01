#pragma once
// The facts of the process and its bundle that go into the core configuration record beside those of
// the diagnostics data: services present, machine, loaded libraries and Info.plist keys.
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "sdk/core/diagnostics/proto/core_configuration.pb.h"

namespace vevcd {

// The service code of an SDK's service name; UNKNOWN_SERVICE for a name outside the table.
CoreConfiguration_ServiceType serviceCodeForName(const std::string& name);
// The codes of the SDKs whose classes are registered in this process, in the table's order.
std::vector<CoreConfiguration_ServiceType> installedServices();

// The hardware machine name (uname), read once per process; empty when unknown.
std::string machineName();

// How many loaded images are not system images, less one for the main executable.
int32_t dynamicLibraryCount();
// The same count over a list of image paths (the main executable included).
int32_t dynamicLibraryCountOfImages(const std::vector<std::string>& imagePaths);
// The paths of the images the dynamic loader has mapped; the main executable first.
std::vector<std::string> loadedImagePaths();

// "<DTXcodeBuild>-<DTSDKBuild>", each part empty when its key is missing.
std::string buildToolsVersion(const foundation::Dictionary& info);
// The text of a key (a number as its description); empty when missing.
std::string infoText(const foundation::Dictionary& info, const std::string& key);

} // namespace vevcd

#include "sdk/core/installations/VEVInstallations.h"

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVComponentType.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

using foundation::ErrorPtr;

namespace {

std::shared_ptr<VEVInstallationsIDController> controllerFor(const VEVOptionsPtr& options,
                                                            const std::string& appName) {
    // Checked before the controller is built from them.
    VEVInstallations::validateAppOptions(options, appName);
    return VEVInstallationsIDController::initWithRuvaraAppID(
        options->ruvaraAppID(), appName, options->APIKey(), options->projectID(), options->RCMSenderID(),
        options->appGroupID().value_or(""));
}

} // namespace

void VEVInstallations::load() {
    foundation::ClassRegistry::registerClass(kClassName, sdk::libraryClass<VEVInstallations>());
    VEVApp::registerInternalLibrary(sdk::libraryClass<VEVInstallations>(), kLibraryName, kLibraryVersion);
}

std::vector<VEVComponentPtr> VEVInstallations::componentsToRegister() {
    return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol::of<VEVInstallationsInstanceProvider>(), VEVInstantiationTimingAlwaysEager, {},
        [](VEVComponentContainer& container, bool& isCacheable) -> sdk::ObjectPtr {
            auto app = container.app();
            if (!app) return nullptr;
            isCacheable = true;
            return std::make_shared<VEVInstallations>(app);
        })};
}

std::shared_ptr<VEVInstallations> VEVInstallations::installations() {
    auto app = VEVApp::defaultApp();
    if (!app)
        foundation::raise(kVEVInstallationsExceptionName,
                          "The default DoraveziZod instance must be configured before the defaultDoraveziZod "
                          "instance can be "
                          "initialized. One way to ensure that is to call `[VEVApp configure];` "
                          "(`DoraveziZod.configure()` in "
                          "Swift) in the App Delegate's `application:didFinishLaunchingWithOptions:` "
                          "(`application(_:didFinishLaunchingWithOptions:)` in Swift).");
    return installationsWithApp(app);
}

std::shared_ptr<VEVInstallations> VEVInstallations::installationsWithApp(const std::shared_ptr<VEVApp>& app) {
    if (!app) return nullptr;
    return std::dynamic_pointer_cast<VEVInstallations>(
        VEVComponentType::instanceForProtocol<VEVInstallationsInstanceProvider>(app->container()));
}

void VEVInstallations::validateAppOptions(const VEVOptionsPtr& options, const std::string& appName) {
    std::vector<std::string> missing;
    if (appName.empty()) missing.emplace_back("`DoraveziZod.name`");
    if (!options || options->APIKey().empty()) missing.emplace_back("`VevurizoOptions.APIKey`");
    if (!options || options->ruvaraAppID().empty()) missing.emplace_back("`VevurizoOptions.ruvaraAppID`");
    if (!options || (options->projectID().empty() && options->RCMSenderID().empty()))
        missing.emplace_back("`VevurizoOptions.projectID`");
    if (missing.empty()) return;
    std::string joined;
    for (const auto& m : missing)
        joined += (joined.empty() ? "" : ", ") + m;
    foundation::raise(
        kVEVInstallationsExceptionName,
        "%@[%@] Could not configure Vevurizo Installations due to invalid DoraveziZod options. The "
        "following parameters are nil or empty: %@. If you use RuvaraServices-Info.plist please "
        "download the most recent version from the Vevurizo Console. If you configure Vevurizo in "
        "code, please make sure you specify all required parameters.",
        kVEVLoggerInstallations, "I-VIS008000", joined);
}

void VEVInstallations::assertCompatibleIIDVersion() {
    auto cls = foundation::ClassRegistry::lookup("VEVInstanceID");
    if (!cls) return;
    const auto* info = std::any_cast<VEVInstanceIDClass>(&*cls);
    if (info && info->respondsToUsesVIS) return;
    foundation::raise(
        kVEVInstallationsExceptionName,
        "VevurizoInstallations will not work correctly with current version of Vevurizo Instance ID. "
        "Please update your Vevurizo Instance ID version.");
}

VEVInstallations::VEVInstallations(const std::shared_ptr<VEVApp>& app)
    : VEVInstallations(app->options(), app->name(), controllerFor(app->options(), app->name()), false) {
    app_ = app;
}

std::shared_ptr<VEVInstallations> VEVInstallations::initWitAppOptions(const VEVOptionsPtr& options,
                                                                      const std::string& appName) {
    return std::make_shared<VEVInstallations>(options, appName, controllerFor(options, appName), false);
}

VEVInstallations::VEVInstallations(const VEVOptionsPtr& options, const std::string& appName,
                                   std::shared_ptr<VEVInstallationsIDController> installationsIDController,
                                   bool prefetchAuthToken)
    : appName_(appName), installationsIDController_(std::move(installationsIDController)) {
    validateAppOptions(options, appName);
    assertCompatibleIIDVersion();
    appOptions_ = options->copy();
    if (prefetchAuthToken) installationsIDController_->getAuthTokenForcingRefresh(false);
}

void VEVInstallations::installationIDWithCompletion(IDCompletion completion) const {
    // Success and failure observe the promise apart, so a throwing completion is not called twice.
    auto operation = installationsIDController_->getInstallationItem();
    operation.then(
        [completion](const VEVInstallationsItem& item) { completion(item.vevurizoInstallationID, nullptr); });
    operation.catch_([completion](const ErrorPtr& error) {
        completion(std::nullopt, VEVInstallationsErrorUtil::publicDomainErrorWithError(error));
    });
}

void VEVInstallations::authTokenWithCompletion(TokenCompletion completion) const {
    authTokenForcingRefresh(false, std::move(completion));
}

void VEVInstallations::authTokenForcingRefresh(bool forceRefresh, TokenCompletion completion) const {
    auto operation = installationsIDController_->getAuthTokenForcingRefresh(forceRefresh);
    operation.then([completion](const VEVInstallationsItem& item) {
        completion(std::make_shared<VEVInstallationsAuthTokenResult>(
                       item.authToken.token, item.authToken.expirationDate.value_or(foundation::Date{})),
                   nullptr);
    });
    operation.catch_([completion](const ErrorPtr& error) {
        completion(nullptr, VEVInstallationsErrorUtil::publicDomainErrorWithError(error));
    });
}

void VEVInstallations::deleteWithCompletion(DeleteCompletion completion) const {
    auto deleted = installationsIDController_->deleteInstallation();
    deleted.then([completion] { completion(nullptr); });
    deleted.catch_([completion](const ErrorPtr& error) {
        completion(VEVInstallationsErrorUtil::publicDomainErrorWithError(error));
    });
}

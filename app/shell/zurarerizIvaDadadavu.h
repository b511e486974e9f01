#pragma once
// The application's delegate: starts the SDK and the clinic database, holds the state every screen
// shares (screens reach it as their `appDelegate`), and asks for full photo access each time the app
// becomes active. The record operations are forwarded to the store's units.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/VestigialStore.h"
#include "app/store/ClinicState.h"
#include "app/store/DateFormatter.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"

namespace store {
class PhotoAlbumSource;
}

class zurarerizIvaDadadavu : public ui::ApplicationDelegate,
                             public std::enable_shared_from_this<zurarerizIvaDadadavu> {
  public:
    zurarerizIvaDadadavu();
    ~zurarerizIvaDadadavu() override;

    // The running application's delegate (what screens keep as `appDelegate`); null without one.
    static std::shared_ptr<zurarerizIvaDadadavu> shared();

    // ---- life cycle
    bool applicationDidFinishLaunchingWithOptions(ui::Application& application,
                                                  const foundation::Dictionary& launchOptions) override;
    void applicationDidBecomeActive(ui::Application& application) override;
    void applicationWillResignActive(ui::Application&) override {}
    void applicationDidEnterBackground(ui::Application&) override {}
    void applicationWillEnterForeground(ui::Application&) override {}
    void applicationWillTerminate(ui::Application& application) override;

    void logUser() {}
    // Shows the photo access alert, unless it is showing already.
    void openSettings();
    std::string applicationDocumentsDirectory() const;
    void saveContext();

    // ---- clinic database and records
    void connectDB();
    bool setPatientInfoData();
    bool registInquiry();
    bool registCertificate();
    bool registLetter();
    void getLetterPhotoInfo();
    void getCertificatePhotoInfo();
    void getPhotoInfoFromDB(const std::string& photoKind);
    void getAssetsListFromLibrary();

    // ---- shared state; screens read and change it in place
    store::ClinicState& state() { return state_; }
    std::shared_ptr<SQDatabase> db() const { return state_.db; }
    const std::shared_ptr<store::DateFormatter>& dateTimeFormatter() const { return dateTimeFormatter_; }
    bool touchMode() const { return touchMode_.load(); }
    void setTouchMode(bool on) { touchMode_.store(on); }
    std::optional<std::string>& patientID() { return state_.patientID; }
    std::optional<store::FormData>& inputItems() { return state_.inputItems; }
    std::optional<store::FormData>& patientInfo() { return state_.patientInfo; }
    store::FormData& certifiDataList() { return state_.certifiDataList; }
    store::FormData& letterDataList() { return state_.letterDataList; }
    store::FormData& medicalList() { return state_.medicalList; }
    auto& allAssetsList() { return state_.allAssetsList; }
    auto& allPhotoNoList() { return state_.allPhotoNoList; }
    auto& assetLocalIDList() { return state_.assetLocalIDList; }
    auto& allAssetsListForStep4() { return state_.allAssetsListForStep4; }
    const ui::BarButtonItemPtr& registButton() const { return registButton_; }
    const ui::BarButtonItemPtr& cancelButton() const { return cancelButton_; }
    std::string& DisplayName() { return displayName_; }
    std::string& PeerDisplayName() { return peerDisplayName_; }

    // ---- seams: how the SDK is started and where the photo lists come from
    void setSDKStarter(std::function<void()> starter) { startSDK_ = std::move(starter); }
    void setPhotoAlbumSource(std::shared_ptr<store::PhotoAlbumSource> source) {
        photoSource_ = std::move(source);
    }

  private:
    store::ClinicState state_;
    std::shared_ptr<store::DateFormatter> dateTimeFormatter_;
    std::atomic<bool> touchMode_{false};
    ui::BarButtonItemPtr registButton_;
    ui::BarButtonItemPtr cancelButton_;
    std::string displayName_;
    std::string peerDisplayName_;
    shell::VestigialStore store_;

    std::function<void()> startSDK_;
    std::shared_ptr<store::PhotoAlbumSource> photoSource_;
    std::weak_ptr<ui::AlertController> accessAlert_;
};

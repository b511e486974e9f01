#pragma once
// The application's delegate: starts the SDK and the clinic database, holds the state every screen
// shares (screens reach it as their `appDelegate`), and asks for full photo access each time the app
// becomes active. The record operations are forwarded to the store's units.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/FormInput.h"
#include "app/shell/VestigialStore.h"
#include "app/store/ClinicState.h"
#include "app/store/FormRecords.h"
#include "platform/foundation/AppHome.h"
#include "platform/sqlite/DateFormatter.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"

namespace store {
class PhotoAlbumSource;
class PatientPhotoInfo;
} // namespace store
namespace foundation {
struct Notification;
}
class QAbstractButton;
class QPixmap;
class QWidget;

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
    // True (as a condition) only for a patient who was found; a failed read says why.
    store::PatientRead setPatientInfoData();
    bool registInquiry();
    bool registCertificate();
    bool registLetter();
    // Why the registered photographs could not be read, if they could not (see PatientPhotoInfo).
    std::optional<store::DatabaseFailure> getLetterPhotoInfo();
    std::optional<store::DatabaseFailure> getCertificatePhotoInfo();
    void getPhotoInfoFromDB(const std::string& photoKind);
    void getAssetsListFromLibrary();

    // ---- shared form input operations (the rules are in FormInput.h)
    // Circles write `inputItems`; `image` is the circle the button shows when chosen.
    void onCircleSingle(QAbstractButton* button, QWidget* baseView, const QPixmap& image);
    void onCircleMulti(QAbstractButton* button, QWidget* baseView, const QPixmap& image);
    // `inputItems`[field's tag] = the text of the field (or text view).
    void inputTextItem(QWidget* field, QWidget* baseView);
    // Check labels write `certifiDataList`.
    void onCheckLabelSingle(int tag, QWidget* baseView, const std::string& mark);
    void onCheckLabelMulti(int tag, QWidget* baseView, const std::string& mark);
    // Moves the page for a keyboard notification, animated as "keyboardShow".
    void viewPositionChange(const foundation::Notification& notification, QWidget* baseView,
                            bool keyboardOpen);
    bool checkDigit(const std::string& text, const std::string& checkStr) const;
    // Milliseconds since 1970 as text: the cached one, forgetting it, and a fresh one.
    std::string timestamp();
    void clearTimestamp();
    std::string newTimestamp() const;
    void setTimestampClock(shell::forminput::Timestamps::Clock clock) {
        timestamps_ = shell::forminput::Timestamps(std::move(clock));
    }

    // ---- shared state; screens read and change it in place
    store::ClinicState& state() { return state_; }
    std::shared_ptr<SQDatabase> db() const { return state_.db; }
    const std::shared_ptr<sqlite::DateFormatter>& dateTimeFormatter() const { return dateTimeFormatter_; }
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

    // ---- seams: how the SDK is started, how the home is checked, how the app quits, and where the
    // photo lists come from
    void setSDKStarter(std::function<void()> starter) { startSDK_ = std::move(starter); }
    void setHomeCheck(std::function<std::optional<foundation::home::Problem>()> check) {
        checkHome_ = std::move(check);
    }
    void setQuitter(std::function<void(int status)> quit) { quit_ = std::move(quit); }
    // Why the app refused to start (its home cannot be used), if it did.
    const std::optional<foundation::home::Problem>& homeProblem() const { return homeProblem_; }
    // Why the clinic database cannot be used, if the launch found it so.
    const std::optional<store::DatabaseFailure>& databaseProblem() const { return databaseProblem_; }
    void setPhotoAlbumSource(std::shared_ptr<store::PhotoAlbumSource> source) {
        photoSource_ = std::move(source);
    }

  private:
    store::ClinicState state_;
    std::shared_ptr<sqlite::DateFormatter> dateTimeFormatter_;
    std::atomic<bool> touchMode_{false};
    ui::BarButtonItemPtr registButton_;
    ui::BarButtonItemPtr cancelButton_;
    std::string displayName_;
    std::string peerDisplayName_;
    shell::VestigialStore store_;

    // Says why the home cannot be used and quits after OK; nothing else of the start-up runs.
    void refuseToStart(const foundation::home::Problem& problem);
    // Says why the clinic database cannot be used; the app goes on (its saves will say it again).
    void tellDatabaseProblem(const store::DatabaseFailure& problem);

    std::function<void()> startSDK_;
    std::function<std::optional<foundation::home::Problem>()> checkHome_;
    std::function<void(int)> quit_;
    std::optional<foundation::home::Problem> homeProblem_;
    std::optional<store::DatabaseFailure> databaseProblem_;
    std::shared_ptr<store::PhotoAlbumSource> photoSource_;
    std::weak_ptr<ui::AlertController> accessAlert_;
    shell::forminput::Timestamps timestamps_;

    // The photo lists, telling the photo editor's settings which album is the patient's.
    store::PatientPhotoInfo photoInfo();
};

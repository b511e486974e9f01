#include "app/shell/zurarerizIvaDadadavu.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "app/shell/DatabaseProblem.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/HomeProblem.h"
#include "app/shell/PhotoLibraryAlbumSource.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/store/ClinicDatabase.h"
#include "app/store/FormRecords.h"
#include "app/store/PatientPhotoInfo.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/Window.h"
#include "sdk/core/VEVApp.h"

namespace {

constexpr const char* kAccessTitle = "アクセスリクエスト";
constexpr const char* kAccessMessage =
    "画像を読み込むにはすべての写真へのアクセスが必要です。\n"
    "設定画面の【プライバシー】→【写真】→【ストマビュー】から【すべての写真】を選択してください。";

int localSecondsFromGMT() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return int(local.tm_gmtoff);
}

double secondsNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace

zurarerizIvaDadadavu::zurarerizIvaDadadavu()
    : startSDK_([] { VEVApp::configure(); }), checkHome_([] { return foundation::home::ensureLayout(); }),
      quit_([](int status) { QCoreApplication::exit(status); }),
      photoSource_(std::make_shared<shell::PhotoLibraryAlbumSource>()) {}

zurarerizIvaDadadavu::~zurarerizIvaDadadavu() = default;

std::shared_ptr<zurarerizIvaDadadavu> zurarerizIvaDadadavu::shared() {
    auto* app = ui::Application::shared();
    return app ? std::dynamic_pointer_cast<zurarerizIvaDadadavu>(app->delegate()) : nullptr;
}

bool zurarerizIvaDadadavu::applicationDidFinishLaunchingWithOptions(ui::Application&,
                                                                    const foundation::Dictionary&) {
    // Every record of the clinic lives under the home: without one to write in nothing can work.
    if (auto problem = checkHome_ ? checkHome_() : std::nullopt) {
        refuseToStart(*problem);
        return true;
    }
    logUser();
    if (startSDK_) startSDK_();
    dateTimeFormatter_ = std::make_shared<sqlite::DateFormatter>("yyyy-MM-dd", localSecondsFromGMT());
    state_.today = [formatter = dateTimeFormatter_] {
        return formatter->stringFromDate(foundation::Date{secondsNow()});
    };
    connectDB();
    registButton_ = ui::BarButtonItem::create("登録", ui::BarButtonItemStyle::Done);
    cancelButton_ = ui::BarButtonItem::create("キャンセル", ui::BarButtonItemStyle::Plain);
    state_.certifiDataList = {};
    state_.letterDataList = {};
    state_.medicalList = {};
    return true;
}

void zurarerizIvaDadadavu::refuseToStart(const foundation::home::Problem& problem) {
    homeProblem_ = problem;
    foundation::logMessage(shell::homeProblemLogLine(problem));
    auto w = window();
    if (!w || !w->rootViewController()) {
        if (quit_) quit_(EXIT_FAILURE);
        return;
    }
    std::weak_ptr<zurarerizIvaDadadavu> weak = weak_from_this();
    shell::presentError(*w->rootViewController(), shell::homeProblemMessage(problem),
                        [weak](ui::AlertAction&) {
                            if (auto self = weak.lock(); self && self->quit_) self->quit_(EXIT_FAILURE);
                        });
}

void zurarerizIvaDadadavu::applicationDidBecomeActive(ui::Application&) {
    if (homeProblem_) return; // only the home's alert shows
    std::weak_ptr<zurarerizIvaDadadavu> weak = weak_from_this();
    photos::PhotoLibrary::requestAuthorization(photos::AccessLevel::ReadWrite,
                                               [weak](photos::AuthorizationStatus status) {
                                                   foundation::log("requestAuthorization: %ld", long(status));
                                                   if (status == photos::AuthorizationStatus::Authorized)
                                                       return;
                                                   foundation::SerialQueue::main()->async([weak] {
                                                       if (auto self = weak.lock()) self->openSettings();
                                                   });
                                               });
}

void zurarerizIvaDadadavu::openSettings() {
    // Activations can come faster than the user answers: one alert is enough.
    if (auto shown = accessAlert_.lock(); shown && shown->presentingViewController()) return;
    auto w = window();
    if (!w || !w->rootViewController()) return;
    auto alert = ui::AlertController::create(kAccessTitle, kAccessMessage, ui::AlertStyle::Alert);
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, [](ui::AlertAction&) {
        auto* app = ui::Application::shared();
        if (app && app->canOpenURL(ui::kApplicationOpenSettingsURLString))
            app->openURL(ui::kApplicationOpenSettingsURLString);
    }));
    accessAlert_ = alert;
    w->rootViewController()->present(alert, true);
}

void zurarerizIvaDadadavu::applicationWillTerminate(ui::Application&) {
    saveContext();
}

std::string zurarerizIvaDadadavu::applicationDocumentsDirectory() const {
    return foundation::home::documents();
}

void zurarerizIvaDadadavu::saveContext() {
    store_.saveContext();
}

void zurarerizIvaDadadavu::connectDB() {
    databaseProblem_ = store::ClinicDatabase(state_).connectDB();
    if (databaseProblem_) tellDatabaseProblem(*databaseProblem_);
}

void zurarerizIvaDadadavu::tellDatabaseProblem(const store::DatabaseFailure& problem) {
    const std::string path = store::ClinicDatabase::databasePath();
    foundation::logMessage(shell::databaseProblemLogLine(path, problem));
    auto w = window();
    if (!w || !w->rootViewController()) return;
    shell::presentError(*w->rootViewController(), shell::databaseProblemMessage(path, problem));
}
store::PatientRead zurarerizIvaDadadavu::setPatientInfoData() {
    return store::FormRecords(state_).setPatientInfoData();
}
bool zurarerizIvaDadadavu::registInquiry() {
    return store::FormRecords(state_).registInquiry();
}
bool zurarerizIvaDadadavu::registCertificate() {
    return store::FormRecords(state_).registCertificate();
}
bool zurarerizIvaDadadavu::registLetter() {
    return store::FormRecords(state_).registLetter();
}
// Each walk of the albums sets the editor's album anew, so a patient without an album never inherits
// the previous patient's.
std::optional<store::DatabaseFailure> zurarerizIvaDadadavu::getLetterPhotoInfo() {
    StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::nullopt);
    return photoInfo().getLetterPhotoInfo();
}
std::optional<store::DatabaseFailure> zurarerizIvaDadadavu::getCertificatePhotoInfo() {
    StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::nullopt);
    return photoInfo().getCertificatePhotoInfo();
}
void zurarerizIvaDadadavu::getPhotoInfoFromDB(const std::string& photoKind) {
    photoInfo().getPhotoInfoFromDB(photoKind);
}
void zurarerizIvaDadadavu::getAssetsListFromLibrary() {
    StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::nullopt);
    photoInfo().getAssetsListFromLibrary();
}

store::PatientPhotoInfo zurarerizIvaDadadavu::photoInfo() {
    store::PatientPhotoInfo info(state_, photoSource_);
    info.onPatientAlbum = [](const store::PhotoAlbum& album) {
        StaticVariableHelper::setTargetAlbumForOnePageImageEditor(album);
    };
    return info;
}

#include "app/photos/receive/PeerListViewController.h"

#include <QEvent>
#include <QListWidgetItem>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/photos/albums/McInfo.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/photos/receive/PeerTransferState.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/photos/ChangeFailure.h"
#include "platform/photos/ImageCheck.h"
#include "platform/photos/LibraryWait.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "ui_PeerListViewController.h"

namespace {
constexpr unsigned kMaskBlack = ZVProgressHUDMaskTypeBlack;

// The integer after the last comma, read as the sender wrote it; no number (or one too large) is 0.
long announcedTotal(const std::string& text) {
    const auto comma = text.rfind(',');
    if (comma == std::string::npos) return 0;
    const std::string tail = text.substr(comma + 1);
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(tail.c_str(), &end, 10);
    if (end == tail.c_str()) return 0;
    if ((errno == ERANGE && n == LLONG_MAX) || n >= LONG_MAX) return 0;
    if (errno == ERANGE) return LONG_MIN;
    return long(n);
}

QString receivingStatus(long received, long total) {
    return QString::fromStdString(foundation::format("受信中\n%ld/%ld", received, total));
}

// A library that cannot be opened keeps no photograph.
bool photographsCanBeKept() {
    return photos::PhotoLibrary::shared()->isAvailable();
}

// The cause on a line of its own, as when saves failed.
std::string cannotReceiveText() {
    return photos::failureCause(photos::FailureCause::LibraryUnavailable) + "\n写真を受信できません。";
}
} // namespace

PeerListViewController::PeerListViewController()
    : form_(std::make_unique<Ui::PeerListViewController>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

PeerListViewController::~PeerListViewController() {
    if (appDelegate_) appDelegate_->clearTimestamp();
    if (sessionHelper_) sessionHelper_->stopAdvertise();
}

std::shared_ptr<PeerListViewController> PeerListViewController::self() {
    return std::static_pointer_cast<PeerListViewController>(shared_from_this());
}

void PeerListViewController::loadView() {
    loadViewFromForm(*form_);
}

QListWidget* PeerListViewController::tableView() const {
    return form_->tableView;
}

void PeerListViewController::createSessionWithDisplayName(const std::string& displayName) {
    if (appDelegate_) appDelegate_->DisplayName() = displayName;
    sessionHelper_ = SessionHelper::create(displayName);
    sessionHelper_->setDelegate(self());
}

void PeerListViewController::viewDidLoad() {
    setTitle("画像受信");
    navigationItem().setBackButtonTitle("戻る");
    view()->installEventFilter(this);
    std::weak_ptr<PeerListViewController> weak = self();
    connect(tableView(), &QListWidget::itemClicked, this, [weak](QListWidgetItem* item) {
        auto s = weak.lock();
        if (!s || !s->sessionHelper_) return;
        s->selectedPeerID_ = s->sessionHelper_->connectedPeerIDAtIndex(size_t(s->tableView()->row(item)));
        if (s->selectedPeerID_) s->showImagePickerController(false);
    });
    browsebtn_ = ui::BarButtonItem::create("", ui::BarButtonItemStyle::Plain);
    browsebtn_->setEnabled(false);
    browsebtn_->setTitle("");
    navigationItem().setRightBarButtonItem(browsebtn_);
    setPhotoFolderName();
    checkPhotoFolder();
    // Whether the patient was found or could not be read, the screen stays.
    if (appDelegate_ &&
        shell::loadPatient(*this, *appDelegate_, patientID_).outcome == store::PatientRead::Outcome::Absent)
        shell::presentError(*this, "入力されたIDの患者情報はありません");
    photoType_ = photoalbums::kNormal;
    if (appDelegate_)
        scan_ = std::make_shared<photoalbums::PhotoAlbumScan>(appDelegate_->state(),
                                                              photos::PhotoLibrary::shared(), patientID_,
                                                              photoType_, getPhotoFolderName().value_or(""));
    reloadData();
    sayIfPhotographsCannotBeKept();
}

void PeerListViewController::sayIfPhotographsCannotBeKept() {
    if (photographsCanBeKept()) return;
    // Said now, before a sender comes; each transfer is refused too (see readinessStep).
    auto library = photos::PhotoLibrary::shared();
    foundation::log("The photo library %@ cannot be opened: %@", library->root(), library->openError());
    shell::presentError(*this, cannotReceiveText());
}

void PeerListViewController::viewDidDisappear(bool) {
    auto nav = navigationController();
    bool inStack = false;
    if (nav)
        for (const auto& vc : nav->viewControllers())
            inStack = inStack || vc.get() == this;
    if (!inStack) leftParent();
}

bool PeerListViewController::eventFilter(QObject* watched, QEvent* event) {
    if (isViewLoaded() && watched == view() && event->type() == QEvent::ParentChange &&
        !view()->parentWidget())
        leftParent();
    return ui::ViewController::eventFilter(watched, event);
}

void PeerListViewController::leftParent() {
    // The screen left its parent controller: the device stops being findable.
    if (sessionHelper_) sessionHelper_->stopAdvertise();
}

std::optional<std::string> PeerListViewController::getPhotoFolderName() const {
    return photoalbums::getPhotoFolderName();
}

void PeerListViewController::setPhotoFolderName() {
    photoalbums::setPhotoFolderName(getPhotoFolderName());
}

void PeerListViewController::checkPhotoFolder() {
    std::weak_ptr<PeerListViewController> weak = self();
    const std::string title = photoalbums::cameraAlbumTitle();
    photos::PhotoLibrary::requestAuthorization(
        photos::AccessLevel::ReadWrite, [weak, title](photos::AuthorizationStatus status) {
            if (status != photos::AuthorizationStatus::Authorized || title.empty()) return;
            auto library = photos::PhotoLibrary::shared();
            auto keep = [weak](std::optional<photos::Album> album) {
                foundation::SerialQueue::main()->async([weak, album] {
                    if (auto s = weak.lock()) s->assetCollection_ = album;
                });
            };
            auto found = library->albumsWithTitle(title);
            if (!found.empty()) return keep(found.front());
            std::weak_ptr<photos::PhotoLibrary> weakLibrary = library;
            library->performChanges([title](photos::ChangeRequest& c) { c.createAlbum(title); },
                                    [weakLibrary, title, keep](bool success, foundation::ErrorPtr error) {
                                        if (!success) {
                                            foundation::log("Error creating AssetCollection: %@",
                                                            error ? error->description() : "");
                                            return;
                                        }
                                        auto lib = weakLibrary.lock();
                                        if (!lib) return;
                                        auto again = lib->albumsWithTitle(title);
                                        if (!again.empty()) keep(again.front());
                                    });
        });
}

void PeerListViewController::getAssetsListFromLibrary() {
    if (!appDelegate_) return;
    // A fresh scan for each filing: what an earlier transfer scanned must not be filed twice.
    auto scan = std::make_shared<photoalbums::PhotoAlbumScan>(
        appDelegate_->state(), photos::PhotoLibrary::shared(), patientID_, photoalbums::kNormal,
        getPhotoFolderName().value_or(""));
    scan_ = scan; // and held here while it runs: its waits run the event loop
    scan->getAssetsListFromLibrary(true);
}

void PeerListViewController::reloadData() {
    tableView()->clear();
    if (!sessionHelper_) return;
    for (const auto& p : sessionHelper_->connectedPeerIDs())
        new QListWidgetItem(QString::fromStdString(p->displayName()), tableView());
}

// ---- session events

void PeerListViewController::sessionHelperDidChangeConnectedPeer(const peer::PeerIDPtr& peerID, bool flag) {
    if (!isViewLoaded()) return;
    if (flag)
        peerLeft(peerID);
    else
        peerJoined(peerID);
}

void PeerListViewController::peerJoined(const peer::PeerIDPtr& peerID) {
    reloadData();
    ZVProgressHUD::showSuccessWithStatusMaskType("接続しました", kMaskBlack);
    if (!selectedPeerID_) selectedPeerID_ = peerID;
    std::weak_ptr<PeerListViewController> weak = self();
    foundation::SerialQueue::main()->after(0.5, [weak] {
        if (auto s = weak.lock()) s->showImagePickerController(false);
    });
}

void PeerListViewController::peerLeft(const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    reloadData();
    if (appDelegate_) appDelegate_->clearTimestamp();
    // Photographs of a cut transfer are still filed, unless an end step is about to do it.
    const bool cutShort = st.status == 1 && (st.count > 0 || st.pending > 0) && !st.endStepRunning;
    st.status = 0;
    st.total = 0;
    st.count = 0;
    st.saved = 0;
    st.failed = 0;
    st.failureCauses.clear();
    st.leaves += 1;
    st.transfer += 1;
    st.stopTimer();
    st.idleTimerDisabled = false;
    ZVProgressHUD::showErrorWithStatusMaskType("接続が切れました", kMaskBlack);
    if (selectedPeerID_ == peerID) selectedPeerID_.reset();
    std::erase_if(heldTexts_, [&peerID](const HeldText& held) { return held.peerID == peerID; });
    dismissPresented(false);
    if (cutShort) fileArrivedAfterCut();
}

void PeerListViewController::fileArrivedAfterCut() {
    auto keep = self(); // the wait below runs the event loop: the screen may be left meanwhile
    auto& st = PeerTransferState::shared();
    st.endStepRunning = true;
    photos::runMainLoopUntil([&st] { return st.pending <= 0; }, 0.5);
    foundation::log("transfer cut short: filing the photographs that arrived");
    fileNewPhotographs();
    st.endStepRunning = false;
    serveHeldTexts();
}

void PeerListViewController::fileNewPhotographs() {
    auto& st = PeerTransferState::shared();
    st.filing = true;
    getAssetsListFromLibrary();
    st.filing = false;
}

void PeerListViewController::sessionHelperDidRecieveMessage(const std::string& message,
                                                            const peer::PeerIDPtr& peerID) {
    // While new photographs are filed, the next transfer waits: the filing has scanned the camera
    // album already, and what came in now would be left out of it. Texts are answered afterwards,
    // in the order they came.
    if (PeerTransferState::shared().filing || !heldTexts_.empty()) {
        if (message.rfind("Start", 0) == 0 || message == "Ready" || message == "End")
            heldTexts_.push_back(HeldText{message, peerID});
        return;
    }
    answerText(message, peerID);
}

void PeerListViewController::serveHeldTexts() {
    if (heldTexts_.empty()) return;
    // From the main queue, so that an end step that served one does not nest the next inside it.
    std::weak_ptr<PeerListViewController> weak = self();
    foundation::SerialQueue::main()->async([weak] {
        auto s = weak.lock();
        if (!s) return;
        while (!PeerTransferState::shared().filing && !s->heldTexts_.empty()) {
            HeldText held = std::move(s->heldTexts_.front());
            s->heldTexts_.pop_front();
            s->answerText(held.text, held.peerID);
        }
    });
}

void PeerListViewController::answerText(const std::string& message, const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    if (message.rfind("Start", 0) == 0) {
        st.count = 0;
        st.saved = 0;
        st.failed = 0;
        st.failureCauses.clear();
        st.total = announcedTotal(message);
        ZVProgressHUD::showWithStatusMaskType(receivingStatus(st.count, st.total), kMaskBlack);
        readinessStep(peerID);
    } else if (message == "Ready") {
        readinessStep(peerID);
    } else if (message == "End") {
        endStep(peerID);
    }
}

void PeerListViewController::readinessStep(const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    if (st.status == 1) {
        sessionHelper_->sendForbidden(peerID);
        return;
    }
    if (!photographsCanBeKept()) {
        // Taken and answered, they would be lost: the sender keeps them and may try again later.
        sessionHelper_->sendForbidden(peerID);
        ZVProgressHUD::showErrorWithStatusMaskType(QString::fromStdString(cannotReceiveText()), kMaskBlack);
        return;
    }
    st.status = 1;
    st.transfer += 1;
    st.idleTimerDisabled = true;
    sessionHelper_->sendReadiness(peerID);
    restartTimer(); // a sender that says nothing more must not hold the screen
}

void PeerListViewController::sessionHelperIsReceivingData(const peer::PeerIDPtr&) {
    // A photograph on its way: the wait for the sender counts from its latest bytes.
    if (PeerTransferState::shared().status == 1 && PeerTransferState::shared().timer) restartTimer();
}

void PeerListViewController::endStep(const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    if (st.endTaken == st.transfer) {
        foundation::log("End ignored: this transfer's End was taken already");
        return;
    }
    st.endTaken = st.transfer;
    st.endStepRunning = true;
    auto keep = self(); // the waits run the event loop: the screen may be left meanwhile
    const long leavesBefore = st.leaves;
    // Until every announced photograph is stored (or failed), and nothing still being stored.
    photos::runMainLoopUntil([&st] { return st.saved >= st.total && st.pending <= 0; }, 0.5);
    st.stopTimer();
    st.status = 0;
    const bool cut = st.leaves != leavesBefore;
    std::string notKept;
    if (!cut) {
        sessionHelper_->sendCompletion(peerID);
        if (st.failed > 0) {
            // Why, as the editor says it of a save, then how many: each cause on a line of its own.
            std::string logged;
            for (const auto& cause : st.failureCauses) {
                notKept += cause + "\n";
                logged += cause;
            }
            const std::string count =
                foundation::format("%lu枚の写真を保存できませんでした", (unsigned long)st.failed);
            notKept += count;
            foundation::log("%@", logged + count);
            ZVProgressHUD::showErrorWithStatusMaskType(QString::fromStdString(notKept), kMaskBlack);
        } else {
            ZVProgressHUD::showSuccessWithStatusMaskType("受信完了", kMaskBlack);
        }
    }
    fileNewPhotographs();
    st.idleTimerDisabled = false;
    dismissPresented(true);
    // The overlay's words go as soon as the sender leaves, which senders do right after Completion.
    if (!notKept.empty()) sayPhotographsNotKept(notKept);
    st.endStepRunning = false;
    serveHeldTexts();
}

void PeerListViewController::sayPhotographsNotKept(const std::string& text) {
    // One still waiting for the staff keeps its words above the new ones.
    std::string message = text;
    auto root = window() ? window()->rootViewController() : nullptr;
    if (auto earlier = notKeptAlert_.lock(); earlier && root && root->presentedViewController() == earlier) {
        message = earlier->message() + "\n\n" + text;
        root->dismiss(false);
    }
    auto alert = shell::errorAlert(message);
    notKeptAlert_ = alert;
    present(alert, true);
}

void PeerListViewController::sessionHelperDidRecieveImage(const QByteArray& imageData, unsigned long,
                                                          const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    if (st.status != 1) return;
    st.stopTimer();
    saveReceived(imageData, peerID);
}

// The photograph is decoded once, on the library's queue, just before its asset is made: a picture is
// answered "Progress" from there (the queue keeps the order they arrived in) and stored; anything
// else is refused as no photograph, with no reply.
void PeerListViewController::saveReceived(const QByteArray& data, const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    st.pending += 1;
    // Photographs wait for the library's queue in memory: past a few, the sender waits instead.
    if (st.pending >= kMostPhotographsBeingStored) sessionHelper_->holdIncomingData(true);
    const long transfer = st.transfer;
    const std::string album = photoalbums::cameraAlbumTitle();
    auto accepted = std::make_shared<bool>(false); // written on the library's queue before either post
    std::weak_ptr<PeerListViewController> weak = self();
    photos::PhotoLibrary::shared()->performChanges(
        [album, data, accepted, weak, transfer, peerID](photos::ChangeRequest& change) {
            foundation::Data bytes(data.begin(), data.end());
            photos::ImageCheck check = photos::checkImage(bytes);
            if (!check) {
                foundation::log("photograph refused: %@", check.refusal);
                return;
            }
            *accepted = true;
            foundation::SerialQueue::main()->async([weak, transfer, peerID] {
                if (auto s = weak.lock()) s->photographAccepted(transfer, peerID);
            });
            if (album.empty()) return change.fail("No camera album title.");
            const std::string id = change.createImageAsset(std::move(bytes), std::move(*check.info));
            change.addAssetsToAlbumTitled(album, {id});
        },
        [weak, accepted](bool success, foundation::ErrorPtr error) {
            if (*accepted) {
                if (success)
                    foundation::log("creating Asset Success");
                else
                    foundation::log("creating Asset Error: %@", error ? error->description() : "");
            }
            const bool stored = *accepted;
            const std::string cause = photos::failureCauseOf(error);
            foundation::SerialQueue::main()->async([weak, success, stored, cause] {
                auto& st = PeerTransferState::shared();
                st.pending -= 1;
                if (stored) {
                    st.saved += 1;
                    if (!success) st.saveFailed(cause);
                }
                auto s = weak.lock();
                if (!s) return;
                if (st.pending < kMostPhotographsBeingStored && s->sessionHelper_)
                    s->sessionHelper_->holdIncomingData(false);
                s->restartTimer();
            });
        });
}

void PeerListViewController::photographAccepted(long transfer, const peer::PeerIDPtr& peerID) {
    auto& st = PeerTransferState::shared();
    if (transfer != st.transfer) return; // its transfer is over: stored, but no longer answered
    st.count += 1;
    sessionHelper_->sendProgress(peerID, (unsigned long)st.count);
    ZVProgressHUD::showWithStatusMaskType(receivingStatus(st.count, st.total), kMaskBlack);
}

void PeerListViewController::restartTimer() {
    auto& st = PeerTransferState::shared();
    st.stopTimer();
    std::weak_ptr<PeerListViewController> weak = self();
    st.timer = foundation::Timer::schedule(foundation::SerialQueue::main(), kReceiveTimeout, false, [weak] {
        if (auto s = weak.lock()) s->receiveTimeOut();
    });
}

void PeerListViewController::receiveTimeOut() {
    foundation::log("rcv timeout!");
    PeerTransferState::shared().stopTimer();
    // The silent sender is let go and the screen freed as when a sender leaves; the device stays
    // findable, so the next sender can come without the screen being opened again.
    if (sessionHelper_) sessionHelper_->disconnectPeers();
}

// ---- picker

void PeerListViewController::showImagePickerController(bool animated) {
    auto w = window();
    if (!w || !w->rootViewController()) return;
    if (auto shown = picker_.lock(); shown && shown->presentingViewController()) return;
    auto picker = std::make_shared<ZQImagePickerController>();
    picker->setDelegate(self());
    picker->setAllowsMultipleSelection(false);
    picker->setMediaType(ZQImagePickerController::kMediaTypeImage);
    picker->setAssetCollectionSubtypes(
        {ZQImagePickerController::kAssetCollectionSubtypeSmartAlbumUserLibrary});
    picker_ = picker;
    w->rootViewController()->present(picker, animated);
}

void PeerListViewController::qb_imagePickerControllerDidFinishPickingAssets(
    ZQImagePickerController&, const std::vector<photos::Asset>& assets) {
    for (const auto& a : assets)
        foundation::log("picked asset %@", a.localIdentifier);
}

void PeerListViewController::qb_imagePickerControllerDidCancel(ZQImagePickerController& picker) {
    picker.dismiss(false);
}

void PeerListViewController::dismissPresented(bool animated) {
    auto w = window();
    if (!w) {
        // Left the window: close only what this screen opened.
        if (auto p = picker_.lock(); p && p->presentingViewController()) p->dismiss(animated);
        return;
    }
    // What the root presents goes, and with it anything presented above it; the alert about photographs
    // not kept stays until the staff dismiss it.
    auto root = w->rootViewController();
    auto presented = root ? root->presentedViewController() : nullptr;
    if (presented && presented != notKeptAlert_.lock()) root->dismiss(animated);
}

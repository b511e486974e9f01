#pragma once
// The receive screen: advertises this device, serves one sender, answers its control texts, stores
// each photograph as received in the camera album and, at the end of a transfer, files the new
// photographs into the patient's pool album and records the pool in photoMst.
#include <QListWidget>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/receive/SessionHelper.h"
#include "app/photos/receive/ZQImagePickerController.h"
#include "platform/photos/Asset.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class PeerListViewController;
}

class PeerListViewController : public ui::ViewController,
                               public SessionHelperDelegate,
                               public ZQImagePickerControllerDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "PeerListViewController";
    // Seconds a transfer may go without a sign of its sender (from "Readiness", a stored photograph
    // or the last bytes of one still coming) before the sender is let go.
    static constexpr double kReceiveTimeout = 180.0;

    // Photographs handed to the library and not yet stored, beyond which the sender is held back.
    static constexpr long kMostPhotographsBeingStored = 4;

    PeerListViewController();
    ~PeerListViewController() override;

    void setPatientID(std::string pid) { patientID_ = std::move(pid); }
    const std::string& patientID() const { return patientID_; }
    void createSessionWithDisplayName(const std::string& displayName);
    const std::shared_ptr<SessionHelper>& sessionHelper() const { return sessionHelper_; }
    const peer::PeerIDPtr& selectedPeerID() const { return selectedPeerID_; }
    const std::optional<photos::Album>& assetCollection() const { return assetCollection_; }
    const std::string& photoType() const { return photoType_; }
    const ui::BarButtonItemPtr& browsebtn() const { return browsebtn_; }
    QListWidget* tableView() const;
    // The album state of the last scan (null before the first).
    photoalbums::PhotoAlbumScan* albumScan() const { return scan_.get(); }

    void viewDidLoad() override;
    void viewDidDisappear(bool animated) override;

    std::optional<std::string> getPhotoFolderName() const;
    void setPhotoFolderName();
    void checkPhotoFolder();
    void getAssetsListFromLibrary();
    void showImagePickerController(bool animated);
    void receiveTimeOut();

    // SessionHelperDelegate
    void sessionHelperDidChangeConnectedPeer(const peer::PeerIDPtr& peerID, bool flag) override;
    void sessionHelperDidRecieveImage(const QByteArray& imageData, unsigned long sizeOfImage,
                                      const peer::PeerIDPtr& peerID) override;
    void sessionHelperDidRecieveMessage(const std::string& message, const peer::PeerIDPtr& peerID) override;
    void sessionHelperIsReceivingData(const peer::PeerIDPtr& peerID) override;

    // ZQImagePickerControllerDelegate
    void qb_imagePickerControllerDidFinishPickingAssets(ZQImagePickerController& picker,
                                                        const std::vector<photos::Asset>& assets) override;
    void qb_imagePickerControllerDidCancel(ZQImagePickerController& picker) override;

  protected:
    void loadView() override;
    // Taken off its navigation stack (its view loses its parent), even behind a presented picker.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct HeldText {
        std::string text;
        peer::PeerIDPtr peerID;
    };

    void leftParent();
    // An alert when the photo library cannot be opened, so nothing received could be kept.
    void sayIfPhotographsCannotBeKept();
    void answerText(const std::string& message, const peer::PeerIDPtr& peerID);
    void serveHeldTexts();
    void readinessStep(const peer::PeerIDPtr& peerID);
    void endStep(const peer::PeerIDPtr& peerID);
    void peerJoined(const peer::PeerIDPtr& peerID);
    void peerLeft(const peer::PeerIDPtr& peerID);
    void saveReceived(const QByteArray& data, const peer::PeerIDPtr& peerID);
    void photographAccepted(long transfer, const peer::PeerIDPtr& peerID);
    void restartTimer();
    void reloadData();
    void dismissPresented(bool animated);
    // "エラー" with the overlay's words about photographs not kept, which no later dismissal closes.
    void sayPhotographsNotKept(const std::string& text);
    void fileArrivedAfterCut();
    // The album scan, move and row write of what arrived, holding texts while it runs.
    void fileNewPhotographs();
    std::shared_ptr<PeerListViewController> self();

    std::unique_ptr<Ui::PeerListViewController> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    std::string patientID_;
    std::shared_ptr<SessionHelper> sessionHelper_;
    peer::PeerIDPtr selectedPeerID_;
    std::optional<photos::Album> assetCollection_;
    std::string photoType_;
    ui::BarButtonItemPtr browsebtn_;
    std::shared_ptr<photoalbums::PhotoAlbumScan> scan_;
    std::weak_ptr<ZQImagePickerController> picker_;
    std::deque<HeldText> heldTexts_; // came while photographs were filed; answered afterwards
    std::weak_ptr<ui::AlertController> notKeptAlert_;
};

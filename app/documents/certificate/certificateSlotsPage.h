#pragma once
#include <string>
#include <vector>

#include "app/documents/pages/certificatePageView.h"
#include "app/store/ClinicState.h"

class QLabel;
class QListWidget;
class QPushButton;

// Pages 2 and 3: check marks, text fields, and photo slots filled from the patient's photographs
// of each kind at the positions the photo-selection screen gave them.
class certificateSlotsPage : public certificatePageView {
    Q_OBJECT
  public:
    ~certificateSlotsPage() override;

    void viewDidLoad() override;
    virtual void setInitialData();

    void touchesEnded(QWidget* touched) override;
    void tapImageView(long tag);
    // Offers the photographs a slot may take.
    virtual void settingRegisterdPhoto(const std::string& kind, long slotNumber);
    void dispCollectionView();
    void hideCollectionView();
    void closeCollection();
    void deselectPhoto();
    void deselectPhotoFromList(const std::string& key);
    void removeAssetFromAllassetsList(const store::PhotoAsset& asset);
    // A photograph chosen from the open list.
    void didSelectItem(int row);

    bool textViewShouldBeginEditing(ui::TextView& view) override;
    void keyboardWillShow(const foundation::Notification& notification) override;
    void keyboardWillHide(const foundation::Notification& notification) override;

    // The positions of the photo-selection screen that feed a slot ("5", "2,8" …); empty for none.
    static std::string positionGroup(int page, const std::string& kind, long slotNumber);

    const std::vector<store::PhotoAsset>& assetsList() const { return assetsList_; }
    long selectTagNo() const { return selectTagNo_; }
    const std::string& showPhotoType() const { return showPhotoType_; }
    QListWidget* collectionView() const;
    QPushButton* deselectBtn() const;
    QPushButton* closeCollectionBtn() const;
    // The collection's caption, where the page has one.
    QLabel* labellabel() const;

  protected:
    explicit certificateSlotsPage(int page);
    // A stored number's value; 0 when the text is none.
    static long integerValue(const std::string& text);
    // The form record the slots and fields write.
    virtual store::FormData& record() const;
    // The assets a slot of this page is filled from.
    std::vector<store::PhotoAsset>& sourceList();
    // Whether a placed photograph leaves its kind's list (and comes back to it when taken out).
    virtual bool slotsTakeFromSource() const { return true; }
    // Shows the photograph of the identifier in the slot once it arrives.
    virtual void requestSlotImage(const std::string& localIdentifier, QLabel* slot);
    // A stored value shown on a label of the page: a slot's photograph, a page-3 face, or the text.
    virtual void showStoredLabel(QLabel* label, int tag, const std::string& value);
    void setShowPhotoType(std::string kind) { showPhotoType_ = std::move(kind); }
    // The list offers these photographs, in this order.
    void showAssets(std::vector<store::PhotoAsset> assets);

  private:
    void addListItem(const store::PhotoAsset& asset);

    std::string showPhotoType_;
    std::vector<store::PhotoAsset> assetsList_;
    long selectTagNo_ = 0;
};

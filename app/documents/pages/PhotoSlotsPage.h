#pragma once
#include <string>
#include <vector>

#include "app/documents/pages/certificatePageView.h"
#include "app/store/ClinicState.h"
#include "platform/photos/Asset.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// A page with photo slots (the certificate's pages 2 and 3 and its one-page form, the letter's second
// page): a tapped slot is chosen, a list offers the photographs it may take, and the chosen
// photograph fills it; text fields and stored values are shown from the page's form record.
class PhotoSlotsPage : public certificatePageView {
    Q_OBJECT
  public:
    ~PhotoSlotsPage() override;

    void viewDidLoad() override;
    virtual void setInitialData();

    void tapImageView(long tag);
    // Offers the photographs a slot may take.
    virtual void settingRegisterdPhoto(const std::string& kind, long slotNumber) = 0;
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

    const std::vector<store::PhotoAsset>& assetsList() const { return assetsList_; }
    long selectTagNo() const { return selectTagNo_; }
    const std::string& showPhotoType() const { return showPhotoType_; }
    QListWidget* collectionView() const;
    QPushButton* deselectBtn() const;
    QPushButton* closeCollectionBtn() const;
    // The collection's caption, where the page has one.
    QLabel* labellabel() const;

  protected:
    explicit PhotoSlotsPage(int page);
    // A stored number's value; 0 when the text is none.
    static long integerValue(const std::string& text);
    // The form record the slots and fields write.
    virtual store::FormData& record() const = 0;
    // The assets a slot of this page is filled from: the patient's photographs of the kind shown.
    virtual std::vector<store::PhotoAsset>& sourceList();
    // Whether a placed photograph leaves its kind's list (and comes back to it when taken out).
    virtual bool slotsTakeFromSource() const { return true; }
    // Shows the photograph of the identifier in the slot once it arrives.
    virtual void requestSlotImage(const std::string& localIdentifier, QLabel* slot);
    // A stored value shown on a label of the page: a slot's photograph, or the text.
    virtual void showStoredLabel(QLabel* label, int tag, const std::string& value);
    // Gives the list's item a cell of its own showing the photograph (none found: an empty cell);
    // false leaves the item to show the photograph as its icon.
    virtual bool showInCell(QListWidget* /*list*/, QListWidgetItem* /*item*/,
                            const std::vector<photos::Asset>& /*found*/) {
        return false;
    }
    void setShowPhotoType(std::string kind) { showPhotoType_ = std::move(kind); }
    // The list offers these photographs, in this order.
    void showAssets(std::vector<store::PhotoAsset> assets);

  private:
    void addListItem(const store::PhotoAsset& asset);

    std::string showPhotoType_;
    std::vector<store::PhotoAsset> assetsList_;
    long selectTagNo_ = 0;
};

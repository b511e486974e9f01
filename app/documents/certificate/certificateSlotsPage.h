#pragma once
#include <string>
#include <vector>

#include "app/documents/pages/PhotoSlotsPage.h"

// The certificate's pages with photo slots (pages 2 and 3, the one-page form): check marks, text
// fields, and slots filled from the patient's photographs of each kind at the positions the
// photo-selection screen gave them.
class certificateSlotsPage : public PhotoSlotsPage {
    Q_OBJECT
  public:
    ~certificateSlotsPage() override;

    void touchesEnded(QWidget* touched) override;
    // Offers the photographs of the kind that the selection screen placed at the slot's positions.
    void settingRegisterdPhoto(const std::string& kind, long slotNumber) override;

    // The positions of the photo-selection screen that feed a slot ("5", "2,8" …); empty for none.
    static std::string positionGroup(int page, const std::string& kind, long slotNumber);

  protected:
    explicit certificateSlotsPage(int page);
    store::FormData& record() const override;
    // Page 3 is filled from its own list of the patient's photographs.
    std::vector<store::PhotoAsset>& sourceList() override;
    // Page 3's faces show their icons.
    void showStoredLabel(QLabel* label, int tag, const std::string& value) override;
    // Page 3's and the one-page form's lists show their photographs in cells of their own.
    bool showInCell(QListWidget* list, QListWidgetItem* item,
                    const std::vector<photos::Asset>& found) override;
};

#pragma once
// The certificate's one-page form over the same record as the three-page form: the two judgements,
// the examination and next-visit dates with their weekdays, check marks, two photographs chosen from
// all of the patient's photographs and the comment. Filling out, a long press on a listed photograph
// opens it in the photo editor, and the bar registers or discards the entries; in the print preview
// the form only shows, with the clinic's contact block.
#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/documents/certificate/certificateSlotsPage.h"
#include "app/shell/OneRunAtATime.h"
#include "app/shell/datePickerView.h"
#include "platform/ui/BarButtonItem.h"

namespace Ui {
class onePageCertificateView;
}
namespace ui {
class LongPressGestureRecognizer;
}

class onePageCertificateView : public certificateSlotsPage, public datePiclerViewControllerDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "onePageCertificateView";
    // The photo kinds the list offers, in this order.
    static constexpr const char* kListKinds[] = {"normal", "velscope", "roentgen", "noselect"};

    onePageCertificateView();
    ~onePageCertificateView() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void setInitialData() override;
    void getClinicInfo();
    void touchesEnded(QWidget* touched) override;
    void setFaceIcon(int tag);
    // A photo slot: an image view with one of the two slots' tags.
    static bool isPhotoSlot(const QWidget* view);
    void showDatePicker(int tag);
    void popoverClose(const QDateTime& date, int32_t tagNo) override;

    // Rebuilds the list and shows it.
    void settingRegisterdPhoto(const std::string& kind, long keyNo) override;
    // Every photograph of the patient's kinds that sits in neither slot.
    void reloadCollection(const std::string& kind, long keyNo);
    // A long press on a listed photograph opens it in the photo editor.
    void dispLargePhoto(ui::LongPressGestureRecognizer& recognizer);

    void registData();
    void tapCancelButton();
    void textViewDidEndEditing(ui::TextView& view) override;

    QLabel* label(const char* name) const;
    const ui::BarButtonItemPtr& registButton() const { return registButton_; }
    const ui::BarButtonItemPtr& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<ui::ViewController>& pop() const { return pop_; }
    const std::optional<QByteArray>& logoData() const { return logoData_; }

  protected:
    void setupForm(QWidget* form) override;
    // The list offers every photograph outside the slots; the delegate's lists stay as they are.
    bool slotsTakeFromSource() const override { return false; }
    void showStoredLabel(QLabel* label, int tag, const std::string& value) override;

  private:
    // Opens the editor on a listed photograph once its full data arrive.
    void openEditor(const store::PhotoAsset& asset);

    std::unique_ptr<Ui::onePageCertificateView> ui_;
    ui::BarButtonItemPtr registButton_, cancelButton_;
    shell::OneRunAtATime registering_;
    std::shared_ptr<ui::ViewController> pop_;
    std::optional<QByteArray> logoData_;
    bool contactShown_ = false;
};

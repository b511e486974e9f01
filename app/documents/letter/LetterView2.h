#pragma once
// The referral letter's second page: the clinic's logo, two photo slots filled from the patient's
// photographs of every kind, and the patient's questionnaire answers in the controls that carry their
// tags. Fill-out mode places and takes out photographs; print mode only shows them.
#include <memory>
#include <string>

#include "app/documents/pages/PhotoSlotsPage.h"

class QAbstractButton;
namespace Ui {
class LetterView2;
}

class LetterView2 : public PhotoSlotsPage {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "LetterView2";
    static constexpr int kFirstSlot = 82001, kSecondSlot = 82002;

    LetterView2();
    ~LetterView2() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // The questionnaire's answers shown in the page's own controls.
    void setInitialData() override;
    void getClinicInfo();
    // Every photograph of the patient, kind by kind, except the two in the slots.
    void settingRegisterdPhoto(const std::string& kind, long slotNumber) override;
    void touchesEnded(QWidget* touched) override;
    void tapButtonOnCircle(QAbstractButton* button);
    void tapButtonOnCircleMulti(QAbstractButton* button);

    QLabel* patientIDLabel() const;
    QLabel* clinicLogoImage() const;
    QLabel* slot(int tag) const { return labelWithTag(tag); }

  protected:
    void setupForm(QWidget* form) override;
    std::string documentLanguage() const override { return "Japanese"; }
    void showBackground() override {}
    store::FormData& record() const override;
    // The slots only point at the patient's photographs; the kinds' lists stay as they are.
    bool slotsTakeFromSource() const override { return false; }
    void requestSlotImage(const std::string& localIdentifier, QLabel* slot) override;

  private:
    void connectCircles();

    std::unique_ptr<Ui::LetterView2> ui_;
};

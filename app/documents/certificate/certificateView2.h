#pragma once
// The certificate's second page: the tooth count and the tooth age worked out from it, check marks,
// text fields and photo slots.
#include <memory>

#include "app/documents/certificate/certificateSlotsPage.h"

namespace Ui {
class certificateView2;
}

class certificateView2 : public certificateSlotsPage {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateView2";
    certificateView2();
    ~certificateView2() override;

    void setInitialData() override;
    void textViewDidEndEditing(ui::TextView& view) override;
    void calcToothAge();
    // The tens digit of the tooth age for a tooth count.
    static int toothAgeTens(int teeth);

  protected:
    void setupForm(QWidget* form) override;

  private:
    std::unique_ptr<Ui::certificateView2> ui_;
};

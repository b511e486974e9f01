#pragma once
#include <memory>

#include "app/documents/questionnaire/inquiryPageView.h"

class QLabel;
namespace Ui {
class inquiryView1;
}

class inquiryView1 : public inquiryPageView {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "inquiryView1";
    inquiryView1();
    ~inquiryView1() override;
    void viewDidAppear(bool animated) override;
    void setInitialData() override;
    QLabel* patientIDLabel() const;

  protected:
    void setupForm(QWidget* form) override;
    std::string multiCircleImageName(int) const override { return "circle_long.png"; }

  private:
    std::unique_ptr<Ui::inquiryView1> ui_;
};

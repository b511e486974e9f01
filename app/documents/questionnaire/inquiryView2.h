#pragma once
#include <memory>

#include "app/documents/questionnaire/inquiryPageView.h"

class QLabel;
namespace Ui {
class inquiryView2;
}

class inquiryView2 : public inquiryPageView {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "inquiryView2";
    inquiryView2();
    ~inquiryView2() override;
    void viewDidLoad() override;

  protected:
    void setupForm(QWidget* form) override;
    std::string multiCircleImageName(int tag) const override {
        return tag < 6000 ? "circle.png" : "circle_long.png";
    }
    bool observesKeyboard() const override { return false; }
    void connectViews(bool touchMode) override;

  private:
    std::unique_ptr<Ui::inquiryView2> ui_;
};

#pragma once
// The questionnaire's container: its three pages side by side, one shown at a time, paged by the bar
// items or by swiping; register saves the answers, cancel leaves without saving; both go back to the
// main menu.
#include <memory>

#include "app/documents/pages/PagedFormView.h"

class inquiryPageView;
namespace Ui {
class inquiryBaseView;
}

class inquiryBaseView : public PagedFormView {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "inquiryBaseView";

    inquiryBaseView();
    ~inquiryBaseView() override;

    QWidget* inquiry1Container() const;
    QWidget* inquiry2Container() const;
    QWidget* inquiry3Container() const;
    // The page controller shown in container 1 to 3.
    std::shared_ptr<inquiryPageView> page(int number) const;

  protected:
    void loadView() override;
    QWidget* container(int number) const override;
    std::shared_ptr<ui::ViewController> makePage(int number) override;
    // Where the tablet's layout put pages 2 and 3 (just under the bar).
    int pageYOffset(int number) const override { return number == 2 ? 63 : 70; }
    bool registForm() override;
    void pageViewPlaced(QWidget* pageView) override;

  private:
    std::unique_ptr<Ui::inquiryBaseView> form_;
};

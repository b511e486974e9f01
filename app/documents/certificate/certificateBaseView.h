#pragma once
// The three-page certificate's container: its pages side by side, paged by the bar items or by
// swiping; register saves the certificate record and cancel leaves without saving, both back to the
// certificate's start screen.
#include <memory>

#include "app/documents/pages/PagedFormView.h"

class certificatePageView;
namespace Ui {
class certificateBaseView;
}

class certificateBaseView : public PagedFormView {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateBaseView";

    certificateBaseView();
    ~certificateBaseView() override;

    QWidget* certif1Container() const;
    QWidget* certif2Container() const;
    QWidget* certif3Container() const;
    std::shared_ptr<certificatePageView> page(int number) const;

  protected:
    void loadView() override;
    QWidget* container(int number) const override;
    std::shared_ptr<ui::ViewController> makePage(int number) override;
    bool registForm() override;
    void pageViewPlaced(QWidget* pageView) override;

  private:
    std::unique_ptr<Ui::certificateBaseView> form_;
};

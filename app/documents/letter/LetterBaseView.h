#pragma once
// The referral letter's container: its two pages side by side, paged by the bar items or by swiping;
// register stores the letter with its referral target and cancel leaves without storing, both back to
// the main menu.
#include <memory>

#include "app/documents/pages/PagedFormView.h"

class LetterView1;
class LetterView2;
namespace Ui {
class LetterBaseView;
}

class LetterBaseView : public PagedFormView {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "LetterBaseView";

    LetterBaseView();
    ~LetterBaseView() override;

    QWidget* Letter1Container() const;
    QWidget* Letter2Container() const;
    std::shared_ptr<LetterView1> page1() const;
    std::shared_ptr<LetterView2> page2() const;

  protected:
    void loadView() override;
    QWidget* container(int number) const override;
    std::shared_ptr<ui::ViewController> makePage(int number) override;
    bool registForm() override;
    void pageViewPlaced(QWidget* pageView) override;

  private:
    std::unique_ptr<Ui::LetterBaseView> form_;
};

#pragma once
// A form's pages side by side in one screen, one shown at a time: paged by the bar items ("次へ>",
// "<戻る") or by swiping, registered or cancelled with an alert. The questionnaire, the certificate and
// the letter differ only in their pages, where the pages wait, what registering saves and where the
// screen leaves to.
#include <cstdint>
#include <memory>
#include <vector>

#include "app/shell/FormAlerts.h"
#include "app/shell/OneRunAtATime.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

class QWidget;
class zurarerizIvaDadadavu;
namespace ui {
class SwipeGestureRecognizer;
}

class PagedFormView : public ui::ViewController {
    Q_OBJECT
  public:
    ~PagedFormView() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void collectionSwipeHandler(ui::SwipeGestureRecognizer& recognizer);
    void dispNextPage();
    void dispBackPage();
    void tapCancelButton();
    void registData();

    const ui::BarButtonItemPtr& registButton() const { return registButton_; }
    const ui::BarButtonItemPtr& nextButton() const { return nextButton_; }
    const ui::BarButtonItemPtr& backButton() const { return backButton_; }
    const ui::BarButtonItemPtr& cancelButton() const { return cancelButton_; }
    int16_t dispPage() const { return dispPage_; }
    int pageCount() const { return pageCount_; }
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    PagedFormView(int pageCount, shell::FormExit exit);
    // The container of page 1 to pageCount, and the page screen it holds.
    virtual QWidget* container(int number) const = 0;
    virtual std::shared_ptr<ui::ViewController> makePage(int number) = 0;
    // How far below page 1 a page waits (and shows).
    virtual int pageYOffset(int /*number*/) const { return 0; }
    // Saves the form; false when it was not stored.
    virtual bool registForm() = 0;
    // Called for each page's view once it fills its container.
    virtual void pageViewPlaced(QWidget* /*pageView*/) {}

    std::shared_ptr<ui::ViewController> pageController(int number) const;
    std::vector<std::shared_ptr<ui::ViewController>> visibleChildren() const override;

    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;

  private:
    void showBarButtons();
    void slide(int from, int to, int currentTo);

    const int pageCount_;
    const shell::FormExit exit_;
    std::vector<std::shared_ptr<ui::ViewController>> pages_;
    ui::BarButtonItemPtr registButton_, nextButton_, backButton_, cancelButton_;
    int16_t dispPage_ = 1;
    shell::OneRunAtATime registering_;
};

#pragma once
// A navigation controller: a stack of screens with a bar on top. Only the top screen's view is shown;
// pushes and pops drive the appearance calls of the screens going and coming while the stack itself
// is on screen. Views span the whole controller; the bar covers their top kNavigationBarHeight points.
#include <memory>
#include <vector>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/ViewController.h"

namespace ui {

class NavigationController : public ViewController {
    Q_OBJECT
  public:
    static std::shared_ptr<NavigationController> create(ViewControllerPtr root = nullptr);

    const std::vector<ViewControllerPtr>& viewControllers() const { return stack_; }
    ViewControllerPtr topViewController() const { return stack_.empty() ? nullptr : stack_.back(); }
    void setViewControllers(std::vector<ViewControllerPtr> controllers, bool animated);
    void pushViewController(ViewControllerPtr controller, bool animated);
    // Null when only the root is left.
    ViewControllerPtr popViewController(bool animated);
    std::vector<ViewControllerPtr> popToRootViewController(bool animated);
    std::vector<ViewControllerPtr> popToViewController(const ViewControllerPtr& controller, bool animated);

    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    NavigationBar* navigationBar();

  protected:
    void loadView() override;
    std::vector<ViewControllerPtr> visibleChildren() const override;

  private:
    // Replaces the shown screen, calling the appearance hooks when the stack is on screen.
    void transition(const ViewControllerPtr& from, const ViewControllerPtr& to, bool animated);
    void install(const ViewControllerPtr& vc);
    void updateBar();
    void layoutContent();
    void watchTopItem();

    std::vector<ViewControllerPtr> stack_;
    QPointer<NavigationBar> bar_;
    bool barHidden_ = false;
    QMetaObject::Connection topItemConnection_;
};

using NavigationControllerPtr = std::shared_ptr<NavigationController>;

} // namespace ui

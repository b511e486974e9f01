#include "platform/ui/NavigationController.h"

#include <QResizeEvent>
#include <algorithm>

#include "platform/ui/Screen.h"

namespace ui {

namespace {
// The controller's root view: lays the top screen's view over the whole area and the bar above it.
class NavigationView : public QWidget {
  public:
    std::function<void()> onResize;

  protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (onResize) onResize();
    }
};
} // namespace

std::shared_ptr<NavigationController> NavigationController::create(ViewControllerPtr root) {
    auto nav = std::make_shared<NavigationController>();
    if (root) nav->setViewControllers({root}, false);
    return nav;
}

void NavigationController::loadView() {
    auto v = std::make_unique<NavigationView>();
    v->resize(mainScreenSize());
    v->onResize = [this] { layoutContent(); };
    bar_ = new NavigationBar(v.get());
    setView(std::move(v));
    if (auto top = topViewController()) install(top);
    updateBar();
    layoutContent();
}

NavigationBar* NavigationController::navigationBar() {
    view();
    return bar_.data();
}

std::vector<ViewControllerPtr> NavigationController::visibleChildren() const {
    if (auto top = topViewController()) return {top};
    return {};
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    if (bar_) bar_->setVisible(!hidden);
}

void NavigationController::install(const ViewControllerPtr& vc) {
    QWidget* host = view();
    QWidget* v = vc->view();
    if (v->parentWidget() != host) v->setParent(host);
    v->setGeometry(host->rect());
    v->show();
    if (bar_) bar_->raise();
}

void NavigationController::layoutContent() {
    if (!isViewLoaded()) return;
    QWidget* host = view();
    if (auto top = topViewController(); top && top->isViewLoaded()) top->view()->setGeometry(host->rect());
    if (bar_) {
        bar_->setGeometry(0, 0, host->width(), kNavigationBarHeight);
        bar_->setVisible(!barHidden_);
        bar_->raise();
    }
}

void NavigationController::transition(const ViewControllerPtr& from, const ViewControllerPtr& to,
                                      bool animated) {
    if (!isViewLoaded()) { // not built yet: the views come when the stack is first shown
        watchTopItem();
        return;
    }
    const bool live = appearanceState() == AppearanceState::Appeared;
    if (to) to->view();
    if (live && from != to) {
        appearance(from, Phase::WillDisappear, animated);
        appearance(to, Phase::WillAppear, animated);
    }
    if (to) install(to);
    if (from && from != to && from->isViewLoaded()) from->view()->hide();
    watchTopItem();
    updateBar();
    if (live && from != to) {
        appearance(from, Phase::DidDisappear, animated);
        appearance(to, Phase::DidAppear, animated);
    }
}

void NavigationController::watchTopItem() {
    disconnect(topItemConnection_);
    if (auto top = topViewController())
        topItemConnection_ =
            connect(&top->navigationItem(), &NavigationItem::changed, this, [this] { updateBar(); });
}

void NavigationController::updateBar() {
    if (!bar_) return;
    NavigationBar::Content c;
    if (auto top = topViewController()) {
        const auto& item = top->navigationItem();
        c.title = item.title().empty() ? top->title() : item.title();
        c.left = item.leftBarButtonItems();
        c.right = item.rightBarButtonItems();
        c.showsBack = stack_.size() > 1 && !item.hidesBackButton() && c.left.empty();
        if (c.showsBack) {
            const auto& prev = stack_[stack_.size() - 2];
            const NavigationItem& below = prev->navigationItem();
            c.backTitle = !below.backButtonTitle().empty() ? below.backButtonTitle()
                          : below.title().empty()          ? prev->title()
                                                           : below.title();
            if (c.backTitle.empty()) c.backTitle = "戻る";
        }
    }
    std::weak_ptr<ViewController> weak = weak_from_this();
    bar_->setContent(std::move(c), [weak] {
        if (auto self = std::static_pointer_cast<NavigationController>(weak.lock()))
            self->popViewController(true);
    });
}

void NavigationController::pushViewController(ViewControllerPtr controller, bool animated) {
    if (!controller || std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) return;
    auto from = topViewController();
    adoptChild(controller);
    stack_.push_back(controller);
    transition(from, controller, animated);
}

ViewControllerPtr NavigationController::popViewController(bool animated) {
    if (stack_.size() <= 1) return nullptr;
    auto popped = stack_.back();
    stack_.pop_back();
    transition(popped, topViewController(), animated);
    if (popped->isViewLoaded()) popped->view()->setParent(nullptr);
    releaseChild(popped);
    return popped;
}

std::vector<ViewControllerPtr> NavigationController::popToViewController(const ViewControllerPtr& controller,
                                                                         bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    std::vector<ViewControllerPtr> popped(it + 1, stack_.end());
    stack_.erase(it + 1, stack_.end());
    // Only the screen on top was showing; the ones beneath it just leave.
    transition(popped.back(), controller, animated);
    for (auto& vc : popped) {
        if (vc->isViewLoaded()) vc->view()->setParent(nullptr);
        releaseChild(vc);
    }
    return popped;
}

std::vector<ViewControllerPtr> NavigationController::popToRootViewController(bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front(), animated);
}

void NavigationController::setViewControllers(std::vector<ViewControllerPtr> controllers, bool animated) {
    auto from = topViewController();
    std::vector<ViewControllerPtr> leaving;
    for (auto& vc : stack_)
        if (std::find(controllers.begin(), controllers.end(), vc) == controllers.end()) leaving.push_back(vc);
    stack_.clear();
    for (auto& vc : controllers)
        if (vc && std::find(stack_.begin(), stack_.end(), vc) == stack_.end()) {
            adoptChild(vc);
            stack_.push_back(vc);
        }
    transition(from, topViewController(), animated);
    for (auto& vc : leaving) {
        if (vc->isViewLoaded()) vc->view()->setParent(nullptr);
        releaseChild(vc);
    }
    if (isViewLoaded())
        for (auto& vc : stack_)
            if (vc != topViewController() && vc->isViewLoaded()) vc->view()->hide();
}

} // namespace ui

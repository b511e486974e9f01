#include "platform/ui/ViewController.h"

#include <QWidget>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Window.h"

namespace ui {

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

QWidget* ViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        loadingView_ = false;
        if (!view_) setView(std::make_unique<QWidget>());
        viewDidLoad();
    }
    return view_.get();
}

void ViewController::loadView() {
    auto v = std::make_unique<QWidget>();
    v->resize(mainScreenSize());
    setView(std::move(v));
}

void ViewController::setView(std::unique_ptr<QWidget> view) {
    if (view && view->objectName().isEmpty()) view->setObjectName(metaObject()->className());
    view_.reset(std::move(view));
}

void ViewController::setTitle(std::string title) {
    title_ = std::move(title);
    emit navigationItem_.changed(); // the bar shows this title when the item has none
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (auto vc = std::const_pointer_cast<ViewController>(shared_from_this()); vc; vc = vc->parent_.lock())
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(vc); nav && vc.get() != this)
            return nav;
    return nullptr;
}

std::string ViewController::description() const {
    return foundation::format("<%@: %p>", metaObject()->className(), static_cast<const void*>(this));
}

void ViewController::adoptChild(const std::shared_ptr<ViewController>& child) {
    if (child) child->parent_ = weak_from_this();
}

void ViewController::releaseChild(const std::shared_ptr<ViewController>& child) {
    if (child && child->parent_.lock().get() == this) child->parent_.reset();
}

void ViewController::appearance(Phase phase, bool animated) {
    using S = AppearanceState;
    switch (phase) {
    case Phase::WillAppear:
        if (appearance_ != S::Disappeared && appearance_ != S::Disappearing) return;
        view();
        appearance_ = S::Appearing;
        viewWillAppear(animated);
        break;
    case Phase::DidAppear:
        if (appearance_ != S::Appearing) return;
        appearance_ = S::Appeared;
        viewDidAppear(animated);
        break;
    case Phase::WillDisappear:
        if (appearance_ != S::Appeared && appearance_ != S::Appearing) return;
        appearance_ = S::Disappearing;
        viewWillDisappear(animated);
        break;
    case Phase::DidDisappear:
        if (appearance_ != S::Disappearing) return;
        appearance_ = S::Disappeared;
        viewDidDisappear(animated);
        break;
    }
    for (const auto& child : visibleChildren())
        appearance(child, phase, animated);
}

Window* ViewController::window() const {
    const ViewController* vc = this;
    for (;;) {
        if (vc->window_) return vc->window_.data();
        if (auto p = vc->parent_.lock()) {
            vc = p.get();
            continue;
        }
        if (auto p = vc->presenting_.lock()) {
            vc = p.get();
            continue;
        }
        return nullptr;
    }
}

// ---- segues

bool ViewController::canPerformSegue(const std::string& identifier) const {
    auto sb = storyboard();
    if (!sb) return false;
    auto def = sb->segue(storyboardIdentifier_, identifier);
    return def && sb->hasScene(def->destination);
}

void ViewController::performSegue(const std::string& identifier, QObject* sender) {
    auto sb = storyboard();
    auto def = sb ? sb->segue(storyboardIdentifier_, identifier) : std::nullopt;
    if (!def)
        foundation::raise(foundation::kInvalidArgumentException,
                          "Receiver (%@) has no segue with identifier '%@'", description(), identifier);
    auto self = shared_from_this(); // the source may be popped by its own segue's effects
    auto destination = sb->instantiateViewController(def->destination);
    StoryboardSegue segue(identifier, self, destination);
    prepareForSegue(segue, sender);
    switch (def->kind) {
    case SegueKind::Push:
        if (auto nav = navigationController()) {
            nav->pushViewController(destination, true);
            break;
        }
        present(destination, true); // shown without a navigation stack: modally, as a storyboard does
        break;
    case SegueKind::Modal:
        present(destination, true);
        break;
    case SegueKind::Popover: {
        destination->setModalPresentationStyle(PresentationStyle::Popover);
        auto* anchor = qobject_cast<QWidget*>(sender);
        if (!destination->popoverAnchor().sourceView)
            destination->popoverAnchor().sourceView = anchor ? anchor : view();
        present(destination, true);
        break;
    }
    }
}

// ---- presentation

std::shared_ptr<ViewController> ViewController::presentationHost() {
    // As on the tablet, a child presents through the outermost container it sits in.
    auto vc = shared_from_this();
    while (auto p = vc->parent_.lock())
        vc = p;
    return vc;
}

QWidget* ViewController::presentationWidget() const {
    return popoverLayer_ ? popoverLayer_.get() : view_.get();
}

void ViewController::present(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion) {
    if (!controller) return;
    auto host = presentationHost();
    if (host.get() != this) {
        host->present(std::move(controller), animated, std::move(completion));
        return;
    }
    if (presented_) {
        foundation::log("Warning: Attempt to present %@ on %@ which is already presenting %@",
                        controller->description(), description(), presented_->description());
        return;
    }
    if (controller->presenting_.lock() || controller->parent_.lock()) {
        foundation::log("Warning: Attempt to present %@ on %@ which is already shown elsewhere",
                        controller->description(), description());
        return;
    }
    Window* w = window();
    if (!w) {
        foundation::log("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!",
                        controller->description(), description());
        return;
    }
    auto self = shared_from_this();
    presented_ = controller;
    controller->presenting_ = self;
    const bool covers = controller->presentationStyle_ == PresentationStyle::FullScreen;

    QWidget* content = controller->view();
    if (covers) appearance(Phase::WillDisappear, animated);
    controller->appearance(Phase::WillAppear, animated);
    if (controller->presentationStyle_ == PresentationStyle::Popover) {
        std::weak_ptr<ViewController> weakSelf = self;
        controller->popoverLayer_.reset(std::make_unique<PopoverLayer>(
            content, controller->preferredContentSize_, controller->popoverAnchor_, w, [weakSelf] {
                if (auto presenter = weakSelf.lock()) presenter->dismissPresented(true, {});
            }));
    }
    w->addLayer(controller->presentationWidget());
    if (covers) appearance(Phase::DidDisappear, animated);
    controller->appearance(Phase::DidAppear, animated);
    if (completion) completion();
}

void ViewController::dismiss(bool animated, std::function<void()> completion) {
    auto self = shared_from_this();
    if (presented_) {
        dismissPresented(animated, std::move(completion));
    } else if (auto presenter = presenting_.lock()) {
        presenter->dismissPresented(animated, std::move(completion));
    } else if (auto parent = parent_.lock()) {
        parent->dismiss(animated, std::move(completion));
    } else if (completion) {
        completion();
    }
}

void ViewController::dismissPresented(bool animated, std::function<void()> completion) {
    auto self = shared_from_this();
    auto target = presented_;
    if (!target) {
        if (completion) completion();
        return;
    }
    if (target->presented_) target->dismissPresented(false, {});
    const bool covers = target->presentationStyle_ == PresentationStyle::FullScreen;
    target->appearance(Phase::WillDisappear, animated);
    if (covers) appearance(Phase::WillAppear, animated);
    if (Window* w = window()) w->removeLayer(target->presentationWidget());
    if (target->popoverLayer_) {
        static_cast<PopoverLayer*>(target->popoverLayer_.get())->releaseContent();
        target->popoverLayer_.reset();
    }
    target->appearance(Phase::DidDisappear, animated);
    if (covers) appearance(Phase::DidAppear, animated);
    target->presenting_.reset();
    presented_.reset();
    if (completion) completion();
}

} // namespace ui

#include "platform/ui/Window.h"

#include <QResizeEvent>
#include <algorithm>

#include "platform/foundation/Bundle.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/ScaledWindowHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/WindowScale.h"

namespace ui {

Window::Window() {
    setObjectName("mainWindow");
    setFixedSize(mainScreenSize());
    auto name = foundation::Bundle::main()->objectForInfoDictionaryKey("CFBundleName").stringValue();
    setWindowTitle(QString::fromStdString(name.empty() ? "zaruvedez" : name));
    setAutoFillBackground(true);
}

Window::~Window() {
    host_.reset();
    if (root_) root_->window_ = nullptr;
    root_.reset();
}

void Window::setRootViewController(ViewControllerPtr root) {
    if (root == root_) return;
    auto old = root_;
    if (visible_) {
        ViewController::appearance(old, ViewController::Phase::WillDisappear, false);
        ViewController::appearance(root, ViewController::Phase::WillAppear, false);
    }
    root_ = root;
    if (root_) root_->window_ = this;
    if (old) {
        old->window_ = nullptr;
        if (old->isViewLoaded()) {
            old->view()->hide();
            old->view()->setParent(nullptr);
        }
    }
    if (root_ && (visible_ || root_->isViewLoaded())) {
        QWidget* v = root_->view();
        v->setParent(this);
        v->setGeometry(rect());
        v->show();
        v->lower();
    }
    if (visible_) {
        ViewController::appearance(old, ViewController::Phase::DidDisappear, false);
        ViewController::appearance(root_, ViewController::Phase::DidAppear, false);
    }
}

void Window::makeKeyAndVisible() {
    if (visible_) return;
    visible_ = true;
    if (root_) {
        ViewController::appearance(root_, ViewController::Phase::WillAppear, false);
        QWidget* v = root_->view();
        v->setParent(this);
        v->setGeometry(rect());
        v->show();
        v->lower();
    }
    show();
    if (host_) host_->show();
    screenWidget()->activateWindow();
    ViewController::appearance(root_, ViewController::Phase::DidAppear, false);
}

void Window::setScale(double scale) {
    scale = std::clamp(scale, kMinimumWindowScale, kMaximumWindowScale);
    if (scale == scale_) return;
    scale_ = scale;
    if (scale_ == 1.0) {
        host_.reset();
        if (visible_) show();
        return;
    }
    if (!host_) host_ = std::make_unique<ScaledWindowHost>(this);
    host_->setScale(scale_);
    if (visible_) {
        show();
        host_->show();
    }
}

QWidget* Window::focusedWidget() const {
    QWidget* w = focusWidget();
    return w && w->hasFocus() ? w : nullptr;
}

QWidget* Window::screenWidget() {
    return host_ ? static_cast<QWidget*>(host_.get()) : this;
}

ViewControllerPtr Window::topPresentedViewController() const {
    auto vc = root_;
    while (vc && vc->presentedViewController())
        vc = vc->presentedViewController();
    return vc;
}

std::vector<std::shared_ptr<AlertController>> Window::visibleAlerts() const {
    std::vector<std::shared_ptr<AlertController>> alerts;
    for (auto vc = root_; vc; vc = vc->presentedViewController())
        if (auto a = std::dynamic_pointer_cast<AlertController>(vc)) alerts.push_back(a);
    return alerts;
}

void Window::addLayer(QWidget* layer) {
    if (!layer) return;
    layers_.erase(std::remove(layers_.begin(), layers_.end(), nullptr), layers_.end());
    layer->setParent(this);
    layer->setGeometry(rect());
    layer->show();
    layer->raise();
    layers_.emplace_back(layer);
}

void Window::removeLayer(QWidget* layer) {
    if (!layer) return;
    layers_.erase(
        std::remove_if(layers_.begin(), layers_.end(), [&](const auto& l) { return !l || l == layer; }),
        layers_.end());
    if (layer->parentWidget() == this) {
        layer->hide();
        layer->setParent(nullptr);
    }
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_ && root_->isViewLoaded() && root_->view()->parentWidget() == this)
        root_->view()->setGeometry(rect());
    layoutLayers();
}

void Window::layoutLayers() {
    for (auto& l : layers_)
        if (l) l->setGeometry(rect());
}

} // namespace ui

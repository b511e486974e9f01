#pragma once
// Sole ownership of a widget that may also sit in a Qt parent for a while: when the owner goes, the
// widget leaves its parent and is deleted by the event loop (never under a signal it is emitting);
// when a parent deleted it first, the guard is simply empty.
#include <QPointer>
#include <QWidget>
#include <memory>

namespace ui {

template <class W> class OwnedWidget {
  public:
    OwnedWidget() = default;
    explicit OwnedWidget(std::unique_ptr<W> w) : w_(w.release()) {}
    ~OwnedWidget() { release(); }
    OwnedWidget(const OwnedWidget&) = delete;
    OwnedWidget& operator=(const OwnedWidget&) = delete;

    W* get() const { return w_.data(); }
    W* operator->() const { return w_.data(); }
    explicit operator bool() const { return !w_.isNull(); }
    void reset(std::unique_ptr<W> w = nullptr) {
        release();
        w_ = w.release();
    }

  private:
    void release() {
        if (!w_) return;
        w_->hide();
        w_->setParent(nullptr);
        w_->deleteLater();
        w_ = nullptr;
    }
    QPointer<W> w_;
};

} // namespace ui

#pragma once
// A bar button item: a title, a style and a target action. The same item may be shared between
// screens (each sets its own target before showing it); targets are held weakly, so an item never
// keeps a screen alive and a gone target makes a tap do nothing.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace ui {

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

class BarButtonItem : public QObject {
    Q_OBJECT
  public:
    BarButtonItem(std::string title, BarButtonItemStyle style);
    static std::shared_ptr<BarButtonItem> create(std::string title, BarButtonItemStyle style,
                                                 std::function<void()> action = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle style);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Target and action in one: the member function runs on the target while the target lives.
    template <class T> void setTarget(const std::shared_ptr<T>& target, void (T::*action)()) {
        std::weak_ptr<T> weak = target;
        action_ = [weak, action] {
            if (auto t = weak.lock()) ((*t).*action)();
        };
    }
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    bool hasAction() const { return bool(action_); }

    // What a tap does: the action, when the item is enabled.
    void trigger();

  signals:
    void changed();

  private:
    std::string title_;
    BarButtonItemStyle style_;
    bool enabled_ = true;
    int tag_ = 0;
    std::function<void()> action_;
};

using BarButtonItemPtr = std::shared_ptr<BarButtonItem>;

} // namespace ui

#include "platform/ui/BarButtonItem.h"

namespace ui {

BarButtonItem::BarButtonItem(std::string title, BarButtonItemStyle style)
    : title_(std::move(title)), style_(style) {}

std::shared_ptr<BarButtonItem> BarButtonItem::create(std::string title, BarButtonItemStyle style,
                                                     std::function<void()> action) {
    auto item = std::make_shared<BarButtonItem>(std::move(title), style);
    item->setAction(std::move(action));
    return item;
}

void BarButtonItem::setTitle(std::string title) {
    title_ = std::move(title);
    emit changed();
}

void BarButtonItem::setStyle(BarButtonItemStyle style) {
    style_ = style;
    emit changed();
}

void BarButtonItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    emit changed();
}

void BarButtonItem::trigger() {
    if (!enabled_ || !action_) return;
    auto action = action_; // the action may replace itself
    action();
}

} // namespace ui

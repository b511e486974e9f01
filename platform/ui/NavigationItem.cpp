#include "platform/ui/NavigationItem.h"

namespace ui {

void NavigationItem::setTitle(std::string title) {
    title_ = std::move(title);
    emit changed();
}

void NavigationItem::setLeftBarButtonItem(BarButtonItemPtr item) {
    setLeftBarButtonItems(item ? std::vector<BarButtonItemPtr>{item} : std::vector<BarButtonItemPtr>{});
}

void NavigationItem::setRightBarButtonItem(BarButtonItemPtr item) {
    setRightBarButtonItems(item ? std::vector<BarButtonItemPtr>{item} : std::vector<BarButtonItemPtr>{});
}

void NavigationItem::setLeftBarButtonItems(std::vector<BarButtonItemPtr> items) {
    left_ = std::move(items);
    emit changed();
}

void NavigationItem::setRightBarButtonItems(std::vector<BarButtonItemPtr> items) {
    right_ = std::move(items);
    emit changed();
}

void NavigationItem::setBackButtonTitle(std::string title) {
    backButtonTitle_ = std::move(title);
    emit changed();
}

void NavigationItem::setHidesBackButton(bool hides) {
    hidesBackButton_ = hides;
    emit changed();
}

} // namespace ui

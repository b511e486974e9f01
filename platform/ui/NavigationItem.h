#pragma once
// What a screen shows in the navigation bar while it is on top: a title and bar button items.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/BarButtonItem.h"

namespace ui {

class NavigationItem : public QObject {
    Q_OBJECT
  public:
    NavigationItem() = default;

    // Empty: the bar shows the screen's own title.
    const std::string& title() const { return title_; }
    void setTitle(std::string title);

    BarButtonItemPtr leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    BarButtonItemPtr rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setLeftBarButtonItem(BarButtonItemPtr item);
    void setRightBarButtonItem(BarButtonItemPtr item);
    const std::vector<BarButtonItemPtr>& leftBarButtonItems() const { return left_; }
    const std::vector<BarButtonItemPtr>& rightBarButtonItems() const { return right_; }
    void setLeftBarButtonItems(std::vector<BarButtonItemPtr> items);
    void setRightBarButtonItems(std::vector<BarButtonItemPtr> items);

    // The back button shows unless hidden or replaced by left items.
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides);
    // The title of the back button on screens pushed above this one; empty: this screen's title.
    const std::string& backButtonTitle() const { return backButtonTitle_; }
    void setBackButtonTitle(std::string title);

  signals:
    void changed();

  private:
    std::string title_;
    std::vector<BarButtonItemPtr> left_;
    std::vector<BarButtonItemPtr> right_;
    bool hidesBackButton_ = false;
    std::string backButtonTitle_;
};

} // namespace ui

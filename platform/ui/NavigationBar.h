#pragma once
// The bar at the top of a navigation controller's view: a back button, the left items, the title and
// the right items of the screen on top.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/BarButtonItem.h"

class QAbstractButton;
class QHBoxLayout;
class QLabel;

namespace ui {

inline constexpr int kNavigationBarHeight = 44;

class NavigationBar : public QWidget {
    Q_OBJECT
  public:
    explicit NavigationBar(QWidget* parent = nullptr);

    struct Content {
        std::string title;
        bool showsBack = false;
        std::string backTitle;
        std::vector<BarButtonItemPtr> left;
        std::vector<BarButtonItemPtr> right;
    };
    void setContent(Content content, std::function<void()> onBack);

    // The whole title; the bar shows as much of it as fits between the buttons.
    QString titleText() const;
    // The button showing the item with this title (the back button is "backButton"), or null.
    QAbstractButton* button(const std::string& title) const;
    QAbstractButton* backButton() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void rebuild();
    void showTitle();
    QAbstractButton* makeButton(const BarButtonItemPtr& item);
    Content content_;
    std::function<void()> onBack_;
    QHBoxLayout* leftBox_;
    QHBoxLayout* rightBox_;
    QLabel* title_;
    std::vector<QPointer<QWidget>> buttons_;
    std::vector<QMetaObject::Connection> itemConnections_;
};

} // namespace ui

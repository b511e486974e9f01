#pragma once
// Alerts: a title, a message and actions, shown over the whole window as a child layer (never a
// blocking dialog). A tap on an action dismisses the alert and then runs the action's handler. Tests
// find shown alerts through Window::visibleAlerts() and answer them with tapAction(title).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ViewController.h"

class QAbstractButton;

namespace ui {

enum class AlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };
enum class AlertStyle { ActionSheet = 0, Alert = 1 };

class AlertAction {
  public:
    using Handler = std::function<void(AlertAction&)>;
    AlertAction(std::string title, AlertActionStyle style, Handler handler)
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}
    static std::shared_ptr<AlertAction> create(std::string title, AlertActionStyle style,
                                               Handler handler = {}) {
        return std::make_shared<AlertAction>(std::move(title), style, std::move(handler));
    }
    const std::string& title() const { return title_; }
    AlertActionStyle style() const { return style_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    void run() {
        if (handler_) handler_(*this);
    }

  private:
    std::string title_;
    AlertActionStyle style_;
    Handler handler_;
    bool enabled_ = true;
};

using AlertActionPtr = std::shared_ptr<AlertAction>;

class AlertController : public ViewController {
    Q_OBJECT
  public:
    AlertController(std::string title, std::string message, AlertStyle style);
    static std::shared_ptr<AlertController> create(std::string title, std::string message,
                                                   AlertStyle style = AlertStyle::Alert);

    const std::string& message() const { return message_; }
    AlertStyle preferredStyle() const { return style_; }
    void addAction(AlertActionPtr action);
    const std::vector<AlertActionPtr>& actions() const { return actions_; }

    // The button of the action with this title, once the alert's view is built; null if none.
    QAbstractButton* actionButton(const std::string& title);
    // Taps the action's button as a user would; false when there is no such enabled action.
    bool tapAction(const std::string& title);

  protected:
    void loadView() override;

  private:
    void tapped(const AlertActionPtr& action);
    std::string message_;
    AlertStyle style_;
    std::vector<AlertActionPtr> actions_;
    bool answered_ = false;
};

using AlertControllerPtr = std::shared_ptr<AlertController>;

} // namespace ui

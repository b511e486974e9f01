#include "app/shell/FormAlerts.h"

#include "app/shell/DatabaseProblem.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"

namespace shell {

namespace {

// The host may be gone by the time OK is tapped; then there is nothing to leave.
ui::AlertAction::Handler leave(ui::ViewController& host, FormExit exit) {
    std::weak_ptr<ui::ViewController> weak = host.shared_from_this();
    return [weak, exit](ui::AlertAction&) {
        auto self = weak.lock();
        auto nav = self ? self->navigationController() : nullptr;
        if (!nav) return;
        if (exit == FormExit::ToMainMenu)
            nav->popToRootViewController(true);
        else
            nav->popViewController(true);
    };
}

} // namespace

void presentRegisterResult(ui::ViewController& host, bool saved, FormExit exit,
                           const std::optional<store::DatabaseFailure>& failure) {
    if (!saved) return presentError(host, registerFailureMessage(failure));
    auto alert = ui::AlertController::create("メッセージ", "登録しました");
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, leave(host, exit)));
    host.present(alert, true);
}

ui::AlertControllerPtr errorAlert(const std::string& message, ui::AlertAction::Handler onOK) {
    auto alert = ui::AlertController::create("エラー", message);
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, std::move(onOK)));
    return alert;
}

void presentError(ui::ViewController& host, const std::string& message, ui::AlertAction::Handler onOK) {
    host.present(errorAlert(message, std::move(onOK)), true);
}

void presentCancelQuestion(ui::ViewController& host, FormExit exit) {
    auto alert = ui::AlertController::create("メッセージ", "登録せずに終了しますか？");
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, leave(host, exit)));
    alert->addAction(ui::AlertAction::create("キャンセル", ui::AlertActionStyle::Cancel));
    host.present(alert, true);
}

} // namespace shell

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
    if (!saved) return presentRegisterRefusal(host, registerFailureMessage(failure));
    auto alert = ui::AlertController::create("メッセージ", "登録しました");
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, leave(host, exit)));
    host.present(alert, true);
}

void presentRegisterRefusal(ui::ViewController& host, const std::string& message) {
    auto alert = ui::AlertController::create("エラー", message);
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default));
    host.present(alert, true);
}

void presentCancelQuestion(ui::ViewController& host, FormExit exit) {
    auto alert = ui::AlertController::create("メッセージ", "登録せずに終了しますか？");
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, leave(host, exit)));
    alert->addAction(ui::AlertAction::create("キャンセル", ui::AlertActionStyle::Cancel));
    host.present(alert, true);
}

} // namespace shell

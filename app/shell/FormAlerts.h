#pragma once
// The alerts the screens show the same way: an error, the outcome of a form's register, and the
// question before leaving a form unsaved.
#include <optional>
#include <string>

#include "app/store/DatabaseFailure.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/ViewController.h"

namespace shell {

// Where a form screen goes once it is done: the main menu, or back one screen (to its start screen).
enum class FormExit { ToMainMenu, OneLevel };

// "登録しました" with an OK that leaves the form when the form was stored; otherwise
// "エラー" / "登録できませんでした", followed by the cause when the database refused (`failure`), and
// the form stays as it is.
void presentRegisterResult(ui::ViewController& host, bool saved, FormExit exit = FormExit::ToMainMenu,
                           const std::optional<store::DatabaseFailure>& failure = std::nullopt);
// "エラー" with the message and one "OK", which runs `onOK` once tapped; for a caller that adds an
// action or keeps the alert before presenting it.
ui::AlertControllerPtr errorAlert(const std::string& message, ui::AlertAction::Handler onOK = {});
// The same alert presented on `host`, which stays as it is.
void presentError(ui::ViewController& host, const std::string& message, ui::AlertAction::Handler onOK = {});
// "登録せずに終了しますか？": OK leaves the form, "キャンセル" stays.
void presentCancelQuestion(ui::ViewController& host, FormExit exit = FormExit::ToMainMenu);

} // namespace shell

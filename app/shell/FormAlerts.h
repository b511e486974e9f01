#pragma once
// The two alerts every form screen shows the same way: the outcome of its register, and the question
// before leaving it unsaved.
#include <optional>
#include <string>

#include "app/store/DatabaseFailure.h"
#include "platform/ui/ViewController.h"

namespace shell {

// Where a form screen goes once it is done: the main menu, or back one screen (to its start screen).
enum class FormExit { ToMainMenu, OneLevel };

// "登録しました" with an OK that leaves the form when the form was stored; otherwise
// "エラー" / "登録できませんでした", followed by the cause when the database refused (`failure`), and
// the form stays as it is.
void presentRegisterResult(ui::ViewController& host, bool saved, FormExit exit = FormExit::ToMainMenu,
                           const std::optional<store::DatabaseFailure>& failure = std::nullopt);
// "エラー" with a register's failure in the screen's own words; the form stays as it is.
void presentRegisterRefusal(ui::ViewController& host, const std::string& message);
// "登録せずに終了しますか？": OK leaves the form, "キャンセル" stays.
void presentCancelQuestion(ui::ViewController& host, FormExit exit = FormExit::ToMainMenu);

} // namespace shell

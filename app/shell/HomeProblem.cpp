#include "app/shell/HomeProblem.h"

#include <cerrno>
#include <system_error>

#include "platform/foundation/Format.h"

namespace shell {

std::string homeProblemCause(int error) {
    switch (error) {
    case EROFS:
        return "ディスクが読み取り専用です。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません。";
    case EACCES:
    case EPERM:
        return "書き込む権限がありません。";
    case ENOTDIR:
    case EEXIST:
        return "同じ名前のファイルがあるため、フォルダを作れません。";
    case ENOENT:
        return "フォルダの場所が見つかりません。";
    default:
        return foundation::format("システムのエラーです（%@）。", std::generic_category().message(error));
    }
}

std::string homeProblemMessage(const foundation::home::Problem& problem) {
    if (problem.noHome())
        return "データを保存するフォルダが決まらないため、アプリを起動できません。\n\n"
               "環境変数 HOME（または ZARUVEDEZ_HOME）を設定してから、もう一度起動してください。";
    return foundation::format("データを保存するフォルダを作成または書き込みできないため、アプリを終了します。"
                              "\n\nフォルダ: %@\n原因: %@",
                              problem.folder, homeProblemCause(problem.error));
}

std::string homeProblemLogLine(const foundation::home::Problem& problem) {
    if (problem.noHome())
        return "No home folder: neither ZARUVEDEZ_HOME, XDG_DATA_HOME nor HOME is set. The app does not "
               "start.";
    return foundation::format("The home folder %@ cannot be used: %@. The app quits.", problem.folder,
                              std::generic_category().message(problem.error));
}

} // namespace shell

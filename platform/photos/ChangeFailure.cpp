#include "platform/photos/ChangeFailure.h"

#include <cerrno>
#include <system_error>

#include "platform/foundation/Format.h"

namespace photos {

std::string failureCause(FailureCause cause) {
    switch (cause) {
    case FailureCause::AccessDenied:
        return "写真へのアクセスが許可されていないため、";
    case FailureCause::LibraryUnavailable:
        return "写真ライブラリを開けなかったため、";
    case FailureCause::LibraryClosed:
        return "写真ライブラリが閉じられたため、";
    case FailureCause::NotAnImage:
        return "画像として読み取れないデータのため、";
    case FailureCause::NoAlbum:
        return "アルバムが見つからないため、";
    case FailureCause::NoPhoto:
        return "写真が見つからないため、";
    case FailureCause::Index:
        break;
    }
    return "写真ライブラリの管理ファイルを更新できないため、";
}

std::string writeFailureCause(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りないため、";
    case EACCES:
    case EPERM:
        return "書き込みの権限がないため、";
    case EROFS:
        return "ディスクが読み取り専用のため、";
    default:
        return foundation::format("システムのエラー（%@）のため、", std::generic_category().message(error));
    }
}

std::string changeFailureText(const std::string& cause, bool savesPhotos) {
    return cause + (savesPhotos ? "写真を保存できませんでした。" : "アルバムを変更できませんでした。");
}

std::string failureCauseOf(const foundation::ErrorPtr& error) {
    if (!error) return {};
    const auto it = error->userInfo().find(foundation::kLocalizedFailureReasonKey);
    return it != error->userInfo().end() && it->second.isString() ? *it->second.string() : std::string();
}

} // namespace photos

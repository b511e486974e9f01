#include "app/shell/DatabaseProblem.h"

#include <sqlite3.h>

#include <cerrno>

#include "platform/foundation/Format.h"

namespace shell {

namespace {

// A file that would not open, or a read or write the system refused: its errno tells why.
std::string systemCause(const store::DatabaseFailure& failure) {
    switch (failure.systemError) {
    case ENOENT:
        return "データベースのファイルが見つかりません。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません。";
    case EACCES:
    case EPERM:
        return "データベースのファイルを読み書きする権限がありません。";
    case EROFS:
        return "ディスクが読み取り専用です。";
    case ENOTDIR:
        return "データベースのフォルダの場所に同じ名前のファイルがあります。";
    case EISDIR:
        return "データベースのファイルの場所に同じ名前のフォルダがあります。";
    default:
        return failure.code == SQLITE_CANTOPEN ? "データベースのファイルを開けません。"
                                               : "ディスクの読み書きに失敗しました。";
    }
}

} // namespace

std::string databaseFailureCause(const store::DatabaseFailure& failure) {
    switch (failure.code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "他のプログラムがデータベースを使用中です。";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return "データベースのファイルが破損しています。";
    case SQLITE_FULL:
        return "ディスクの空き容量が足りません。";
    case SQLITE_READONLY:
        return "データベースのファイルに書き込みの権限がありません。";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "データベースを使用する権限がありません。";
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
        return systemCause(failure);
    default:
        return foundation::format("データベースのエラーです（%@）。",
                                  failure.message.empty() ? std::string(sqlite3_errstr(failure.code))
                                                          : failure.message);
    }
}

std::string databaseProblemMessage(const std::string& path, const store::DatabaseFailure& failure) {
    return foundation::format(
        "データベースを使用できないため、患者情報や書類の読み込みまたは保存ができません。"
        "\n\nファイル: %@\n原因: %@",
        path, databaseFailureCause(failure));
}

std::string databaseProblemLogLine(const std::string& path, const store::DatabaseFailure& failure) {
    return foundation::format("The clinic database %@ cannot be used: %@ (%d).", path, failure.message,
                              failure.code);
}

std::string patientReadFailureMessage(const store::DatabaseFailure& failure) {
    return "患者情報を読み込めませんでした。\n原因: " + databaseFailureCause(failure);
}

std::string photoReadFailureMessage(const store::DatabaseFailure& failure) {
    return "登録済みの写真を読み込めませんでした。\n原因: " + databaseFailureCause(failure);
}

std::string registerFailureMessage(const std::optional<store::DatabaseFailure>& failure) {
    if (!failure) return "登録できませんでした";
    return "登録できませんでした\n原因: " + databaseFailureCause(*failure);
}

} // namespace shell

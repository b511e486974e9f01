// What the staff read when the clinic database refuses: the cause in their words, whatever SQLite or
// the system said.
#include <sqlite3.h>

#include <catch2/catch.hpp>
#include <cerrno>

#include "app/shell/DatabaseProblem.h"

TEST_CASE("the causes of an unusable clinic database in the staff's words", "[shell][database]") {
    auto cause = [](int code, int systemError = 0, std::string message = "") {
        return shell::databaseFailureCause({code, systemError, std::move(message)});
    };
    const std::string inUse = "他のプログラムがデータベースを使用中です。";
    CHECK(cause(SQLITE_BUSY) == inUse);
    CHECK(cause(SQLITE_LOCKED) == inUse);
    CHECK(cause(SQLITE_BUSY_SNAPSHOT) == inUse); // extended codes read as their primary one
    const std::string damaged = "データベースのファイルが破損しています。";
    CHECK(cause(SQLITE_NOTADB) == damaged);
    CHECK(cause(SQLITE_CORRUPT) == damaged);
    CHECK(cause(SQLITE_FULL) == "ディスクの空き容量が足りません。");
    CHECK(cause(SQLITE_IOERR, ENOSPC) == "ディスクの空き容量が足りません。");
    CHECK(cause(SQLITE_READONLY) == "データベースのファイルに書き込みの権限がありません。");
    CHECK(cause(SQLITE_CANTOPEN, ENOENT) == "データベースのファイルが見つかりません。");
    CHECK(cause(SQLITE_CANTOPEN, EACCES) == "データベースのファイルを読み書きする権限がありません。");
    CHECK(cause(SQLITE_CANTOPEN, ENOTDIR) == "データベースのフォルダの場所に同じ名前のファイルがあります。");
    CHECK(cause(SQLITE_CANTOPEN) == "データベースのファイルを開けません。");
    CHECK(cause(SQLITE_IOERR, EIO) == "ディスクの読み書きに失敗しました。");
    // Anything else keeps SQLite's own words, for whoever is called to look.
    CHECK(cause(SQLITE_ERROR, 0, "no such table: patientMst") ==
          "データベースのエラーです（no such table: patientMst）。");
    CHECK(cause(SQLITE_MISMATCH) == "データベースのエラーです（datatype mismatch）。");

    CHECK(shell::patientReadFailureMessage({SQLITE_BUSY, 0, "database is locked"}) ==
          "患者情報を読み込めませんでした。\n原因: " + inUse);
}

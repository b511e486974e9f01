// The gate of the form start screens (questionnaire, certificates, letter, photo selection and
// receiving): a patient that is not there and a database that cannot be read are different answers.
#include <catch2/catch.hpp>
#include <filesystem>

#include "app/shell/PatientGate.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/support/ErrorAlert.h"
#include "tests/support/GrabFolder.h"

TEST_CASE("The patient gate tells a patient that cannot be read from one that is not there",
          "[shell][gate]") {
    registtest::RegistApp app;
    auto& delegate = app.delegate();
    auto menu = app.launched.navigation()->viewControllers().front();
    const std::string path = store::ClinicDatabase::databasePath();
    delegate.db()->setMaxBusyRetryTimeInterval(0); // a lock is met at once, not after two seconds
    delegate.inputItems() = store::FormData{{"11", "typed before"}};

    // The gate refuses with one alert and its one OK: not the questionnaire's way out as well.
    auto refusal = [&](const std::string& pid) {
        CHECK_FALSE(shell::passPatientGate(*menu, delegate, pid, "inquirySegue"));
        CHECK(delegate.inputItems() == store::FormData{});
        return testsupport::errorAlertMessage(app.alert());
    };

    SECTION("a database locked by another program") {
        storetest::ClinicDbProbe other(path);
        other.exec("BEGIN EXCLUSIVE");
        CHECK(refusal("999999") ==
              "患者情報を読み込めませんでした。\n原因: 他のプログラムがデータベースを使用中です。");
        app.launched.window().grab().save(testsupport::grabPath("gate-locked.png"));
        other.exec("ROLLBACK");
    }
    SECTION("a damaged database file") {
        storetest::DamagedDatabase damage(path);
        CHECK(refusal("999999") ==
              "患者情報を読み込めませんでした。\n原因: データベースのファイルが破損しています。");
        CHECK(storetest::fileBytes(path) == damage.damaged());
        damage.repair();
    }
    SECTION("a database file that is gone") {
        std::filesystem::rename(path, path + ".kept");
        CHECK(refusal("999999") ==
              "患者情報を読み込めませんでした。\n原因: データベースのファイルが見つかりません。");
        CHECK_FALSE(std::filesystem::exists(path)); // a read makes no empty database in its place
        std::filesystem::rename(path + ".kept", path);
    }
    SECTION("only a patient who is truly absent is said to have no record") {
        CHECK(refusal("123456") == "入力されたIDの患者情報はありません");
    }
    SECTION("a stored patient passes") {
        CHECK(shell::passPatientGate(*menu, delegate, "999999"));
        CHECK_FALSE(app.alert());
        CHECK(delegate.patientInfo()->at("biz") == "会社員");
    }
}

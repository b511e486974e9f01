#pragma once
// The staff's error alert as every screen shows it: titled "エラー", with one "OK" and nothing else.
// Gives its message, for the test to compare.
#include <catch2/catch.hpp>
#include <memory>
#include <string>

#include "platform/ui/AlertController.h"

namespace testsupport {

inline std::string errorAlertMessage(const std::shared_ptr<ui::AlertController>& alert) {
    REQUIRE(alert);
    CHECK(alert->title() == "エラー");
    REQUIRE(alert->actions().size() == 1);
    CHECK(alert->actions().front()->title() == "OK");
    return alert->message();
}

} // namespace testsupport

#include <catch2/catch.hpp>

#include <QAbstractButton>
#include <QTest>

#include "platform/ui/SegmentedControl.h"

TEST_CASE("A segmented control selects one segment", "[ui][segmented]") {
    ui::SegmentedControl control;
    std::vector<int> reported;
    QObject::connect(&control, &ui::SegmentedControl::valueChanged, [&](int i) { reported.push_back(i); });

    control.setSegments({"男", "女"});
    control.show();
    REQUIRE(control.numberOfSegments() == 2);
    CHECK(control.titleForSegmentAtIndex(1) == "女");
    CHECK(control.selectedSegmentIndex() == ui::SegmentedControl::kNoSegment);

    SECTION("a tap selects and reports; a tap on the selected one reports nothing") {
        QTest::mouseClick(control.segmentButton(1), Qt::LeftButton);
        CHECK(control.selectedSegmentIndex() == 1);
        QTest::mouseClick(control.segmentButton(1), Qt::LeftButton);
        QTest::mouseClick(control.segmentButton(0), Qt::LeftButton);
        CHECK(reported == std::vector<int>{1, 0});
        CHECK(control.segmentButton(0)->isChecked());
        CHECK_FALSE(control.segmentButton(1)->isChecked());
    }
    SECTION("code sets the selection silently, and may clear it") {
        control.setSelectedSegmentIndex(0);
        CHECK(control.segmentButton(0)->isChecked());
        control.setSelectedSegmentIndex(7);
        CHECK(control.selectedSegmentIndex() == ui::SegmentedControl::kNoSegment);
        CHECK_FALSE(control.segmentButton(0)->isChecked());
        CHECK(reported.empty());
    }
}

TEST_CASE("A selection set before the segments exist waits for them", "[ui][segmented]") {
    ui::SegmentedControl control;
    control.setSelectedSegmentIndex(1);
    control.setSegments({"男", "女"});
    CHECK(control.selectedSegmentIndex() == 1);
    CHECK(control.segmentButton(1)->isChecked());
}

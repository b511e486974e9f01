#pragma once
// One touch screen for every test of a process: Qt keeps registered devices for the whole run, so a
// device made per test would only pile up (and read as a leak).
#include <QPointingDevice>
#include <QTest>

namespace testsupport {

inline QPointingDevice* touchDevice() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

} // namespace testsupport

#pragma once
// Driving the patient registration screens through their widgets as a receptionist would: menu button,
// typing (Japanese text arrives as an input method's commit, as on a real keyboard), the date picker
// popover, the register and cancel items, the alerts.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <vector>

#include "app/shell/datePickerView.h"
#include "app/shell/patientRegistView.h"
#include "app/shell/patientRegistViewTop.h"
#include "app/store/ClinicDatabase.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/TextField.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/app/store/ClinicDbProbe.h"

namespace registtest {

// Puts the text into the field as typed: a tap, everything selected, then the characters.
inline void type(QWidget* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(field, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(field, &commit);
}

struct RegistApp {
    testsupport::TempHome home;
    shelltest::LaunchedApp launched;

    RegistApp() {
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
        launched.launch();
        auto& w = launched.window();
        w.activateWindow();
        QApplication::setActiveWindow(&w);
        (void)QTest::qWaitForWindowActive(&w);
        launched.settle(50);
    }

    zurarerizIvaDadadavu& delegate() { return *launched.delegate; }
    ui::ViewControllerPtr top() const { return launched.navigation()->topViewController(); }

    std::shared_ptr<patientRegistViewTop> openTop() {
        auto menu = launched.navigation()->viewControllers().front();
        auto* button = menu->view()->findChild<QPushButton*>("patientRegistButton");
        button->click();
        return std::dynamic_pointer_cast<patientRegistViewTop>(top());
    }

    // From the main menu to the form of the patient ID.
    std::shared_ptr<patientRegistView> openForm(const std::string& pid) {
        auto start = openTop();
        if (!start) return nullptr;
        type(start->patientIDBox(), QString::fromStdString(pid));
        QTest::keyClick(start->patientIDBox(), Qt::Key_Return);
        return std::dynamic_pointer_cast<patientRegistView>(top());
    }

    // A start screen of the main storyboard pushed over the menu, with the patient's ID typed into it.
    ui::ViewControllerPtr openStartScreen(const char* scene, const QString& pid = "999999") {
        auto start = ui::Storyboard::named(app::kMainStoryboardName)->instantiateViewController(scene);
        if (!start) return nullptr;
        launched.navigation()->pushViewController(start, false);
        launched.settle(20);
        type(start->view()->findChild<ui::TextField*>("patientIDBox"), pid);
        return start;
    }

    // The same, and its buttons tapped in turn (the last one opens what it opens).
    ui::ViewControllerPtr openFromStartScreen(const char* scene, const std::vector<const char*>& buttons) {
        auto start = openStartScreen(scene);
        if (!start) return nullptr;
        for (const char* name : buttons)
            QTest::mouseClick(start->view()->findChild<QPushButton*>(name), Qt::LeftButton);
        launched.settle(20);
        return start;
    }

    std::shared_ptr<ui::AlertController> alert() const {
        auto alerts = launched.window().visibleAlerts();
        return alerts.empty() ? nullptr : alerts.back();
    }

    std::shared_ptr<datePickerView> picker() const {
        return std::dynamic_pointer_cast<datePickerView>(launched.navigation()->presentedViewController());
    }

    // A tap beside the popover closes it.
    void tapOutsidePopover() const {
        auto* layer = launched.window().findChild<ui::PopoverLayer*>();
        if (layer) QTest::mouseClick(layer, Qt::LeftButton, {}, QPoint(4, layer->height() - 4));
    }

    void tapRegister() { delegate().registButton()->trigger(); }

    storetest::ClinicDbProbe probe() const {
        return storetest::ClinicDbProbe(store::ClinicDatabase::databasePath());
    }
};

// Taps again while a register is still running: the first time an alert starts to come up (the
// register's own outcome, inside its run), `tap` runs once.
class TapWhileAlertComesUp : public QObject {
  public:
    explicit TapWhileAlertComesUp(std::function<void()> tap) : tap_(std::move(tap)) {
        qApp->installEventFilter(this);
    }
    ~TapWhileAlertComesUp() override { qApp->removeEventFilter(this); }
    bool tapped() const { return tapped_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!tapped_ && event->type() == QEvent::Show && watched->objectName() == "alertOverlay") {
            tapped_ = true;
            tap_();
        }
        return false;
    }

  private:
    std::function<void()> tap_;
    bool tapped_ = false;
};

// Counts the rows written into a table of the clinic database from now on.
inline void countWrites(storetest::ClinicDbProbe& probe, const std::string& table) {
    probe.exec("CREATE TABLE IF NOT EXISTS testWrites (name TEXT)");
    for (const char* kind : {"INSERT", "UPDATE"})
        probe.exec("CREATE TRIGGER IF NOT EXISTS testCount" + std::string(kind) + table + " AFTER " + kind +
                   " ON " + table + " BEGIN INSERT INTO testWrites VALUES ('" + table + "'); END");
}
inline int writesTo(storetest::ClinicDbProbe& probe, const std::string& table) {
    return std::stoi(probe.value("SELECT COUNT(*) FROM testWrites WHERE name = '" + table + "'"));
}

// Picks an entry of a picker wheel as a finger would.
inline void turnWheel(ui::DatePicker* picker, ui::DatePicker::Component c, int value) {
    QComboBox* box = picker->wheel(c);
    const int index = box->findData(value);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

} // namespace registtest

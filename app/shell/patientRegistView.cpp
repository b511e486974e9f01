#include "app/shell/patientRegistView.h"

#include <QLabel>

#include "app/shell/FormAlerts.h"
#include "app/shell/PatientRegistration.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "app/store/PatientRows.h"
#include "platform/foundation/Format.h"
#include "platform/geo/Geocoder.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_patientRegistView.h"

namespace {

constexpr const char* kBirthdayStart = "1975年 1月 1日";

// The screen's own subviews in order (not their insides), as the input check walks them.
std::vector<QWidget*> subviews(QWidget* view) {
    std::vector<QWidget*> out;
    for (QObject* child : view->children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) out.push_back(w);
    return out;
}

std::string text(const ui::TextField* field) {
    return field->stdText();
}

} // namespace

patientRegistView::patientRegistView()
    : form_(std::make_unique<Ui::patientRegistView>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

patientRegistView::~patientRegistView() = default;

void patientRegistView::loadView() {
    loadViewFromForm(*form_);
}

QLabel* patientRegistView::patientIDLabel() const {
    return form_->patientIDLabel;
}
ui::TextField* patientRegistView::name1Text() const {
    return form_->name1Text;
}
ui::TextField* patientRegistView::name2Text() const {
    return form_->name2Text;
}
ui::TextField* patientRegistView::kana1Text() const {
    return form_->kana1Text;
}
ui::TextField* patientRegistView::kana2Text() const {
    return form_->kana2Text;
}
ui::SegmentedControl* patientRegistView::sexSegument() const {
    return form_->sexSegument;
}
ui::TextField* patientRegistView::birthText() const {
    return form_->birthText;
}
ui::TextField* patientRegistView::postalText() const {
    return form_->postalText;
}
ui::TextField* patientRegistView::stateText() const {
    return form_->stateText;
}
ui::TextField* patientRegistView::address1Text() const {
    return form_->address1Text;
}
ui::TextField* patientRegistView::address2Text() const {
    return form_->address2Text;
}
ui::TextField* patientRegistView::tel11Text() const {
    return form_->tel11Text;
}
ui::TextField* patientRegistView::tel12Text() const {
    return form_->tel12Text;
}
ui::TextField* patientRegistView::tel13Text() const {
    return form_->tel13Text;
}
ui::TextField* patientRegistView::tel21Text() const {
    return form_->tel21Text;
}
ui::TextField* patientRegistView::tel22Text() const {
    return form_->tel22Text;
}
ui::TextField* patientRegistView::tel23Text() const {
    return form_->tel23Text;
}
ui::TextField* patientRegistView::bizText() const {
    return form_->bizText;
}
ui::TextField* patientRegistView::startText() const {
    return form_->startText;
}
QLabel* patientRegistView::errorMsgText() const {
    return form_->errorMsgText;
}

bool patientRegistView::isOptionalTag(int tag) {
    return (tag >= 1000 && tag <= 1099) || tag == 800 || tag == 1100;
}

void patientRegistView::viewDidLoad() {
    setTitle("患者情報");
    sexSegument()->setSelectedSegmentIndex(0);
    viewUpFlg_ = false;

    auto self = std::static_pointer_cast<patientRegistView>(shared_from_this());
    if (appDelegate_ && appDelegate_->registButton()) {
        appDelegate_->registButton()->setTarget(self, &patientRegistView::registData);
        navigationItem().setRightBarButtonItem(appDelegate_->registButton());
    }
    cancelItem_ = ui::BarButtonItem::create("キャンセル", ui::BarButtonItemStyle::Plain);
    cancelItem_->setTarget(self, &patientRegistView::tapCancelButton);
    navigationItem().setLeftBarButtonItem(cancelItem_);

    if (appDelegate_ && appDelegate_->patientID())
        patientIDLabel()->setText(QString::fromStdString(*appDelegate_->patientID()));
    if (appDelegate_ && appDelegate_->patientInfo() && !appDelegate_->patientInfo()->empty())
        setRegistedInfo();

    for (QWidget* sub : subviews(view())) {
        if (auto* field = qobject_cast<ui::TextField*>(sub)) {
            field->setDelegate(self);
            field->setReturnKeyType(ui::ReturnKeyType::Done);
        }
    }
}

void patientRegistView::viewWillAppear(bool) {
    keyboard_ =
        ui::observeKeyboard(std::static_pointer_cast<patientRegistView>(shared_from_this()),
                            &patientRegistView::keyboardWillShow, &patientRegistView::keyboardWillHide);
}

void patientRegistView::viewDidDisappear(bool) {
    // A screen out of sight must not move for another screen's keyboard.
    keyboard_.reset();
}

void patientRegistView::setRegistedInfo() {
    const store::FormData& info = *appDelegate_->patientInfo();
    auto column = [&](const char* name) {
        auto it = info.find(name);
        return it == info.end() ? std::string() : it->second;
    };
    const auto name = shell::splitName(column("name"));
    name1Text()->setStdText(name[0]);
    name2Text()->setStdText(name[1]);
    const auto kana = shell::splitName(column("kana"));
    kana1Text()->setStdText(kana[0]);
    kana2Text()->setStdText(kana[1]);
    sexSegument()->setSelectedSegmentIndex(column("sex") == "男" ? 0 : 1);
    birthText()->setStdText(column("birthday"));
    postalText()->setStdText(shell::splitPostal(column("postal")));
    stateText()->setStdText(column("state"));
    address1Text()->setStdText(column("address1"));
    address2Text()->setStdText(column("address2"));
    const auto tel1 = shell::splitTel(column("tel1"));
    tel11Text()->setStdText(tel1[0]);
    tel12Text()->setStdText(tel1[1]);
    tel13Text()->setStdText(tel1[2]);
    const auto tel2 = shell::splitTel(column("tel2"));
    tel21Text()->setStdText(tel2[0]);
    tel22Text()->setStdText(tel2[1]);
    tel23Text()->setStdText(tel2[2]);
    bizText()->setStdText(column("biz"));
    startText()->setStdText(column("startdate"));
}

bool patientRegistView::inputDataCheck() {
    auto fail = [&](const std::string& message) {
        errorMsgText()->setText(QString::fromStdString(message));
        return false;
    };
    const std::string digits = "0123456789";
    const std::string phone = "0123456789*#";
    for (QWidget* sub : subviews(view())) {
        const int t = ui::tag(sub);
        if (auto* field = qobject_cast<ui::TextField*>(sub);
            field && !isOptionalTag(t) && field->text().isEmpty()) {
            auto* caption = qobject_cast<QLabel*>(ui::viewWithTag(view(), t / 100));
            return fail(
                foundation::format("%@を入力してください", caption ? caption->text().toStdString() : ""));
        }
        if (!shell::forminput::checkDigit(text(postalText()), digits))
            return fail("郵便番号の入力値が不正です");
        if (!shell::forminput::checkDigit(text(tel11Text()) + text(tel12Text()) + text(tel13Text()), phone))
            return fail("自宅電話番号の入力値が不正です");
        if (!shell::forminput::checkDigit(text(tel21Text()) + text(tel22Text()) + text(tel23Text()), phone))
            return fail("携帯電話番号の入力値が不正です");
    }
    errorMsgText()->clear();
    return true;
}

void patientRegistView::registData() {
    // One save per tap, even when a second tap is handled while this one runs.
    const auto run = registering_.begin();
    if (!run || !inputDataCheck()) return;
    store::PatientEntry entry;
    entry.pid = appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    entry.name = shell::joinName(text(name1Text()), text(name2Text()));
    entry.kana = shell::joinName(text(kana1Text()), text(kana2Text()));
    entry.postal = shell::composePostal(text(postalText()));
    entry.state = text(stateText());
    entry.address1 = text(address1Text());
    entry.address2 = text(address2Text());
    entry.tel1 = shell::joinTel(text(tel11Text()), text(tel12Text()), text(tel13Text()));
    entry.tel2 = shell::joinTel(text(tel21Text()), text(tel22Text()), text(tel23Text()));
    entry.biz = text(bizText());
    entry.startdate = text(startText());
    entry.sex = shell::sexForSegment(sexSegument()->selectedSegmentIndex());
    entry.birthday = text(birthText());

    std::optional<store::DatabaseFailure> failure;
    const bool saved = appDelegate_ && appDelegate_->db() && !entry.pid.empty() &&
                       store::registPatient(*appDelegate_->db(), entry, &failure);
    // A failed save keeps the form as it is, so nothing typed is lost.
    shell::presentRegisterResult(*this, saved, shell::FormExit::ToMainMenu, failure);
}

void patientRegistView::tapCancelButton() {
    shell::presentCancelQuestion(*this);
}

bool patientRegistView::textFieldShouldBeginEditing(ui::TextField& field) {
    nowTagNo_ = ui::tag(&field);
    if (&field == startText() || &field == birthText()) {
        // Dates are picked, not typed.
        showDatePicker(field);
        return false;
    }
    return true;
}

void patientRegistView::showDatePicker(ui::TextField& field) {
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController(datePickerView::kSceneIdentifier));
    if (!picker) return;
    auto self = std::static_pointer_cast<patientRegistView>(shared_from_this());
    picker->setDelegate(self);
    picker->setParentView(self);
    picker->setTagNoStr(std::to_string(ui::tag(&field)));
    picker->setTargetText(&field);
    picker->setPickerType("date");
    std::string start = field.stdText();
    if (start.empty() && &field == birthText()) start = kBirthdayStart;
    picker->setDefaultDateStr(start);
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    picker->popoverAnchor().sourceView = &field;
    picker->popoverAnchor().sourceRect = field.rect();
    picker->popoverAnchor().permittedArrowDirections = ui::ArrowDown;
    pop_ = picker;
    present(picker, true);
}

void patientRegistView::textFieldDidEndEditing(ui::TextField& field) {
    if (&field == postalText()) lookUpPostalCode();
}

void patientRegistView::lookUpPostalCode() {
    geocoder_ = std::make_shared<geo::Geocoder>();
    std::weak_ptr<patientRegistView> weak = std::static_pointer_cast<patientRegistView>(shared_from_this());
    geocoder_->geocodeAddressString(
        foundation::format("〒%@", text(postalText())),
        [weak](const std::vector<geo::Placemark>& placemarks, const foundation::ErrorPtr&) {
            auto self = weak.lock();
            if (!self || placemarks.empty()) return; // nothing found: the fields stay as typed
            const foundation::Dictionary address = placemarks.front().addressDictionary();
            self->stateText()->setStdText(address.at(geo::kAddressStateKey).stringValue());
            if (self->address1Text()->text().isEmpty())
                self->address1Text()->setStdText(address.at(geo::kAddressCityKey).stringValue());
        });
}

bool patientRegistView::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    nowTagNo_ = 0;
    return true;
}

void patientRegistView::keyboardWillShow(const foundation::Notification& notification) {
    if (!appDelegate_) return;
    if (nowTagNo_ >= kLiftingTag && !viewUpFlg_) {
        appDelegate_->viewPositionChange(notification, view(), true);
        viewUpFlg_ = true;
    } else if (nowTagNo_ < kLiftingTag && viewUpFlg_) {
        // Back to a field near the top: it would be out of sight with the form lifted.
        appDelegate_->viewPositionChange(notification, view(), false);
        viewUpFlg_ = false;
    }
}

void patientRegistView::keyboardWillHide(const foundation::Notification& notification) {
    if (!appDelegate_) return;
    appDelegate_->viewPositionChange(notification, view(), false);
    viewUpFlg_ = false;
}

void patientRegistView::popoverClose(const QDateTime&, int32_t) {}

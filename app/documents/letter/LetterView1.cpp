#include "app/documents/letter/LetterView1.h"
#include "app/assets/PageResources.h"

#include <QLabel>

#include "app/documents/pages/ClinicInfo.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_LetterView1.h"

namespace {

constexpr const char* kStoredDate = "yyyy年 M月 d日";
constexpr int kDateTag = 34;

// The referral target's members and the fields that edit them.
struct TargetField {
    const char* key;
    int tag;
};
constexpr TargetField kTargetFields[] = {{"cname", 81001}, {"departments", 81002}, {"doctor", 81003}};
constexpr int kFirstText = 81011, kLastText = 81018;

} // namespace

LetterView1::LetterView1() : certificatePageView(1), ui_(std::make_unique<Ui::LetterView1>()) {}
LetterView1::~LetterView1() = default;

void LetterView1::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

store::FormData& LetterView1::record() const {
    static store::FormData none;
    return appDelegate_ ? appDelegate_->letterDataList() : none;
}

QLabel* LetterView1::label(const char* name) const {
    return formView() ? formView()->findChild<QLabel*>(name) : nullptr;
}

ui::TextField* LetterView1::textFieldWithTag(int tag) const {
    return qobject_cast<ui::TextField*>(formView() ? ui::viewWithTag(formView(), tag) : nullptr);
}

ui::TextView* LetterView1::textViewWithTag(int tag) const {
    return qobject_cast<ui::TextView*>(formView() ? ui::viewWithTag(formView(), tag) : nullptr);
}

std::string LetterView1::ageText(const std::string& birthday, const QDate& today) {
    const QDate born = QDate::fromString(QString::fromStdString(birthday), kStoredDate);
    // No birthday, no age: a number made up from nothing would be printed on the letter.
    if (!born.isValid() || born > today) return {};
    long age = today.year() - born.year();
    if (today.month() < born.month() || (today.month() == born.month() && today.day() < born.day())) --age;
    return foundation::format("%ld", age);
}

std::string LetterView1::clinicTelText(const std::string& tel, const std::string& fax) {
    return fax.empty() ? tel : foundation::format("%@ ／ (FAX)%@", tel, fax);
}

void LetterView1::viewDidLoad() {
    const std::string pid =
        appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    ui_->patientIDLabel->setText(QString::fromStdString(foundation::format("%@%@", pid, std::string("-4"))));

    auto self = std::dynamic_pointer_cast<LetterView1>(shared_from_this());
    store::FormData& letter = record();
    for (QWidget* view : formView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int t = ui::tag(view);
        auto* text = qobject_cast<ui::TextView*>(view);
        auto* field = qobject_cast<ui::TextField*>(view);
        if (text) {
            text->setDelegate(self);
            assets::hideScrollBars(text);
        } else if (field) {
            field->setDelegate(self);
            field->setReturnKeyType(ui::ReturnKeyType::Done);
        }
        if (!touchMode() && (text || field)) makeInert(view);
        const auto stored = t >= 1 ? letter.find(std::to_string(t)) : letter.end();
        if (stored == letter.end()) continue;
        if (auto* l = qobject_cast<QLabel*>(view); l && t >= 30) {
            l->setText(QString::fromStdString(stored->second));
            if (t == kDateTag) ui_->dateSLabel->setText(l->text());
        } else if (text) {
            text->setStdText(stored->second);
        }
    }
    setInitialData();
    acceptTouches();
}

void LetterView1::viewWillAppear(bool animated) {
    certificatePageView::viewWillAppear(animated);
    keyboardShowFlg_ = false;
}

void LetterView1::getClinicInfo() {
    if (!appDelegate_) return;
    const auto info = documents::readClinicInfo(appDelegate_->applicationDocumentsDirectory());
    if (!info) return;
    // A file without a clinic in it is as good as none: the header keeps the layout's text.
    if (info->empty()) {
        foundation::log("Not ClinicInfo File.");
        return;
    }
    auto member = [&](const char* key) {
        auto it = info->find(key);
        return QString::fromStdString(it == info->end() ? std::string() : it->second);
    };
    ui_->clinic_name->setText(member("name"));
    ui_->clinic_tel->setText(
        QString::fromStdString(clinicTelText(member("tel").toStdString(), member("fax").toStdString())));
    ui_->clinic_postal->setText(QString::fromStdString(documents::clinicPostalText(*info)));
    ui_->clinic_address1->setText(member("state") + member("address1"));
    ui_->clinic_address2->setText(member("address2"));
    ui_->clinic_director->setText(member("director"));
}

void LetterView1::setInitialData() {
    getClinicInfo();
    const store::FormData none;
    const store::FormData& info =
        appDelegate_ && appDelegate_->patientInfo() ? *appDelegate_->patientInfo() : none;
    auto column = [&](const char* key) {
        auto it = info.find(key);
        return it == info.end() ? std::string() : it->second;
    };
    auto show = [](QLabel* l, const std::string& text) { l->setText(QString::fromStdString(text)); };
    show(ui_->nameLabel, foundation::format("%@　様", column("name")));
    show(ui_->postLabel, foundation::format("〒%@", column("postal")));
    show(ui_->add1Label, column("state") + column("address1"));
    show(ui_->add2Label, column("address2"));
    show(ui_->tel1Label, column("tel1"));
    show(ui_->bizLabel, column("biz"));
    show(ui_->birthLabel, column("birthday"));
    // An unrecorded sex shows nothing rather than a lone "性".
    show(ui_->sexLabel, column("sex").empty() ? std::string() : foundation::format("%@性", column("sex")));
    show(ui_->ageLabel, ageText(column("birthday"), QDate::currentDate()));

    store::FormData& letter = record();
    if (const auto date = letter.find("34"); date != letter.end())
        show(ui_->dateSLabel, date->second);
    else if (ui_->dateSLabel->text() == kDatePlaceholder)
        show(ui_->dateSLabel, QDate::currentDate().toString(kStoredDate).toStdString());

    if (!appDelegate_) return;
    store::FormData& target = appDelegate_->medicalList();
    // One referral target row serves every letter.
    if (!target.count("cid")) target["cid"] = store::kReferralTargetCid;
    for (const TargetField& f : kTargetFields) {
        ui::TextField* field = textFieldWithTag(f.tag);
        if (!field) continue;
        if (const auto it = target.find(f.key); it != target.end()) {
            field->setStdText(it->second);
        } else {
            field->setStdText("");
            target[f.key] = field->stdText();
        }
    }
    for (int tag = kFirstText; tag <= kLastText; ++tag) {
        ui::TextView* text = textViewWithTag(tag);
        if (!text) continue;
        if (const auto it = letter.find(std::to_string(tag)); it != letter.end()) {
            text->setStdText(it->second);
        } else {
            text->setStdText("");
            letter[std::to_string(tag)] = text->stdText();
        }
    }
}

void LetterView1::touchesEnded(QWidget* touched) {
    if (!touchMode()) return;
    touchViewTag_ = ui::tag(touched);
    if (touchViewTag_ == kDateTag) showDatePicker(kDateTag);
}

void LetterView1::showDatePicker(int tag) {
    QLabel* target = labelWithTag(tag);
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController(datePickerView::kSceneIdentifier));
    if (!picker || !target) return;
    auto self = std::dynamic_pointer_cast<LetterView1>(shared_from_this());
    picker->setDelegate(self);
    picker->setParentView(self);
    picker->setTagNoStr(std::to_string(tag));
    picker->setTargetLabel(target);
    picker->setPickerType("date");
    // From the stored date; without one (the label shows its placeholder) the picker starts at today.
    const auto stored = record().find(std::to_string(tag));
    picker->setDefaultDateStr(stored != record().end() && stored->second != "(null)" ? stored->second
                                                                                     : std::string());
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    picker->popoverAnchor().sourceView = target;
    picker->popoverAnchor().sourceRect = target->rect();
    picker->popoverAnchor().permittedArrowDirections = ui::ArrowUp;
    pop_ = picker;
    present(picker, true);
}

void LetterView1::popoverClose(const QDateTime&, int32_t tagNo) {
    if (tagNo != kDateTag) return;
    QLabel* date = labelWithTag(kDateTag);
    if (!date) return;
    record()["34"] = date->text().toStdString();
    ui_->dateSLabel->setText(date->text());
}

void LetterView1::textFieldDidBeginEditing(ui::TextField&) {
    shiftsForKeyboard_ = false;
}

void LetterView1::textFieldDidEndEditing(ui::TextField& field) {
    if (!appDelegate_ || !touchMode()) return;
    const int t = ui::tag(&field);
    for (const TargetField& f : kTargetFields)
        if (f.tag == t) appDelegate_->medicalList()[f.key] = field.stdText();
}

bool LetterView1::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return true;
}

bool LetterView1::textViewShouldBeginEditing(ui::TextView& view) {
    if (!touchMode()) return false;
    touchViewTag_ = ui::tag(&view);
    shiftsForKeyboard_ = true;
    return true;
}

void LetterView1::textViewDidEndEditing(ui::TextView& view) {
    if (touchMode()) record()[std::to_string(ui::tag(&view))] = view.stdText();
}

void LetterView1::keyboardWillShow(const foundation::Notification& notification) {
    if (!shiftsForKeyboard_ || keyboardShowFlg_ || !appDelegate_) return;
    appDelegate_->viewPositionChange(notification, view(), true);
    keyboardShowFlg_ = true;
}

void LetterView1::keyboardWillHide(const foundation::Notification& notification) {
    if (!keyboardShowFlg_ || !appDelegate_) return;
    appDelegate_->viewPositionChange(notification, view(), false);
    keyboardShowFlg_ = false;
}

#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateBlocks.h"
#include "app/documents/certificate/certificateTags.h"

#include <QLabel>
#include <QLocale>
#include <QTextCursor>

#include "app/assets/PageResources.h"
#include "app/documents/pages/ClinicInfo.h"
#include "app/documents/pages/PrintedText.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_certificateView1.h"

namespace {

namespace tags = certificatetags;

constexpr const char* kStoredDate = "yyyy年 M月 d日";
constexpr const char* kMark = "●";

QDate parseStoredDate(const std::string& text) {
    return QDate::fromString(QString::fromStdString(text), kStoredDate);
}

struct Phrase {
    const char* ja;
    const char* en;
    const char* zh;
};
constexpr Phrase kPhrases[] = {
    {"歯肉精密検査（歯茎の検査）", "Thorough gingival inspection (gum inspection)",
     "牙龈精密检查（牙龈检查）"},
    {"歯石除去", "Tartar removal", "去除牙结石"},
    {"虫歯治療", "Tooth decay treatment", "虫牙治疗"},
    {"歯列改善（歯並びの改善）", "Dentition Alignment (teeth alignment)", "齿列改善（牙齿排列的改善）"},
    {"欠損部補綴（歯がない部分の治療）", "Deficit Prosthesis (Treatment for missing teeth)",
     "缺损部补缀（没有牙齿部分的治疗）"},
};

} // namespace

certificateView1::certificateView1()
    : certificatePageView(1), ui_(std::make_unique<Ui::certificateView1>()) {}
certificateView1::~certificateView1() = default;

void certificateView1::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

QLabel* certificateView1::label(const char* name) const {
    return formView() ? formView()->findChild<QLabel*>(name) : nullptr;
}

ui::TextView* certificateView1::textViewWithTag(int tag) const {
    return qobject_cast<ui::TextView*>(formView() ? ui::viewWithTag(formView(), tag) : nullptr);
}

void certificateView1::setText(QLabel* target, const std::string& text) {
    if (target) target->setText(QString::fromStdString(text));
}

std::string certificateView1::formatDate(const QDate& date, const std::string& language) {
    if (!date.isValid()) return {};
    if (language == "English")
        return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, "MMM-dd-yyyy").toStdString();
    return date.toString(kStoredDate).toStdString();
}

std::string certificateView1::translateJapaneseSectionFourToEnglish(const std::string& phrase) {
    for (const Phrase& p : kPhrases)
        if (phrase == p.ja) return p.en;
    return phrase;
}

std::string certificateView1::translateJapaneseSectionFourToChinese(const std::string& phrase) {
    for (const Phrase& p : kPhrases)
        if (phrase == p.ja) return p.zh;
    return phrase;
}

void certificateView1::getWeekDay(const QDate& date, QLabel* target) {
    static const char* const kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
    if (!target || !date.isValid()) return;
    // Qt counts Monday as 1 and Sunday as 7; the names start on Sunday.
    target->setText(
        QString::fromStdString(foundation::format("（%@）", std::string(kDays[date.dayOfWeek() % 7]))));
}

void certificateView1::viewDidLoad() {
    viewMoved_ = false;
    inputFlag_ = false;
    const std::string lang = language();
    store::FormData& record = appDelegate_ ? appDelegate_->certifiDataList() : *new store::FormData;
    std::string name;
    if (appDelegate_ && appDelegate_->patientInfo())
        if (auto it = appDelegate_->patientInfo()->find("name"); it != appDelegate_->patientInfo()->end())
            name = it->second;
    setTitle(lang == "Japanese" ? foundation::format("%@ 様", name) : name);

    for (QWidget* view : formView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int t = ui::tag(view);
        auto* text = qobject_cast<ui::TextView*>(view);
        if (text) adoptTextView(text);
        const auto stored = t >= 1 ? record.find(std::to_string(t)) : record.end();
        if (stored == record.end()) continue;
        const std::string& v = stored->second;
        if (auto* l = qobject_cast<QLabel*>(view)) {
            if (tags::isJudgementFace(t) || tags::isJudgementMark(t)) {
                setFaceIcon(t);
                continue;
            }
            setText(l, v);
            if (t == tags::kNextExaminationDate) {
                setText(l, formatDate(parseStoredDate(v), lang));
            } else if (t == tags::kTreatmentStartDate) {
                setText(l, certificateblocks::displayedDateAndTime(v, lang));
            } else if (t == tags::kFirstVisitDate) {
                setText(ui_->visitLabel, formatDate(parseStoredDate(v), lang));
            } else if (t == tags::kExaminationDate) {
                setText(ui_->dateSLabel, formatDate(parseStoredDate(v), lang));
                ui_->dateLLabel->setText(ui_->dateSLabel->text());
            }
        } else if (text) {
            std::string shown = v;
            if (tags::isTreatment(t) && lang == "English") shown = translateJapaneseSectionFourToEnglish(v);
            if (tags::isTreatment(t) && lang == "Chinese") shown = translateJapaneseSectionFourToChinese(v);
            text->setStdText(shown);
        }
    }
    if (const std::string date = std::to_string(tags::kExaminationDate); !record.count(date)) {
        const QDate today = QDate::currentDate();
        setText(ui_->dateSLabel, formatDate(today, lang));
        ui_->dateLLabel->setText(ui_->dateSLabel->text());
        QLabel* weekday = labelWithTag(tags::kExaminationWeekday);
        getWeekDay(today, weekday);
        record[date] = ui_->dateSLabel->text().toStdString();
        if (weekday) record[std::to_string(tags::kExaminationWeekday)] = weekday->text().toStdString();
    }
    setCaptions();
    setInitialData();

    acceptTouches();
}

void certificateView1::setCaptions() {
    const std::string lang = language();
    const bool english = lang == "English", chinese = lang == "Chinese";
    ui_->examinationDateJapanLabel->setVisible(lang == "Japanese");
    ui_->nextExaminationDateJapanSignalLabel->setVisible(!english && !chinese);
    const store::FormData empty;
    const store::FormData& record = appDelegate_ ? appDelegate_->certifiDataList() : empty;
    ui_->nextExaminationDateLabel->setVisible(!english || record.count("30"));
    ui_->treatmentStartDateLabel->setVisible(!english || record.count("31"));
    if (english) {
        ui_->examinationDateLabel->setText("Examination Date :");
        ui_->treatmentDateLabel->setText("Treatment Start Date :");
        ui_->contactAtLabel->setText("Contact At");
    } else if (chinese) {
        ui_->examinationDateLabel->setText("本次受诊日 :");
        ui_->treatmentDateLabel->setText("治疗开始日 :");
        ui_->contactAtLabel->setText("请联系");
    }
}

void certificateView1::viewWillAppear(bool animated) {
    certificatePageView::viewWillAppear(animated);
    const std::string lang = language();
    if (lang == "English") {
        ui_->reportLabel->setText("Stomavue Report");
        ui_->dateLabel->setText("Date :");
    } else if (lang == "Chinese") {
        ui_->reportLabel->setText("口腔癌检查结果报告书");
        ui_->dateLabel->setText("日期 :");
    }
    if (!touchMode()) ui_->destView->setVisible(false);
}

void certificateView1::viewDidAppear(bool animated) {
    if (!touchMode() && !ui_->destView->isVisible())
        certificateblocks::revealContactBlock(ui_->destView, ui_->imageLogo, logoData_);
    certificatePageView::viewDidAppear(animated);
}

void certificateView1::getClinicInfo() {
    if (appDelegate_)
        logoData_ =
            certificateblocks::fillClinicBlock(formView(), appDelegate_->applicationDocumentsDirectory());
}

void certificateView1::setInitialData() {
    getClinicInfo();
    const std::string lang = language();
    certificateblocks::fillCurrentPatientBlock(formView(), appDelegate_.get(), lang);
    if (ui_->dateSLabel->text().isEmpty()) {
        setText(ui_->dateLLabel, formatDate(QDate::currentDate(), lang));
        ui_->dateSLabel->setText(ui_->dateLLabel->text());
    }
}

void certificateView1::setFaceIcon(int tag) {
    if (appDelegate_) certificateblocks::setFaceIcon(formView(), appDelegate_->certifiDataList(), tag);
}

void certificateView1::touchesEnded(QWidget* touched) {
    if (!touchMode() || !appDelegate_) return;
    const int t = ui::tag(touched);
    touchViewTag_ = t;
    switch (tags::touchOn(t)) {
    case tags::Touch::CheckMark:
        appDelegate_->onCheckLabelSingle(t, formView(), "■");
        break;
    case tags::Touch::DatePicker:
        showDatePicker(t);
        break;
    case tags::Touch::JudgementMark:
        setFaceIcon(t);
        break;
    case tags::Touch::JudgementFace:
        certificateblocks::nextFaceIcon(formView(), appDelegate_->certifiDataList(), t);
        break;
    case tags::Touch::PhotoSlot: // the one-page form's
    case tags::Touch::Nothing:
        break;
    }
}

void certificateView1::showDatePicker(int tag) {
    auto self = std::dynamic_pointer_cast<certificateView1>(shared_from_this());
    if (!appDelegate_) return;
    if (auto picker = certificateblocks::presentDatePicker(
            *this, self, labelWithTag(tag), tag,
            certificateblocks::storedText(appDelegate_->certifiDataList(), tag)))
        pop_ = picker;
}

void certificateView1::popoverClose(const QDateTime& date, int32_t tagNo) {
    const int weekdayTag = tags::weekdayBeside(tagNo);
    if (!weekdayTag) return;
    QLabel* weekday = labelWithTag(weekdayTag);
    getWeekDay(date.date(), weekday);
    if (appDelegate_ && weekday)
        appDelegate_->certifiDataList()[std::to_string(weekdayTag)] = weekday->text().toStdString();
    if (tagNo == tags::kExaminationDate) ui_->dateSLabel->setText(ui_->dateLLabel->text());
}

bool certificateView1::textViewShouldBeginEditing(ui::TextView& view) {
    if (!touchMode()) return false;
    const int t = ui::tag(&view);
    touchViewTag_ = t;
    if (tags::isTreatment(t) && !inputFlag_) {
        if (ui::TextView* previous = textViewWithTag(saveViewTag_); previous && previous != &view)
            previous->resignFirstResponder();
        auto list = std::dynamic_pointer_cast<tableListView>(
            ui::Storyboard::named("Main")->instantiateViewController(tableListView::kSceneIdentifier));
        if (!list) return false;
        list->setDelegate(std::dynamic_pointer_cast<certificateView1>(shared_from_this()));
        list->setSelectedCont(view.stdText());
        list->setTagNo(t);
        list->setModalPresentationStyle(ui::PresentationStyle::Popover);
        list->setPreferredContentSize(QSize(380, 272));
        list->popoverAnchor().sourceView = &view;
        list->popoverAnchor().sourceRect = view.rect();
        list->popoverAnchor().permittedArrowDirections = ui::ArrowDown;
        pop_ = list;
        present(list, true);
        return false;
    }
    inputFlag_ = false;
    saveViewTag_ = t;
    return true;
}

void certificateView1::popoverListClose(const std::string& text, int32_t tagNo, bool closeFlag) {
    if (!closeFlag) return;
    if (pop_) pop_->dismiss(true);
    pop_.reset();
    ui::TextView* field = textViewWithTag(tagNo);
    if (!field) return;
    if (text == tableListView::kManualInput) {
        // The next edit of the field is free text.
        inputFlag_ = true;
        field->becomeFirstResponder();
        return;
    }
    field->setStdText(text);
    field->resignFirstResponder();
    if (appDelegate_) appDelegate_->certifiDataList()[std::to_string(tagNo)] = text;
}

void certificateView1::textViewDidEndEditing(ui::TextView& view) {
    if (appDelegate_ && touchMode())
        appDelegate_->certifiDataList()[std::to_string(ui::tag(&view))] = view.stdText();
    // Typing leaves the view on its last line; a treatment longer than the field reads from its start.
    QTextCursor start = view.textCursor();
    start.movePosition(QTextCursor::Start);
    view.setTextCursor(start);
}

void certificateView1::keyboardWillShow(const foundation::Notification& notification) {
    if (touchViewTag_ < 1 || touchViewTag_ > tags::kTreatmentLast || !appDelegate_) return;
    viewMoved_ = true;
    appDelegate_->viewPositionChange(notification, view(), true);
}

void certificateView1::keyboardWillHide(const foundation::Notification& notification) {
    if (!viewMoved_ || !appDelegate_) return;
    viewMoved_ = false;
    appDelegate_->viewPositionChange(notification, view(), false);
}

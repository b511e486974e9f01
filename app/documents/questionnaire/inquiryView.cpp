#include "app/documents/questionnaire/inquiryView.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "app/assets/PageResources.h"
#include "app/documents/pages/ClinicInfo.h"
#include "app/documents/pages/PageScrollView.h"
#include "app/documents/pages/PrintedArtwork.h"
#include "app/documents/pages/PrintedText.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/WidgetFormPage.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_inquiryView1.h"
#include "ui_inquiryView2.h"
#include "ui_inquiryView3.h"

namespace {

constexpr const char* kCircle = "circle.png";
constexpr const char* kInputDateKey = "inputdate";

// A key's number: its leading decimal digits; 0 without any.
int keyTag(const std::string& key) {
    int tag = 0;
    for (char c : key) {
        if (c < '0' || c > '9' || tag > 100000000) break;
        tag = tag * 10 + (c - '0');
    }
    return tag;
}

std::vector<QWidget*> viewsOf(QWidget* form) {
    std::vector<QWidget*> views;
    if (!form) return views;
    for (QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        views.push_back(w);
    return views;
}

bool isMultiTag(int tag, int page) {
    return (tag >= 1000 && tag <= 9999) || (tag >= 10000 && page != 2);
}

} // namespace

// ---- the page base

inquiryPageView::inquiryPageView(int page) : appDelegate_(zurarerizIvaDadadavu::shared()), page_(page) {}

inquiryPageView::~inquiryPageView() = default;

std::string inquiryPageView::backgroundImageName(int page, const std::optional<std::string>& language) {
    const std::string base = "inquiry_" + std::to_string(page);
    if (language == "Japanese") return base + ".png";
    if (language == "Chinese") return base + "_Chinese.png";
    return base + "_English.png";
}

void inquiryPageView::loadView() {
    auto* form = new QWidget;
    setupForm(form);
    form_ = form;
    setView(std::make_unique<documents::PageScrollView>(form));
}

QLabel* inquiryPageView::backgroundImage() const {
    return form_ ? form_->findChild<QLabel*>("backgroundImage") : nullptr;
}

QLabel* inquiryPageView::clinicLogoImage() const {
    return form_ ? form_->findChild<QLabel*>("clinicLogoImage") : nullptr;
}

void inquiryPageView::viewDidLoad() {
    const bool touchMode = appDelegate_ && appDelegate_->touchMode();
    connectViews(touchMode);
    if (!touchMode) {
        assets::useDocumentFont(form_, StaticVariableHelper::inquiryLanguage().value_or(""));
        // The page is shown whole by whoever holds it (the print preview scrolls it).
        if (auto* scroll = qobject_cast<QAbstractScrollArea*>(view())) {
            assets::hideScrollBars(scroll);
        }
    }
    // Taps on labels and the background reach the page as touches.
    form_->installEventFilter(this);
    for (QWidget* w : form_->findChildren<QWidget*>())
        w->installEventFilter(this);
    setInitialData();
}

void inquiryPageView::makeInert(QWidget* view) {
    view->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    view->setFocusPolicy(Qt::NoFocus);
    if (auto* line = qobject_cast<QLineEdit*>(view)) line->setReadOnly(true);
    if (auto* text = qobject_cast<QPlainTextEdit*>(view)) text->setReadOnly(true);
}

void inquiryPageView::connectViews(bool touchMode) {
    auto self = std::static_pointer_cast<inquiryPageView>(shared_from_this());
    for (QWidget* view : viewsOf(form_)) {
        const int t = ui::tag(view);
        if (auto* button = qobject_cast<QAbstractButton*>(view); button && t >= 100) {
            if (!touchMode) {
                makeInert(button);
                continue;
            }
            if (isMultiTag(t, page_))
                connect(button, &QAbstractButton::clicked, this,
                        [this, button] { tapButtonOnCircleMulti(button); });
            else
                connect(button, &QAbstractButton::clicked, this,
                        [this, button] { tapButtonOnCircle(button); });
        } else if (auto* field = qobject_cast<ui::TextField*>(view); field && t >= 10 && t <= 99) {
            if (!touchMode) {
                makeInert(field);
                continue;
            }
            field->setDelegate(self);
            field->setReturnKeyType(ui::ReturnKeyType::Done);
        }
    }
}

void inquiryPageView::setInitialData() {
    if (!appDelegate_ || !appDelegate_->inputItems()) return;
    for (const auto& [key, value] : *appDelegate_->inputItems()) {
        if (value == "off" || value.empty()) continue;
        const int t = keyTag(key);
        if (t >= 11 && t <= 99) {
            if (auto* field = qobject_cast<ui::TextField*>(ui::viewWithTag(form_, t)))
                field->setStdText(value);
        } else if (t >= 100 && !(page_ == 2 && t >= 500 && t <= 599)) {
            // The same image a tap shows, so a reopened page looks as it was left.
            const std::string image = isMultiTag(t, page_) ? multiCircleImageName(t) : kCircle;
            shell::WidgetFormPage(form_, assets::bundleImage(image)).setCircle(t, true);
        }
    }
}

void inquiryPageView::setBackground() {
    QLabel* background = backgroundImage();
    if (!background) return;
    const auto language = StaticVariableHelper::inquiryLanguage();
    background->setPixmap(assets::bundleImage(backgroundImageName(page_, language)));
    // Printed, the page is drawn from its definition, so its questions print as sharp as the answers.
    if (appDelegate_ && !appDelegate_->touchMode())
        documents::printQuestionnaireArtwork(background, page_, language);
}

void inquiryPageView::getClinicInfo() {
    if (!appDelegate_) return;
    const QPixmap logo = documents::clinicLogo(appDelegate_->applicationDocumentsDirectory());
    QLabel* label = clinicLogoImage();
    if (logo.isNull() || !label) return;
    assets::showLogo(label, logo);
}

void inquiryPageView::viewWillAppear(bool) {
    if (observesKeyboard()) {
        // A printed page takes no input, so no keyboard is its own: shifting it for one would leave it
        // cut to the screen's height inside the preview.
        if (appDelegate_ && appDelegate_->touchMode())
            keyboard_ =
                ui::observeKeyboard(std::static_pointer_cast<inquiryPageView>(shared_from_this()),
                                    &inquiryPageView::keyboardWillShow, &inquiryPageView::keyboardWillHide);
        getClinicInfo();
    }
    setBackground();
}

void inquiryPageView::viewDidAppear(bool) {
    if (appDelegate_ && !appDelegate_->touchMode()) documents::fitPrintedTexts(form_);
}

void inquiryPageView::viewDidDisappear(bool) {
    keyboard_.reset();
}

void inquiryPageView::tapButtonOnCircle(QAbstractButton* button) {
    touchViewTag_ = ui::tag(button);
    if (appDelegate_) appDelegate_->onCircleSingle(button, form_, assets::bundleImage(kCircle));
}

void inquiryPageView::tapButtonOnCircleMulti(QAbstractButton* button) {
    touchViewTag_ = ui::tag(button);
    if (appDelegate_)
        appDelegate_->onCircleMulti(button, form_,
                                    assets::bundleImage(multiCircleImageName(ui::tag(button))));
}

void inquiryPageView::textFieldDidBeginEditing(ui::TextField& field) {
    // The clear button belongs to editing; a page at rest looks like the printed form.
    field.setClearButtonEnabled(true);
}

void inquiryPageView::textFieldDidEndEditing(ui::TextField& field) {
    field.setClearButtonEnabled(false);
    if (appDelegate_) appDelegate_->inputTextItem(&field, form_);
}

bool inquiryPageView::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return true;
}

void inquiryPageView::keyboardWillShow(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), true);
}

void inquiryPageView::keyboardWillHide(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), false);
}

void inquiryPageView::touchesBegan(QWidget* touched) {
    touchViewTag_ = ui::tag(touched);
}

bool inquiryPageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::TouchBegin)
        if (auto* w = qobject_cast<QWidget*>(watched)) touchesBegan(w);
    return ui::ViewController::eventFilter(watched, event);
}

// ---- page 1

inquiryView1::inquiryView1() : inquiryPageView(1), ui_(std::make_unique<Ui::inquiryView1>()) {}
inquiryView1::~inquiryView1() = default;

void inquiryView1::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

QLabel* inquiryView1::patientIDLabel() const {
    return ui_->patientIDLabel;
}

void inquiryView1::setInitialData() {
    if (appDelegate_ && appDelegate_->patientID())
        patientIDLabel()->setText(QString::fromStdString(*appDelegate_->patientID()));
    inquiryPageView::setInitialData();
}

void inquiryView1::viewDidAppear(bool animated) {
    // A page drawn for a shorter screen gets room to scroll past its last question.
    if (QWidget* form = formView(); form && form->height() < 1025)
        form->resize(form->width(), form->height() + 71);
    inquiryPageView::viewDidAppear(animated);
}

// ---- page 2

inquiryView2::inquiryView2() : inquiryPageView(2), ui_(std::make_unique<Ui::inquiryView2>()) {}
inquiryView2::~inquiryView2() = default;

void inquiryView2::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

void inquiryView2::viewDidLoad() {
    inquiryPageView::viewDidLoad();
    getClinicInfo();
}

void inquiryView2::connectViews(bool touchMode) {
    inquiryPageView::connectViews(touchMode);
    // Circles 500 to 599 of this page are printed for the clinician, not answered by the patient.
    for (QWidget* view : viewsOf(formView()))
        if (const int t = ui::tag(view); qobject_cast<QAbstractButton*>(view) && t >= 500 && t <= 599) {
            view->disconnect(this);
            makeInert(view);
        }
}

// ---- page 3

inquiryView3::inquiryView3() : inquiryPageView(3), ui_(std::make_unique<Ui::inquiryView3>()) {}
inquiryView3::~inquiryView3() = default;

void inquiryView3::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

ui::TextView* inquiryView3::patientName() const {
    return ui_->patientName;
}

QLabel* inquiryView3::inputDateLabel() const {
    return ui_->inputDateLabel;
}

std::string inquiryView3::displayDate(const QDate& date, const std::optional<std::string>& language) {
    if (language == "English")
        return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, "MMM-dd-yyyy").toStdString();
    return date.toString("yyyy年 M月 d日").toStdString();
}

void inquiryView3::connectViews(bool touchMode) {
    for (QWidget* view : viewsOf(formView())) {
        const int t = ui::tag(view);
        auto* text = qobject_cast<ui::TextView*>(view);
        if (!text || t < 95 || t > 99) continue;
        assets::hideScrollBars(text);
        if (touchMode)
            text->setDelegate(std::dynamic_pointer_cast<inquiryView3>(shared_from_this()));
        else
            makeInert(text);
    }
    if (touchMode) {
        inquiryPageView::connectViews(true);
        return;
    }
    // Print mode: the circles stay without actions.
    for (QWidget* view : viewsOf(formView()))
        if (qobject_cast<QAbstractButton*>(view)) makeInert(view);
}

void inquiryView3::setInitialData() {
    if (!appDelegate_) return;
    if (!appDelegate_->inputItems()) appDelegate_->inputItems().emplace();
    store::FormData& items = *appDelegate_->inputItems();
    if (const auto& info = appDelegate_->patientInfo(); info) {
        const auto name = info->find("name");
        patientName()->setStdText(name != info->end() ? name->second : std::string());
    }
    inquiryPageView::setInitialData();
    // The free texts are answers like any other: back into their views (the name box too, when the
    // patient wrote it otherwise).
    for (int t = 95; t <= 99; ++t) {
        const auto text = items.find(std::to_string(t));
        if (text == items.end() || text->second.empty()) continue;
        if (auto* view = qobject_cast<ui::TextView*>(ui::viewWithTag(formView(), t)))
            view->setStdText(text->second);
    }

    const auto language = StaticVariableHelper::inquiryLanguage();
    const auto stored = items.find(kInputDateKey);
    if (stored != items.end() && stored->second != "(null)") {
        QDate date = QDate::fromString(QString::fromStdString(stored->second), "yyyy-MM-dd");
        if (!date.isValid()) date = QDate::currentDate();
        inputDateLabel()->setText(QString::fromStdString(displayDate(date, language)));
    } else {
        const QDate today = QDate::currentDate();
        inputDateLabel()->setText(QString::fromStdString(displayDate(today, language)));
        items[kInputDateKey] = today.toString("yyyy-MM-dd").toStdString();
    }
}

void inquiryView3::touchesBegan(QWidget* touched) {
    inquiryPageView::touchesBegan(touched);
    const int t = ui::tag(touched);
    // Only the date label opens the picker; a text view in the same range is typed into.
    if (appDelegate_ && appDelegate_->touchMode() && t >= 90 && t <= 99)
        if (auto* label = qobject_cast<QLabel*>(touched)) showDatePicker(label);
}

void inquiryView3::showDatePicker(QLabel* label) {
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController(datePickerView::kSceneIdentifier));
    if (!picker || !label) return;
    auto self = std::dynamic_pointer_cast<inquiryView3>(shared_from_this());
    picker->setDelegate(self);
    picker->setParentView(self);
    picker->setTagNoStr(std::to_string(ui::tag(label)));
    picker->setTargetLabel(label);
    picker->setPickerType("date");
    // From the stored date: the label shows it in the page's language, which the picker may not read.
    std::string stored;
    if (appDelegate_ && appDelegate_->inputItems())
        if (const auto it = appDelegate_->inputItems()->find(kInputDateKey);
            it != appDelegate_->inputItems()->end() && it->second != "(null)")
            stored = it->second;
    picker->setDefaultDateStr(stored);
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    picker->popoverAnchor().sourceView = label;
    picker->popoverAnchor().sourceRect = label->rect();
    picker->popoverAnchor().permittedArrowDirections = ui::ArrowDown;
    pop_ = picker;
    present(picker, true);
}

void inquiryView3::popoverClose(const QDateTime& date, int32_t) {
    if (!appDelegate_) return;
    if (!appDelegate_->inputItems()) appDelegate_->inputItems().emplace();
    (*appDelegate_->inputItems())[kInputDateKey] = date.date().toString("yyyy-MM-dd").toStdString();
    // The picker writes its own format; the page shows the date in the questionnaire's language.
    inputDateLabel()->setText(
        QString::fromStdString(displayDate(date.date(), StaticVariableHelper::inquiryLanguage())));
}

bool inquiryView3::textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange,
                                                   const std::string& replacement) {
    if (replacement == "\n") {
        view.resignFirstResponderLater();
        return false;
    }
    return true;
}

bool inquiryView3::textViewShouldBeginEditing(ui::TextView& view) {
    touchViewTag_ = ui::tag(&view);
    return true;
}

void inquiryView3::textViewDidEndEditing(ui::TextView& view) {
    // Kept with the answers (saved as "text_<tag>"), not in the certificate's list where it was lost.
    if (appDelegate_) appDelegate_->inputTextItem(&view, formView());
}

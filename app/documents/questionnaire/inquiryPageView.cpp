#include "app/documents/questionnaire/inquiryPageView.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QEvent>
#include <QLabel>

#include "app/assets/PageResources.h"
#include "app/documents/pages/ClinicInfo.h"
#include "app/documents/pages/PageScrollView.h"
#include "app/documents/pages/PrintedArtwork.h"
#include "app/documents/pages/PrintedText.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/WidgetFormPage.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/Tag.h"

namespace {

constexpr const char* kCircle = "circle.png";

// A key's number: its leading decimal digits; 0 without any.
int keyTag(const std::string& key) {
    int tag = 0;
    for (char c : key) {
        if (c < '0' || c > '9' || tag > 100000000) break;
        tag = tag * 10 + (c - '0');
    }
    return tag;
}

bool isMultiTag(int tag, int page) {
    return (tag >= 1000 && tag <= 9999) || (tag >= 10000 && page != 2);
}

} // namespace

inquiryPageView::inquiryPageView(int page) : appDelegate_(zurarerizIvaDadadavu::shared()), page_(page) {}

inquiryPageView::~inquiryPageView() = default;

std::vector<QWidget*> inquiryPageView::viewsOf(QWidget* form) {
    std::vector<QWidget*> views;
    if (!form) return views;
    for (QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        views.push_back(w);
    return views;
}

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

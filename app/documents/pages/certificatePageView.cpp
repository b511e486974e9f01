#include "app/documents/pages/certificatePageView.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/assets/PageResources.h"
#include "app/documents/pages/PageScrollView.h"
#include "app/documents/pages/PrintedArtwork.h"
#include "app/documents/pages/PrintedText.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Tag.h"

certificatePageView::certificatePageView(int page)
    : appDelegate_(zurarerizIvaDadadavu::shared()), page_(page) {}

certificatePageView::~certificatePageView() = default;

std::string certificatePageView::backgroundImageName(int page, const std::optional<std::string>& language) {
    const std::string base = page == kOnePage ? "onePage_certificate" : "certificate_" + std::to_string(page);
    if (language == "English") return base + "_English.png";
    if (language == "Chinese") return base + "_Chinese.png";
    return base + ".png";
}

void certificatePageView::loadView() {
    auto* form = new QWidget;
    setupForm(form);
    // The page being filled out writes as the printed one does, so its texts break where the paper's do.
    assets::useDocumentFont(form, documentLanguage());
    form_ = form;
    setView(std::make_unique<documents::PageScrollView>(form));
}

QLabel* certificatePageView::backgroundImage() const {
    if (!form_) return nullptr;
    return form_->findChild<QLabel*>(page_ == kOnePage ? QString("onePageCertificateImageView")
                                                       : QString("certificateView%1ImageView").arg(page_));
}

QLabel* certificatePageView::labelWithTag(int tag) const {
    return qobject_cast<QLabel*>(form_ ? ui::viewWithTag(form_, tag) : nullptr);
}

std::string certificatePageView::language() {
    return StaticVariableHelper::certificatePrintLanguage().value_or("");
}

bool certificatePageView::touchMode() const {
    return appDelegate_ && appDelegate_->touchMode();
}

void certificatePageView::viewWillAppear(bool) {
    showBackground();
    // Only a page being filled out moves for the keyboard; a printed one stays as the preview placed it.
    if (touchMode())
        keyboard_ = ui::observeKeyboard(std::static_pointer_cast<certificatePageView>(shared_from_this()),
                                        &certificatePageView::keyboardWillShow,
                                        &certificatePageView::keyboardWillHide);
}

void certificatePageView::showBackground() {
    if (QLabel* background = backgroundImage()) {
        background->setPixmap(assets::bundleImage(backgroundImageName(page_, language())));
        // Printed, the page is drawn from its definition, so its captions print as sharp as the entries.
        if (!touchMode()) documents::printCertificateArtwork(background, page_, language());
    }
    const std::string lang = language();
    foundation::log(lang == "English"   ? "user select English version of certificate"
                    : lang == "Chinese" ? "user select Chinese version of certificate"
                                        : "user select Japanese version of certificate");
}

void certificatePageView::viewDidAppear(bool) {
    if (touchMode())
        documents::fitShownLabels(form_);
    else
        documents::fitPrintedTexts(form_);
}

void certificatePageView::viewDidDisappear(bool) {
    keyboard_.reset();
}

void certificatePageView::acceptTouches() {
    for (QWidget* w : form_->findChildren<QWidget*>())
        w->installEventFilter(this);
}

void certificatePageView::adoptTextView(ui::TextView* text) {
    text->setDelegate(std::dynamic_pointer_cast<ui::TextViewDelegate>(shared_from_this()));
    assets::hideScrollBars(text);
    if (!touchMode()) text->setReadOnly(true);
}

void certificatePageView::makeInert(QWidget* view) {
    view->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    view->setFocusPolicy(Qt::NoFocus);
    if (auto* line = qobject_cast<QLineEdit*>(view)) line->setReadOnly(true);
    if (auto* text = qobject_cast<QPlainTextEdit*>(view)) text->setReadOnly(true);
}

bool certificatePageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease)
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->parentWidget() == formView()) touchesEnded(w);
    return ui::ViewController::eventFilter(watched, event);
}

bool certificatePageView::textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange,
                                                          const std::string& replacement) {
    if (replacement != "\n") return true;
    view.resignFirstResponderLater();
    return false;
}

#include "app/documents/letter/LetterBaseView.h"

#include "app/documents/letter/LetterView1.h"
#include "app/documents/letter/LetterView2.h"
#include "app/documents/pages/PageScrollView.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_LetterBaseView.h"

LetterBaseView::LetterBaseView()
    : PagedFormView(2, shell::FormExit::ToMainMenu), form_(std::make_unique<Ui::LetterBaseView>()) {}

LetterBaseView::~LetterBaseView() = default;

void LetterBaseView::loadView() {
    loadViewFromForm(*form_);
}

QWidget* LetterBaseView::Letter1Container() const {
    return form_->Letter1Container;
}
QWidget* LetterBaseView::Letter2Container() const {
    return form_->Letter2Container;
}

QWidget* LetterBaseView::container(int number) const {
    return number == 1 ? Letter1Container() : Letter2Container();
}

std::shared_ptr<ui::ViewController> LetterBaseView::makePage(int number) {
    if (number == 1) return std::make_shared<LetterView1>();
    return std::make_shared<LetterView2>();
}

std::shared_ptr<LetterView1> LetterBaseView::page1() const {
    return std::static_pointer_cast<LetterView1>(pageController(1));
}
std::shared_ptr<LetterView2> LetterBaseView::page2() const {
    return std::static_pointer_cast<LetterView2>(pageController(2));
}

void LetterBaseView::pageViewPlaced(QWidget* pageView) {
    if (auto* scroll = qobject_cast<documents::PageScrollView*>(pageView))
        scroll->setKeepsClearOfScreenEdges(true);
}

bool LetterBaseView::registForm() {
    // The letter and its referral target are stored together, or the form stays for another try.
    return appDelegate_ && appDelegate_->registLetter();
}

#include "app/documents/questionnaire/inquiryBaseView.h"

#include "app/documents/pages/PageScrollView.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_inquiryBaseView.h"

inquiryBaseView::inquiryBaseView()
    : PagedFormView(3, shell::FormExit::ToMainMenu), form_(std::make_unique<Ui::inquiryBaseView>()) {}

inquiryBaseView::~inquiryBaseView() = default;

void inquiryBaseView::loadView() {
    loadViewFromForm(*form_);
}

QWidget* inquiryBaseView::inquiry1Container() const {
    return form_->inquiry1Container;
}
QWidget* inquiryBaseView::inquiry2Container() const {
    return form_->inquiry2Container;
}
QWidget* inquiryBaseView::inquiry3Container() const {
    return form_->inquiry3Container;
}

QWidget* inquiryBaseView::container(int number) const {
    return number == 1 ? inquiry1Container() : number == 2 ? inquiry2Container() : inquiry3Container();
}

std::shared_ptr<ui::ViewController> inquiryBaseView::makePage(int number) {
    if (number == 1) return std::make_shared<inquiryView1>();
    if (number == 2) return std::make_shared<inquiryView2>();
    return std::make_shared<inquiryView3>();
}

std::shared_ptr<inquiryPageView> inquiryBaseView::page(int number) const {
    return std::static_pointer_cast<inquiryPageView>(pageController(number));
}

void inquiryBaseView::pageViewPlaced(QWidget* pageView) {
    // The pages slide on the screen itself: their scrolling keeps clear of the bar and the bottom.
    if (auto* scroll = qobject_cast<documents::PageScrollView*>(pageView))
        scroll->setKeepsClearOfScreenEdges(true);
}

bool inquiryBaseView::registForm() {
    return appDelegate_ && appDelegate_->registInquiry();
}

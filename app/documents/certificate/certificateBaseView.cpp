#include "app/documents/certificate/certificateBaseView.h"

#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateView2.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/documents/pages/PageScrollView.h"
#include "app/documents/pages/certificatePageView.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_certificateBaseView.h"

certificateBaseView::certificateBaseView()
    : PagedFormView(3, shell::FormExit::OneLevel), form_(std::make_unique<Ui::certificateBaseView>()) {}

certificateBaseView::~certificateBaseView() = default;

void certificateBaseView::loadView() {
    loadViewFromForm(*form_);
}

QWidget* certificateBaseView::certif1Container() const {
    return form_->certif1Container;
}
QWidget* certificateBaseView::certif2Container() const {
    return form_->certif2Container;
}
QWidget* certificateBaseView::certif3Container() const {
    return form_->certif3Container;
}

QWidget* certificateBaseView::container(int number) const {
    return number == 1 ? certif1Container() : number == 2 ? certif2Container() : certif3Container();
}

std::shared_ptr<ui::ViewController> certificateBaseView::makePage(int number) {
    if (number == 1) return std::make_shared<certificateView1>();
    if (number == 2) return std::make_shared<certificateView2>();
    return std::make_shared<certificateView3>();
}

std::shared_ptr<certificatePageView> certificateBaseView::page(int number) const {
    return std::static_pointer_cast<certificatePageView>(pageController(number));
}

void certificateBaseView::pageViewPlaced(QWidget* pageView) {
    if (auto* scroll = qobject_cast<documents::PageScrollView*>(pageView))
        scroll->setKeepsClearOfScreenEdges(true);
}

bool certificateBaseView::registForm() {
    return appDelegate_ && appDelegate_->registCertificate();
}

#include "app/documents/questionnaire/inquiryView2.h"

#include <QAbstractButton>

#include "platform/ui/Tag.h"
#include "ui_inquiryView2.h"

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

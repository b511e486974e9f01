#include "app/documents/questionnaire/inquiryView1.h"

#include <QLabel>

#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_inquiryView1.h"

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

#include "app/documents/questionnaire/printInquiryView.h"

#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "ui_printInquiryView.h"

printInquiryView::printInquiryView()
    : PrintPreview(documents::PreviewDocument::Inquiry), form_(std::make_unique<Ui::printInquiryView>()) {}

printInquiryView::~printInquiryView() = default;

void printInquiryView::loadView() {
    loadViewFromForm(*form_);
}

QScrollArea* printInquiryView::scrollView() const {
    return form_->scrollView;
}

radarChartView* printInquiryView::radarChart() const {
    return form_->radarChart;
}

std::shared_ptr<inquiryPageView> printInquiryView::page(int number) const {
    const auto pages = visibleChildren();
    return number >= 1 && number <= int(pages.size())
               ? std::static_pointer_cast<inquiryPageView>(pages[size_t(number - 1)])
               : nullptr;
}

void printInquiryView::viewDidLoad() {
    // Touch mode goes off first, so the pages load read-only.
    PrintPreview::viewDidLoad();
    embedPage(std::make_shared<inquiryView1>(), form_->inquiry1Container);
    embedPage(std::make_shared<inquiryView2>(), form_->inquiry2Container);
    embedPage(std::make_shared<inquiryView3>(), form_->inquiry3Container);
    form_->radarChart->raise();
}

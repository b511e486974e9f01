#include "app/documents/certificate/printCertificateView.h"

#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateView2.h"
#include "app/documents/certificate/certificateView3.h"
#include "ui_printCertificateView.h"

printCertificateView::printCertificateView()
    : PrintPreview(documents::PreviewDocument::Certificate),
      form_(std::make_unique<Ui::printCertificateView>()) {}

printCertificateView::~printCertificateView() = default;

void printCertificateView::loadView() {
    loadViewFromForm(*form_);
}

QScrollArea* printCertificateView::scrollView() const {
    return form_->scrollView;
}

void printCertificateView::viewDidLoad() {
    PrintPreview::viewDidLoad();
    embedPage(std::make_shared<certificateView1>(), form_->certif1Container);
    embedPage(std::make_shared<certificateView2>(), form_->certif2Container);
    embedPage(std::make_shared<certificateView3>(), form_->certif3Container);
}

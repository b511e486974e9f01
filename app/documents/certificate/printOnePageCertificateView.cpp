#include "app/documents/certificate/printOnePageCertificateView.h"

#include "app/documents/certificate/onePageCertificateView.h"
#include "ui_printOnePageCertificateView.h"

printOnePageCertificateView::printOnePageCertificateView()
    : PrintPreview(documents::PreviewDocument::OnePageCertificate),
      form_(std::make_unique<Ui::printOnePageCertificateView>()) {}

printOnePageCertificateView::~printOnePageCertificateView() = default;

void printOnePageCertificateView::loadView() {
    loadViewFromForm(*form_);
}

QScrollArea* printOnePageCertificateView::scrollView() const {
    return form_->scrollView;
}

void printOnePageCertificateView::viewDidLoad() {
    PrintPreview::viewDidLoad();
    page_ = std::make_shared<onePageCertificateView>();
    embedPage(page_, form_->onePageContainer);
}

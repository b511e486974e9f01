#include "app/documents/letter/printLetterView.h"

#include "app/documents/letter/LetterView1.h"
#include "app/documents/letter/LetterView2.h"
#include "ui_printLetterView.h"

printLetterView::printLetterView()
    : PrintPreview(documents::PreviewDocument::Letter), form_(std::make_unique<Ui::printLetterView>()) {}

printLetterView::~printLetterView() = default;

void printLetterView::loadView() {
    loadViewFromForm(*form_);
}

QScrollArea* printLetterView::scrollView() const {
    return form_->scrollView;
}

void printLetterView::viewDidLoad() {
    PrintPreview::viewDidLoad();
    page1_ = std::make_shared<LetterView1>();
    page2_ = std::make_shared<LetterView2>();
    embedPage(page1_, form_->Letter1Container);
    embedPage(page2_, form_->Letter2Container);
}

std::shared_ptr<LetterView1> printLetterView::page1() const {
    return page1_;
}
std::shared_ptr<LetterView2> printLetterView::page2() const {
    return page2_;
}

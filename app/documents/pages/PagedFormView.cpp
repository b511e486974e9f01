#include "app/documents/pages/PagedFormView.h"

#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/ui/FrameAnimation.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/Window.h"

namespace {
constexpr double kSlideDuration = 0.3;
}

PagedFormView::PagedFormView(int pageCount, shell::FormExit exit)
    : appDelegate_(zurarerizIvaDadadavu::shared()), pageCount_(pageCount), exit_(exit) {}

PagedFormView::~PagedFormView() = default;

std::shared_ptr<ui::ViewController> PagedFormView::pageController(int number) const {
    return number >= 1 && number <= int(pages_.size()) ? pages_[size_t(number - 1)] : nullptr;
}

std::vector<std::shared_ptr<ui::ViewController>> PagedFormView::visibleChildren() const {
    return pages_;
}

void PagedFormView::viewDidLoad() {
    if (appDelegate_) appDelegate_->setTouchMode(true);
    auto self = std::static_pointer_cast<PagedFormView>(shared_from_this());

    registButton_ = ui::BarButtonItem::create("登録  ", ui::BarButtonItemStyle::Plain);
    registButton_->setTarget(self, &PagedFormView::registData);
    nextButton_ = ui::BarButtonItem::create("次へ>", ui::BarButtonItemStyle::Plain);
    nextButton_->setTarget(self, &PagedFormView::dispNextPage);
    backButton_ = ui::BarButtonItem::create("<戻る", ui::BarButtonItemStyle::Plain);
    backButton_->setTarget(self, &PagedFormView::dispBackPage);
    cancelButton_ = ui::BarButtonItem::create("キャンセル", ui::BarButtonItemStyle::Plain);
    cancelButton_->setTarget(self, &PagedFormView::tapCancelButton);
    showBarButtons();

    std::string name;
    if (appDelegate_ && appDelegate_->patientInfo())
        if (auto it = appDelegate_->patientInfo()->find("name"); it != appDelegate_->patientInfo()->end())
            name = it->second;
    setTitle(foundation::format("%@ 様", name));

    // The pages, each filling its container.
    for (int n = 1; n <= pageCount_; ++n) {
        auto page = makePage(n);
        pages_.push_back(page);
        adoptChild(page);
        QWidget* pageView = page->view();
        pageView->setParent(container(n));
        pageView->setGeometry(container(n)->rect());
        pageViewPlaced(pageView);
        pageView->show();
    }

    std::weak_ptr<PagedFormView> weak = self;
    for (auto direction : {ui::SwipeLeft, ui::SwipeRight})
        ui::SwipeGestureRecognizer::attach(view(), direction, [weak](ui::SwipeGestureRecognizer& recognizer) {
            if (auto me = weak.lock()) me->collectionSwipeHandler(recognizer);
        });
}

void PagedFormView::viewDidAppear(bool) {
    // The pages after the first wait off-screen to the right.
    const QRect first = container(1)->geometry();
    for (int n = 2; n <= pageCount_; ++n)
        container(n)->setGeometry(first.width(), first.y() + pageYOffset(n), first.width(), first.height());
    container(1)->move(0, first.y());
    dispPage_ = 1;
    showBarButtons();
}

void PagedFormView::showBarButtons() {
    navigationItem().setLeftBarButtonItem(dispPage_ == 1 ? cancelButton_ : backButton_);
    if (dispPage_ == pageCount_)
        navigationItem().setRightBarButtonItems({registButton_});
    else
        navigationItem().setRightBarButtonItems({nextButton_, registButton_});
}

void PagedFormView::collectionSwipeHandler(ui::SwipeGestureRecognizer& recognizer) {
    if (recognizer.direction() == ui::SwipeLeft)
        dispNextPage();
    else if (recognizer.direction() == ui::SwipeRight)
        dispBackPage();
}

void PagedFormView::slide(int from, int to, int currentTo) {
    QWidget* current = container(from);
    QWidget* next = container(to);
    const QRect was = ui::modelFrame(current);
    QRect away = was;
    away.moveLeft(currentTo);
    QRect arrive = ui::modelFrame(next);
    arrive.moveLeft(was.x());
    ui::animateFrame(current, away, kSlideDuration, "slide1");
    ui::animateFrame(next, arrive, kSlideDuration, "slide2");
}

void PagedFormView::dispNextPage() {
    if (dispPage_ >= pageCount_) return;
    slide(dispPage_, dispPage_ + 1, -container(dispPage_)->width());
    ++dispPage_;
    showBarButtons();
}

void PagedFormView::dispBackPage() {
    if (dispPage_ <= 1) return;
    slide(dispPage_, dispPage_ - 1, container(dispPage_)->width());
    --dispPage_;
    showBarButtons();
}

void PagedFormView::tapCancelButton() {
    shell::presentCancelQuestion(*this, exit_);
}

void PagedFormView::registData() {
    // Ending the typing and putting up the outcome call out to other code: a tap handled meanwhile
    // must not save the form a second time inside this run.
    const auto run = registering_.begin();
    if (!run) return;
    // A field still being typed in hands its text over before the form is saved.
    if (ui::Window* screen = window())
        if (QWidget* focused = screen->focusedWidget(); focused && view()->isAncestorOf(focused))
            focused->clearFocus();
    const bool saved = registForm();
    shell::presentRegisterResult(*this, saved, exit_,
                                 appDelegate_ ? appDelegate_->state().lastSaveFailure : std::nullopt);
}

#include "platform/ui/AlertController.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "platform/ui/Screen.h"

namespace ui {

namespace {
constexpr int kAlertWidth = 300;
}

AlertController::AlertController(std::string title, std::string message, AlertStyle style)
    : message_(std::move(message)), style_(style) {
    setTitle(std::move(title));
    // Shown above the screen beneath, which stays in place.
    setModalPresentationStyle(PresentationStyle::OverFullScreen);
}

std::shared_ptr<AlertController> AlertController::create(std::string title, std::string message,
                                                         AlertStyle style) {
    return std::make_shared<AlertController>(std::move(title), std::move(message), style);
}

void AlertController::addAction(AlertActionPtr action) {
    if (action) actions_.push_back(std::move(action));
}

void AlertController::loadView() {
    auto overlay = std::make_unique<QWidget>();
    overlay->setObjectName("alertOverlay");
    overlay->resize(mainScreenSize());
    overlay->setAttribute(Qt::WA_StyledBackground, true);
    overlay->setStyleSheet("QWidget#alertOverlay { background: rgba(0, 0, 0, 90); }"
                           "QFrame#alertBox { background: #f4f4f4; border-radius: 12px; }"
                           "QPushButton { border: none; border-top: 1px solid #cfcfcf; color: #007aff;"
                           " font-size: 17px; min-height: 44px; background: transparent; }"
                           "QPushButton:pressed { background: #e0e0e0; }");
    auto* outer = new QVBoxLayout(overlay.get());
    auto* box = new QFrame;
    box->setObjectName("alertBox");
    box->setFixedWidth(kAlertWidth);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 18, 0, 0);
    column->setSpacing(6);

    auto* titleLabel = new QLabel(QString::fromStdString(title()));
    titleLabel->setObjectName("alertTitle");
    titleLabel->setAlignment(Qt::AlignCenter);
    titleLabel->setWordWrap(true);
    QFont tf = titleLabel->font();
    tf.setBold(true);
    tf.setPixelSize(17);
    titleLabel->setFont(tf);
    titleLabel->setVisible(!title().empty());
    titleLabel->setContentsMargins(16, 0, 16, 0);
    column->addWidget(titleLabel);

    auto* messageLabel = new QLabel(QString::fromStdString(message_));
    messageLabel->setObjectName("alertMessage");
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setVisible(!message_.empty());
    messageLabel->setContentsMargins(16, 0, 16, 12);
    column->addWidget(messageLabel);
    // Wrapped labels inside a centred box get no height for their width from the layout: give it.
    for (QLabel* label : {titleLabel, messageLabel})
        label->setMinimumHeight(label->heightForWidth(kAlertWidth));

    // Two actions sit side by side, any other number one under the other.
    QBoxLayout* buttons = actions_.size() == 2 ? static_cast<QBoxLayout*>(new QHBoxLayout)
                                               : static_cast<QBoxLayout*>(new QVBoxLayout);
    buttons->setSpacing(0);
    for (const auto& action : actions_) {
        auto* b = new QPushButton(QString::fromStdString(action->title()));
        b->setObjectName("alertAction");
        b->setEnabled(action->isEnabled());
        if (action->style() == AlertActionStyle::Cancel) {
            QFont f = b->font();
            f.setBold(true);
            b->setFont(f);
        } else if (action->style() == AlertActionStyle::Destructive) {
            b->setStyleSheet("color: #ff3b30;");
        }
        std::weak_ptr<AlertAction> weakAction = action;
        connect(b, &QPushButton::clicked, this, [this, weakAction] {
            if (auto a = weakAction.lock()) tapped(a);
        });
        buttons->addWidget(b);
    }
    column->addLayout(buttons);
    outer->addStretch();
    outer->addWidget(box, 0, Qt::AlignHCenter);
    outer->addStretch();
    setView(std::move(overlay));
}

void AlertController::tapped(const AlertActionPtr& action) {
    if (answered_ || !action->isEnabled()) return;
    answered_ = true;
    auto self = shared_from_this(); // dismissal drops the presenter's reference
    dismiss(true, [action] { action->run(); });
}

QAbstractButton* AlertController::actionButton(const std::string& title) {
    for (auto* b : view()->findChildren<QPushButton*>("alertAction"))
        if (b->text() == QString::fromStdString(title)) return b;
    return nullptr;
}

bool AlertController::tapAction(const std::string& title) {
    QAbstractButton* b = actionButton(title);
    if (!b || !b->isEnabled() || answered_) return false;
    b->click();
    return true;
}

} // namespace ui

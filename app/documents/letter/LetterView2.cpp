#include "app/documents/letter/LetterView2.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/assets/PageResources.h"
#include "app/documents/pages/ClinicInfo.h"
#include "app/shell/WidgetFormPage.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Tag.h"
#include "ui_LetterView2.h"

namespace {

constexpr const char* kCircle = "circle.png";
constexpr const char* kLongCircle = "circle_long.png";
// Questionnaire tags from here on are multiple choices, drawn with the long circle.
constexpr int kMultiChoiceTag = 1000, kLongCircleTag = 6000;

// A key's leading number; 0 for keys without one ("graph1", "inputdate").
int keyNumber(const std::string& key) {
    long n = 0;
    for (size_t i = 0; i < key.size() && key[i] >= '0' && key[i] <= '9' && n < 100000000; ++i)
        n = n * 10 + (key[i] - '0');
    return int(n);
}

// Puts the text into a view that holds text; any other view is left as it is.
void showText(QWidget* view, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(view); label && !label->hasScaledContents())
        label->setText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(view))
        line->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(view))
        plain->setPlainText(text);
}

} // namespace

LetterView2::LetterView2() : PhotoSlotsPage(2), ui_(std::make_unique<Ui::LetterView2>()) {}
LetterView2::~LetterView2() = default;

void LetterView2::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

QLabel* LetterView2::patientIDLabel() const {
    return ui_->patientIDLabel;
}
QLabel* LetterView2::clinicLogoImage() const {
    return ui_->clinicLogoImage;
}

store::FormData& LetterView2::record() const {
    static store::FormData none;
    return appDelegate_ ? appDelegate_->letterDataList() : none;
}

void LetterView2::viewDidLoad() {
    const std::string pid =
        appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    ui_->patientIDLabel->setText(QString::fromStdString(foundation::format("%@%@", pid, std::string("-5"))));
    setShowPhotoType("normal");
    connectCircles();
    PhotoSlotsPage::viewDidLoad();
}

void LetterView2::connectCircles() {
    for (auto* button : formView()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        const int t = ui::tag(button);
        if (t < 100) continue; // the collection's own buttons
        if (!touchMode()) {
            makeInert(button);
            continue;
        }
        if (t >= kMultiChoiceTag)
            connect(button, &QAbstractButton::clicked, this,
                    [this, button] { tapButtonOnCircleMulti(button); });
        else
            connect(button, &QAbstractButton::clicked, this, [this, button] { tapButtonOnCircle(button); });
    }
}

void LetterView2::viewWillAppear(bool animated) {
    PhotoSlotsPage::viewWillAppear(animated);
    getClinicInfo();
}

void LetterView2::getClinicInfo() {
    if (!appDelegate_) return;
    const QPixmap logo = documents::clinicLogo(appDelegate_->applicationDocumentsDirectory());
    if (logo.isNull()) return;
    assets::showLogo(ui_->clinicLogoImage, logo);
}

void LetterView2::setInitialData() {
    if (!appDelegate_ || !appDelegate_->inputItems() || appDelegate_->inputItems()->empty()) return;
    const QPixmap circle = assets::bundleImage(kCircle), longCircle = assets::bundleImage(kLongCircle);
    for (const auto& [key, value] : *appDelegate_->inputItems()) {
        if (value == "off" || value.empty()) continue;
        const int n = keyNumber(key);
        if (n < 11) continue;
        if (n < 100) {
            showText(ui::viewWithTag(formView(), n), QString::fromStdString(value));
            continue;
        }
        // Only buttons draw circles: a slot or label that happens to carry the tag keeps its content.
        shell::WidgetFormPage page(formView(), n < kLongCircleTag ? circle : longCircle);
        page.setCircle(n, true);
    }
}

void LetterView2::tapButtonOnCircle(QAbstractButton* button) {
    if (appDelegate_ && touchMode())
        appDelegate_->onCircleSingle(button, formView(), assets::bundleImage(kCircle));
}

void LetterView2::tapButtonOnCircleMulti(QAbstractButton* button) {
    if (appDelegate_ && touchMode())
        appDelegate_->onCircleMulti(button, formView(), assets::bundleImage(kLongCircle));
}

void LetterView2::requestSlotImage(const std::string& localIdentifier, QLabel* slot) {
    // A photograph that has left the patient's albums is shown no more.
    if (!appDelegate_ || !appDelegate_->assetLocalIDList().count(localIdentifier)) return;
    PhotoSlotsPage::requestSlotImage(localIdentifier, slot);
}

void LetterView2::touchesEnded(QWidget* touched) {
    if (!touchMode()) return;
    touchViewTag_ = ui::tag(touched);
    foundation::log("tag = %d", touchViewTag_);
    foundation::log("%@", touched->objectName().toStdString());
    if (touchViewTag_ > 82000 && qobject_cast<QLabel*>(touched)) {
        tapImageView(touchViewTag_);
        settingRegisterdPhoto("normal", touchViewTag_ % 82000);
    }
}

void LetterView2::settingRegisterdPhoto(const std::string&, long) {
    if (!appDelegate_) return;
    const store::FormData& letter = record();
    auto stored = [&](const char* key) {
        const auto it = letter.find(key);
        return it == letter.end() ? std::optional<std::string>() : it->second;
    };
    const auto first = stored("82001"), second = stored("82002");
    struct Kind {
        const char* name;
        const char* log;
    };
    static const Kind kKinds[] = {{"normal", "LetterView2, targetAssetsList(PHOTO_NORMAL): %lu,"},
                                  {"velscope", "LetterView2, targetAssetsList2(PHOTO_VELSCOPE): %lu,"},
                                  {"roentgen", "LetterView2, targetAssetsList3(PHOTO_ROENTGEN): %lu,"},
                                  {"noselect", "LetterView2, targetAssetsList4(PHOTO_NON): %lu,"}};
    std::vector<store::PhotoAsset> offer;
    auto& lists = appDelegate_->allAssetsList();
    for (const Kind& kind : kKinds) {
        const auto it = lists.find(kind.name);
        const size_t count = it == lists.end() ? 0 : it->second.size();
        foundation::log(kind.log, (unsigned long)count);
        if (it == lists.end()) continue;
        for (const store::PhotoAsset& asset : it->second)
            if (asset.localIdentifier != first && asset.localIdentifier != second) offer.push_back(asset);
    }
    foundation::log("LetterView2, end of SettingRegisterdPhoto, count: %lu, assetsList:",
                    (unsigned long)offer.size());
    showAssets(std::move(offer));
    dispCollectionView();
}

#include "app/documents/certificate/onePageCertificateView.h"

#include <QDate>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/assets/PageResources.h"
#include "app/documents/certificate/certificateBlocks.h"
#include "app/documents/certificate/certificateTags.h"
#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/PatientGate.h"
#include "app/shell/PhotoEditorOpener.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/image/Image.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "platform/ui/Window.h"
#include "ui_onePageCertificateView.h"

namespace {

namespace tags = certificatetags;

constexpr const char* kStoredDate = "yyyy年 M月 d日";
constexpr const char* kNone = "無し";

// A stored value names an icon of the bundle only as a plain file name.
bool plainName(const std::string& value) {
    return !value.empty() && value.find('/') == std::string::npos && value.find('\\') == std::string::npos;
}

} // namespace

onePageCertificateView::onePageCertificateView()
    : certificateSlotsPage(kOnePage), ui_(std::make_unique<Ui::onePageCertificateView>()) {}

onePageCertificateView::~onePageCertificateView() = default;

void onePageCertificateView::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

QLabel* onePageCertificateView::label(const char* name) const {
    return formView() ? formView()->findChild<QLabel*>(name) : nullptr;
}

void onePageCertificateView::viewDidLoad() {
    std::string name;
    if (appDelegate_ && appDelegate_->patientInfo())
        if (auto it = appDelegate_->patientInfo()->find("name"); it != appDelegate_->patientInfo()->end())
            name = it->second;
    setTitle(foundation::format("%@ 様", name));

    auto self = std::static_pointer_cast<onePageCertificateView>(shared_from_this());
    registButton_ = ui::BarButtonItem::create("登録  ", ui::BarButtonItemStyle::Plain);
    registButton_->setTarget(self, &onePageCertificateView::registData);
    cancelButton_ = ui::BarButtonItem::create("キャンセル", ui::BarButtonItemStyle::Plain);
    cancelButton_->setTarget(self, &onePageCertificateView::tapCancelButton);
    navigationItem().setRightBarButtonItems({registButton_});
    navigationItem().setLeftBarButtonItem(cancelButton_);

    // Without an examination date the form is dated today; the record keeps the Japanese form.
    if (const std::string date = std::to_string(tags::kExaminationDate);
        appDelegate_ && !record().count(date)) {
        const QDate today = QDate::currentDate();
        record()[date] = today.toString(kStoredDate).toStdString();
        QLabel* weekday = labelWithTag(tags::kExaminationWeekday);
        certificateView1::getWeekDay(today, weekday);
        if (weekday) record()[std::to_string(tags::kExaminationWeekday)] = weekday->text().toStdString();
    }
    // The contact block is for paper; the print preview shows it once the page is there.
    ui_->destView->setVisible(false);
    ui_->canvas->setStyleSheet("background: transparent;");
    // The list's caption sits on a section bar of the page; it shows on its own ground.
    ui_->labellabel->setStyleSheet("QLabel { background: #ffffff; padding-left: 4px; }");

    certificateSlotsPage::viewDidLoad();
    // Printed, the comment takes no input yet paints as when filled out.
    if (!touchMode()) makeInert(ui_->Comment);

    std::weak_ptr<onePageCertificateView> weak = self;
    ui::LongPressGestureRecognizer::attach(ui_->collectionView->viewport(),
                                           [weak](ui::LongPressGestureRecognizer& recognizer) {
                                               if (auto me = weak.lock()) me->dispLargePhoto(recognizer);
                                           });
}

void onePageCertificateView::showStoredLabel(QLabel* shown, int t, const std::string& v) {
    const std::string lang = language();
    if (shown->hasScaledContents()) {
        if (t > tags::kCheckMarkLast) {
            certificateSlotsPage::showStoredLabel(shown, t, v);
        } else {
            // A judgement's face; a missing icon file shows nothing.
            shown->setPixmap(plainName(v) ? assets::bundleImage("icon_" + v + ".png") : QPixmap());
        }
        return;
    }
    if (tags::isJudgementFace(t) || tags::isJudgementMark(t)) {
        setFaceIcon(t);
        return;
    }
    if (t == tags::kTreatmentStartDate) {
        shown->setText(QString::fromStdString(certificateblocks::displayedDateAndTime(v, lang)));
        return;
    }
    shown->setText(QString::fromStdString(v));
    if (!tags::isDate(t)) return;
    // Dates are stored in Japanese whatever the language; a text that is no date shows as stored.
    const std::string date = certificateblocks::displayedDate(v, lang);
    const QString text = QString::fromStdString(date.empty() ? v : date);
    shown->setText(text);
    if (t == tags::kFirstVisitDate) ui_->visitLabel->setText(text);
}

void onePageCertificateView::setInitialData() {
    getClinicInfo();
    const std::string lang = language();
    certificateblocks::fillCurrentPatientBlock(formView(), appDelegate_.get(), lang);
    if (ui_->dateLLabel->text().isEmpty())
        ui_->dateLLabel->setText(
            QString::fromStdString(certificateView1::formatDate(QDate::currentDate(), lang)));

    // The comment: the stored none shows in the print language and stays stored as "無し".
    const std::string noneWord = certificateView3::noneWord(lang);
    const auto comment = record().find("90001");
    if (comment == record().end()) {
        ui_->Comment->setStdText(noneWord);
        if (appDelegate_) record()["90001"] = kNone;
    } else {
        ui_->Comment->setStdText(comment->second == kNone ? noneWord : comment->second);
    }

    if (!record().count("30") && lang == "English" && StaticVariableHelper::certificatePrint() == "Print")
        ui_->nextExaminationDateLabel->setVisible(false);
}

void onePageCertificateView::getClinicInfo() {
    if (appDelegate_)
        logoData_ =
            certificateblocks::fillClinicBlock(formView(), appDelegate_->applicationDocumentsDirectory());
}

void onePageCertificateView::viewWillAppear(bool animated) {
    certificateSlotsPage::viewWillAppear(animated);
    const std::string lang = language();
    if (lang == "Chinese") {
        ui_->dateLabel->setText("日期 :");
        ui_->reportLabel->setText("口腔癌检查结果报告书");
        ui_->commentLabel->setText("注释");
        ui_->examinationDateLabel->setText("本次受诊日 :");
        ui_->contactAt->setText("请联系");
    } else if (lang == "English") {
        ui_->dateLabel->setText("Date :");
        ui_->reportLabel->setText("Stomavue Report");
        ui_->contactAt->setText("Contact At");
        ui_->commentLabel->setText("Comment");
        ui_->examinationDateLabel->setText("Examination Date :");
    }
    if (lang == "Chinese" || lang == "English") {
        ui_->examinationDateJapanLabel->setVisible(false);
        ui_->nextExaminationDateJapanLabel->setVisible(false);
    }
    ui_->dateLabel->setVisible(false);
    ui_->dateSLabel->setVisible(true);
    // A photograph saved in the editor meanwhile joins the list. A read that failed keeps the lists as
    // they were and says so, once the editor that may still be going has gone.
    if (const auto unread = appDelegate_ ? appDelegate_->getLetterPhotoInfo() : std::nullopt) {
        std::weak_ptr<ui::ViewController> weak = weak_from_this();
        QTimer::singleShot(0, view(), [weak, why = *unread] {
            if (auto self = weak.lock()) shell::presentPhotoReadFailure(*self, why);
        });
    }
    reloadCollection("normal", 0);
}

void onePageCertificateView::viewDidAppear(bool animated) {
    if (!touchMode() && !contactShown_) {
        contactShown_ = true;
        certificateblocks::revealContactBlock(ui_->destView, ui_->imageLogo, logoData_);
    }
    certificateSlotsPage::viewDidAppear(animated);
}

void onePageCertificateView::touchesEnded(QWidget* touched) {
    if (!touchMode() || !appDelegate_) return;
    const int t = ui::tag(touched);
    touchViewTag_ = t;
    switch (tags::touchOn(t)) {
    case tags::Touch::PhotoSlot:
        if (!isPhotoSlot(touched)) return;
        tapImageView(t);
        settingRegisterdPhoto("normal", t % 50000);
        break;
    case tags::Touch::CheckMark:
        appDelegate_->onCheckLabelSingle(t, formView(), "■");
        break;
    case tags::Touch::DatePicker:
        showDatePicker(t);
        break;
    case tags::Touch::JudgementMark:
        setFaceIcon(t);
        break;
    case tags::Touch::JudgementFace:
        certificateblocks::nextFaceIcon(formView(), record(), t);
        break;
    case tags::Touch::Nothing:
        break;
    }
}

bool onePageCertificateView::isPhotoSlot(const QWidget* view) {
    const auto* slot = qobject_cast<const QLabel*>(view);
    const int t = ui::tag(view);
    return slot && slot->hasScaledContents() && tags::touchOn(t) == tags::Touch::PhotoSlot;
}

void onePageCertificateView::setFaceIcon(int tag) {
    if (appDelegate_) certificateblocks::setFaceIcon(formView(), record(), tag);
}

void onePageCertificateView::showDatePicker(int tag) {
    auto self = std::static_pointer_cast<onePageCertificateView>(shared_from_this());
    if (auto picker = certificateblocks::presentDatePicker(*this, self, labelWithTag(tag), tag,
                                                           certificateblocks::storedText(record(), tag)))
        pop_ = picker;
}

void onePageCertificateView::popoverClose(const QDateTime& date, int32_t tagNo) {
    const int weekdayTag = tags::weekdayBeside(tagNo);
    if (!weekdayTag) return;
    QLabel* weekday = labelWithTag(weekdayTag);
    certificateView1::getWeekDay(date.date(), weekday);
    if (appDelegate_ && weekday) record()[std::to_string(weekdayTag)] = weekday->text().toStdString();
}

void onePageCertificateView::settingRegisterdPhoto(const std::string& kind, long keyNo) {
    reloadCollection(kind, keyNo);
    dispCollectionView();
}

void onePageCertificateView::reloadCollection(const std::string& kind, long keyNo) {
    foundation::log("onePageCertificateView, reloadCollection %@ %ld", kind, keyNo);
    std::vector<store::PhotoAsset> offer;
    if (appDelegate_) {
        auto slotted = [this](const char* key) {
            const auto it = record().find(key);
            return it == record().end() ? std::string() : it->second;
        };
        const std::string first = slotted("50001"), second = slotted("50002");
        for (const char* listKind : kListKinds) {
            const auto list = appDelegate_->allAssetsList().find(listKind);
            if (list == appDelegate_->allAssetsList().end()) continue;
            for (const store::PhotoAsset& asset : list->second)
                if (asset.localIdentifier != first && asset.localIdentifier != second) offer.push_back(asset);
        }
    }
    showAssets(std::move(offer));
}

void onePageCertificateView::dispLargePhoto(ui::LongPressGestureRecognizer& recognizer) {
    QListWidget* list = ui_->collectionView;
    // The finger lifted after a long press is no tap: the photograph is opened, not placed.
    if (recognizer.state() == ui::GestureState::Ended || recognizer.state() == ui::GestureState::Cancelled)
        QTimer::singleShot(0, list, [list] { list->blockSignals(false); });
    if (recognizer.state() != ui::GestureState::Began) return;
    list->blockSignals(true);
    const QPoint at = recognizer.locationInView(list->viewport()).toPoint();
    const QModelIndex index = list->indexAt(at);
    if (!index.isValid() || index.row() >= int(assetsList().size())) return;
    openEditor(assetsList()[size_t(index.row())]);
}

void onePageCertificateView::openEditor(const store::PhotoAsset& listed) {
    auto library = photos::PhotoLibrary::shared();
    const auto found = library ? library->assetsWithLocalIdentifiers({listed.localIdentifier})
                               : std::vector<photos::Asset>{};
    if (found.empty()) return;
    shell::openPhotoEditor(shared_from_this(), found.front());
}

void onePageCertificateView::registData() {
    // One save per tap, even when a second tap is handled while this one runs.
    const auto run = registering_.begin();
    if (!run) return;
    // A comment still being typed in hands its text over before the record is stored.
    if (ui::Window* screen = window())
        if (QWidget* focused = screen->focusedWidget(); focused && view()->isAncestorOf(focused))
            focused->clearFocus();
    const bool saved = appDelegate_ && appDelegate_->registCertificate();
    if (!saved) foundation::log("onePageCertificateView, registCertificate failed");
    shell::presentRegisterResult(*this, saved, shell::FormExit::OneLevel,
                                 appDelegate_ ? appDelegate_->state().lastSaveFailure : std::nullopt);
}

void onePageCertificateView::tapCancelButton() {
    shell::presentCancelQuestion(*this, shell::FormExit::OneLevel);
}

void onePageCertificateView::textViewDidEndEditing(ui::TextView& view) {
    if (touchMode() && appDelegate_) record()[std::to_string(ui::tag(&view))] = view.stdText();
}

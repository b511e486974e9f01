#include "app/documents/certificate/certificateBlocks.h"
#include "app/documents/certificate/certificateTags.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QStringList>

#include "app/assets/PageResources.h"
#include "app/documents/certificate/certificateView1.h"
#include "app/documents/pages/ClinicInfo.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/image/ImageDecoding.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"

namespace certificateblocks {

namespace {
constexpr const char* kStoredDate = "yyyy年 M月 d日";
constexpr const char* kMark = "●";

QDate parseStoredDate(const std::string& text) {
    return QDate::fromString(QString::fromStdString(text), kStoredDate);
}

QLabel* named(QWidget* form, const char* name) {
    return form ? form->findChild<QLabel*>(name) : nullptr;
}
QLabel* tagged(QWidget* form, int tag) {
    return qobject_cast<QLabel*>(form ? ui::viewWithTag(form, tag) : nullptr);
}
void show(QLabel* label, const std::string& text) {
    if (label) label->setText(QString::fromStdString(text));
}
} // namespace

void setFaceIcon(QWidget* form, store::FormData& record, int tag) {
    // Only the six choice labels of the two judgements choose; any other tag is left alone.
    if (!certificatetags::isJudgementMark(tag)) return;
    const int b = tag / 10;
    for (int choice = 10 * b + 1; choice <= 10 * b + 3; ++choice) {
        QLabel* l = tagged(form, choice);
        if (choice == tag) {
            if (QLabel* face = tagged(form, b))
                face->setPixmap(assets::bundleImage(foundation::format("icon_%d.png", tag)));
            show(l, kMark);
            record[std::to_string(choice)] = kMark;
        } else {
            show(l, "");
            record.erase(std::to_string(choice));
        }
    }
}

void nextFaceIcon(QWidget* form, store::FormData& record, int group) {
    if (!certificatetags::isJudgementFace(group)) return;
    for (int i = 1; i <= 3; ++i) {
        QLabel* chosen = tagged(form, 10 * group + i);
        if (!chosen || chosen->text() != kMark) continue;
        setFaceIcon(form, record, 10 * group + i % 3 + 1);
        return;
    }
}

std::string sexText(const std::string& sex, const std::string& lang) {
    // A sex that was never recorded is no one's: neither "Female" nor a lone "性" on paper.
    if (sex.empty()) return {};
    if (lang == "English") return sex == "男" ? "Male" : "Female";
    return foundation::format("%@性", sex);
}

void fillPatientBlock(QWidget* form, const store::FormData& info, const std::string& patientID,
                      const std::string& lang) {
    auto column = [&](const char* key) {
        auto it = info.find(key);
        return it == info.end() ? std::string() : it->second;
    };
    show(named(form, "karteLabel"), patientID + "-1");
    show(named(form, "nameLabel"),
         lang == "Japanese" ? foundation::format("%@　様", column("name")) : column("name"));
    show(named(form, "postLabel"), foundation::format("〒%@", column("postal")));
    show(named(form, "add1Label"), column("state") + column("address1"));
    show(named(form, "add2Label"), column("address2"));
    show(named(form, "tel1Label"), column("tel1"));
    show(named(form, "tel2Label"), column("tel2"));
    show(named(form, "bizLabel"), column("biz"));
    const QDate birthday = parseStoredDate(column("birthday"));
    show(named(form, "birthLabel"), certificateView1::formatDate(birthday, lang));
    show(named(form, "sexLabel"), sexText(column("sex"), lang));
    // A birthday that can't be read leaves the age empty rather than a made-up number.
    if (!birthday.isValid()) {
        show(named(form, "ageLabel"), "");
        return;
    }
    const QDate today = QDate::currentDate();
    long age = today.year() - birthday.year();
    if (today.month() < birthday.month() ||
        (today.month() == birthday.month() && today.day() < birthday.day()))
        --age;
    const char* format = lang == "English" ? "%ld" : lang == "Chinese" ? "%ld岁" : "%ld歳";
    show(named(form, "ageLabel"), foundation::format(format, age));
}

void fillCurrentPatientBlock(QWidget* form, zurarerizIvaDadadavu* delegate, const std::string& lang) {
    store::FormData info;
    std::string patientID;
    if (delegate) {
        info = delegate->patientInfo().value_or(store::FormData{});
        patientID = delegate->patientID().value_or(std::string());
    }
    fillPatientBlock(form, info, patientID, lang);
}

std::optional<QByteArray> fillClinicBlock(QWidget* form, const std::string& folder) {
    const auto info = documents::readClinicInfo(folder);
    if (!info) return std::nullopt;
    auto member = [&](const char* key) {
        auto it = info->find(key);
        return it == info->end() ? std::string() : it->second;
    };
    show(named(form, "clinic_name"), member("name"));
    // A file without a fax number shows the telephone alone.
    const std::string fax = member("fax");
    show(named(form, "clinic_tel"),
         fax.empty() ? member("tel") : foundation::format("%@ ／ (FAX)%@", member("tel"), fax));
    show(named(form, "clinic_postal"), documents::clinicPostalText(*info));
    show(named(form, "clinic_address1"), member("state") + member("address1"));
    show(named(form, "clinic_address2"), member("address2"));
    show(named(form, "clinic_director"), member("director"));
    show(named(form, "clinic_url"), member("homepage"));
    show(named(form, "clinic_mail"), member("mailaddress"));
    if (!info->count("logo")) return std::nullopt;
    // Only a plain file name in the Documents folder counts.
    const QString name = QString::fromStdString(member("logo"));
    QFile file(QString::fromStdString(folder) + "/" + name);
    if (name.isEmpty() || name.contains('/') || !file.open(QIODevice::ReadOnly)) {
        foundation::log("Not Logo Image.");
        return std::nullopt;
    }
    return file.readAll();
}

std::string storedText(const store::FormData& record, int tag) {
    const auto it = record.find(std::to_string(tag));
    return it == record.end() || it->second == "(null)" ? std::string() : it->second;
}

std::string displayedDate(const std::string& stored, const std::string& language) {
    return certificateView1::formatDate(parseStoredDate(stored), language);
}

std::string displayedDateAndTime(const std::string& stored, const std::string& language) {
    const QStringList parts = QString::fromStdString(stored).split("日");
    if (parts.size() < 2 || language != "English") return stored;
    return certificateView1::formatDate(parseStoredDate((parts[0] + "日").toStdString()), language) + " " +
           parts.mid(1).join("日").toStdString();
}

void revealContactBlock(QWidget* destView, QLabel* imageLogo, const std::optional<QByteArray>& logoData) {
    if (!destView) return;
    destView->move(destView->x(), destView->y() - 25);
    destView->setVisible(true);
    if (!imageLogo || !logoData) return;
    const QImage logo = imaging::decode(*logoData);
    if (!logo.isNull()) assets::showLogo(imageLogo, QPixmap::fromImage(logo));
}

std::shared_ptr<datePickerView> presentDatePicker(ui::ViewController& host,
                                                  std::weak_ptr<datePiclerViewControllerDelegate> delegate,
                                                  QLabel* target, int tag, const std::string& stored) {
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController(datePickerView::kSceneIdentifier));
    if (!picker || !target) return nullptr;
    picker->setDelegate(std::move(delegate));
    picker->setParentView(host.weak_from_this());
    picker->setTagNoStr(std::to_string(tag));
    picker->setTargetLabel(target);
    picker->setPickerType(tag == 31 ? "dateAndTime" : "date");
    // The stored date, not the label: a printed page may have stored it in its language.
    picker->setDefaultDateStr(stored);
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    picker->popoverAnchor().sourceView = target;
    picker->popoverAnchor().sourceRect = target->rect();
    picker->popoverAnchor().permittedArrowDirections = ui::ArrowDown;
    host.present(picker, true);
    return picker;
}

} // namespace certificateblocks

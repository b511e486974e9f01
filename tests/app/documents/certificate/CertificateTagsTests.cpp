// The certificate's tag table against the definition its forms are written from: every tagged view of
// the first page and the one-page form is what the table calls it, and a tap on it does what its kind
// takes.
#include <catch2/catch.hpp>
#include <set>
#include <string>

#include "app/documents/artwork/CertificateDefinition.h"
#include "app/documents/certificate/certificateTags.h"

namespace tags = certificatetags;
using certificate::Form;
using certificate::ItemKind;

namespace {

// What a tap on a view of the kind does on the first page and the one-page form.
tags::Touch touchTaken(ItemKind kind) {
    switch (kind) {
    case ItemKind::FaceImage:
        return tags::Touch::JudgementFace;
    case ItemKind::FaceMark:
        return tags::Touch::JudgementMark;
    case ItemKind::DateLabel:
        return tags::Touch::DatePicker;
    case ItemKind::SquareCheck:
        return tags::Touch::CheckMark;
    case ItemKind::PhotoSlot:
        return tags::Touch::PhotoSlot;
    default: // the weekdays follow their dates; text views take the keyboard
        return tags::Touch::Nothing;
    }
}

} // namespace

TEST_CASE("the certificate's tag table names what the first page and the one-page form hold",
          "[documents][certificate]") {
    const auto& items = certificate::certificateDefinition().items;
    for (const Form form : {Form::Page1, Form::OnePage}) {
        std::set<int> dates, weekdays;
        for (const certificate::CertificateItem& item : items) {
            if (item.form != form) continue;
            INFO("form " << int(form) << ", tag " << item.tag);
            CHECK(tags::touchOn(item.tag) == touchTaken(item.kind));
            CHECK(tags::isJudgementFace(item.tag) == (item.kind == ItemKind::FaceImage));
            CHECK(tags::isJudgementMark(item.tag) == (item.kind == ItemKind::FaceMark));
            CHECK(tags::isDate(item.tag) == (item.kind == ItemKind::DateLabel));
            CHECK(tags::isTreatment(item.tag) == (item.kind == ItemKind::Treatment));
            if (item.kind == ItemKind::SquareCheck) {
                CHECK(item.tag >= tags::kCheckMarkFirst);
                CHECK(item.tag <= tags::kCheckMarkLast);
            }
            if (item.kind == ItemKind::Comment) CHECK(item.tag == tags::kComment);
            if (item.kind == ItemKind::DateLabel) dates.insert(item.tag);
            if (item.kind == ItemKind::WeekdayLabel) weekdays.insert(item.tag);
        }
        CHECK(dates == std::set<int>{tags::kNextExaminationDate, tags::kTreatmentStartDate,
                                     tags::kFirstVisitDate, tags::kExaminationDate});
        CHECK(weekdays == std::set<int>{tags::kNextExaminationWeekday, tags::kExaminationWeekday});
    }

    SECTION("a weekday stands beside the next examination's date and the examination's alone") {
        CHECK(tags::weekdayBeside(tags::kNextExaminationDate) == tags::kNextExaminationWeekday);
        CHECK(tags::weekdayBeside(tags::kExaminationDate) == tags::kExaminationWeekday);
        CHECK(tags::weekdayBeside(tags::kTreatmentStartDate) == 0);
        CHECK(tags::weekdayBeside(tags::kFirstVisitDate) == 0);
        CHECK(tags::weekdayBeside(tags::kExaminationWeekday) == 0);
    }
    SECTION("tags of no view on either form take no tap") {
        for (const int tag : {0, -11, 10, 14, 20, 24, 35, 37, 50, 10001, 30001, 50000, 50003})
            CHECK(tags::touchOn(tag) == tags::Touch::Nothing);
    }
}

#pragma once
// What the tags of the certificate's first page and its one-page form stand for, and what a tap on
// each does. The forms are written from the certificate's definition (app/documents/artwork) with
// these numbers, and the record keeps each view's entry under its tag: the values never change.
namespace certificatetags {

// The two judgements (1: the mucosa, 2: the teeth and gums): the face carries the judgement's
// number, its three marks the number's tens and the choice (11-13, 21-23).
constexpr bool isJudgementFace(int tag) {
    return tag == 1 || tag == 2;
}
constexpr bool isJudgementMark(int tag) {
    return isJudgementFace(tag / 10) && tag % 10 >= 1 && tag % 10 <= 3;
}

// The dates, and the weekdays the page writes beside two of them (never tapped).
inline constexpr int kNextExaminationDate = 30;
inline constexpr int kTreatmentStartDate = 31; // a date with a time after it
inline constexpr int kNextExaminationWeekday = 32;
inline constexpr int kFirstVisitDate = 33;
inline constexpr int kExaminationDate = 34;
inline constexpr int kExaminationWeekday = 36;

constexpr bool isDate(int tag) {
    return tag == kNextExaminationDate || tag == kTreatmentStartDate || tag == kFirstVisitDate ||
           tag == kExaminationDate;
}
// The weekday beside a date; 0 for a date without one.
constexpr int weekdayBeside(int date) {
    return date == kNextExaminationDate ? kNextExaminationWeekday
           : date == kExaminationDate   ? kExaminationWeekday
                                        : 0;
}

// The first page's treatment plan: ten lines of text, chosen from a list or typed.
inline constexpr int kTreatmentFirst = 40, kTreatmentLast = 49;

constexpr bool isTreatment(int tag) {
    return tag >= kTreatmentFirst && tag <= kTreatmentLast;
}

// The check marks, "■" at most one per group of ten: 101-104 the recall, the one-page form's 411-523
// its hygiene and gum questions.
inline constexpr int kCheckMarkFirst = 100, kCheckMarkLast = 10000;

// Above the check marks: the one-page form's two photo slots and its comment.
inline constexpr int kOnePagePhoto1 = 50001, kOnePagePhoto2 = 50002;
inline constexpr int kComment = 90001;

enum class Touch {
    Nothing,
    JudgementFace, // moves the judgement's mark on
    JudgementMark, // chooses the mark, and the face with it
    DatePicker,    // opens the date picker on the date
    CheckMark,     // marks the box, or clears it, and clears the rest of its group
    PhotoSlot,     // selects the slot, or lets it go, and shows the photo list
};

// What a tap on the view with the tag does, on either form.
constexpr Touch touchOn(int tag) {
    if (tag == kOnePagePhoto1 || tag == kOnePagePhoto2) return Touch::PhotoSlot;
    if (tag >= kCheckMarkFirst && tag <= kCheckMarkLast) return Touch::CheckMark;
    if (isDate(tag)) return Touch::DatePicker;
    if (isJudgementMark(tag)) return Touch::JudgementMark;
    if (isJudgementFace(tag)) return Touch::JudgementFace;
    return Touch::Nothing;
}

} // namespace certificatetags

#pragma once
#include <QByteArray>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/datePickerView.h"
#include "app/store/ClinicState.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QWidget;
class zurarerizIvaDadadavu;

// The parts the first page shares with the one-page form, on views found by their names and tags in
// the form: the judgement marks and faces, the patient and clinic blocks, the printed contact block
// and the date picker popover.
namespace certificateblocks {

// Chooses the judgement label `tag` (11-13, 21-23): it shows "●" and holds it in the record, its
// group's face shows "icon_<tag>.png", the group's other labels are emptied and their keys removed.
// Any other tag is left alone.
void setFaceIcon(QWidget* form, store::FormData& record, int tag);
// A tap on the face of group 1 or 2 moves its mark on, 1 → 2 → 3 → 1; nothing without a mark.
void nextFaceIcon(QWidget* form, store::FormData& record, int group);
// The sex as the patient block prints it: "Male"/"Female" in English, "<sex>性" otherwise; nothing
// when none is recorded.
std::string sexText(const std::string& sex, const std::string& language);
// The patient's name, address, telephones, occupation, birthday, sex and age in the language, and
// the Karte number "<patient ID>-1".
void fillPatientBlock(QWidget* form, const store::FormData& patientInfo, const std::string& patientID,
                      const std::string& language);
// The current patient's block, from the delegate's patient; an empty block without a delegate.
void fillCurrentPatientBlock(QWidget* form, zurarerizIvaDadadavu* delegate, const std::string& language);
// The clinic's details from the clinic file in the folder, into the clinic_* labels; the logo file's
// contents when the file names one that is there.
std::optional<QByteArray> fillClinicBlock(QWidget* form, const std::string& documentsFolder);
// A stored date ("yyyy年 M月 d日") as the language shows it; empty when it is no such date.
std::string displayedDate(const std::string& stored, const std::string& language);
// A stored date with a time after it ("yyyy年 M月 d日　10:30 〜"): in English the date as
// "MMM-dd-yyyy" and the rest as stored; otherwise as stored.
std::string displayedDateAndTime(const std::string& stored, const std::string& language);
// Printed, the contact block sits 25 points higher and carries the logo.
void revealContactBlock(QWidget* destView, QLabel* imageLogo, const std::optional<QByteArray>& logoData);
// The date picker popover for the label with the tag ("dateAndTime" for 31), starting at the stored
// date text (now when empty), its dates reported to the delegate; null when the label or the scene is
// missing.
std::shared_ptr<datePickerView> presentDatePicker(ui::ViewController& host,
                                                  std::weak_ptr<datePiclerViewControllerDelegate> delegate,
                                                  QLabel* target, int tag, const std::string& stored);
// The record's text under the tag; empty when absent or "(null)".
std::string storedText(const store::FormData& record, int tag);

} // namespace certificateblocks

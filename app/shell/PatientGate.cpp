#include "app/shell/PatientGate.h"

#include "app/shell/DatabaseProblem.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/ui/AlertController.h"

namespace shell {

void presentPhotoReadFailure(ui::ViewController& host, const store::DatabaseFailure& failure) {
    presentError(host, photoReadFailureMessage(failure));
}

store::PatientRead loadPatient(ui::ViewController& host, zurarerizIvaDadadavu& delegate,
                               const std::string& patientID) {
    delegate.patientID() = patientID;
    const store::PatientRead read = delegate.setPatientInfoData();
    if (read.isFailed()) presentError(host, patientReadFailureMessage(read.failure));
    return read;
}

bool passPatientGate(ui::ViewController& host, zurarerizIvaDadadavu& delegate, const std::string& patientID,
                     const char* inquirySegue) {
    delegate.inputItems() = store::FormData{};
    if (patientID.empty()) {
        presentError(host, "患者IDを入力してください");
        return false;
    }
    const store::PatientRead read = loadPatient(host, delegate, patientID);
    if (read.isFailed()) return false;
    if (!read) {
        presentError(host, "入力されたIDの患者情報はありません");
        return false;
    }
    if (!inquirySegue || (delegate.inputItems() && !delegate.inputItems()->empty())) return true;
    auto alert = errorAlert("問診書が登録されていません。\n先に問診書を登録してください。");
    std::weak_ptr<ui::ViewController> weak = host.weak_from_this();
    const std::string segue = inquirySegue;
    alert->addAction(ui::AlertAction::create("問診票登録へ", ui::AlertActionStyle::Default,
                                             [weak, segue](ui::AlertAction&) {
                                                 if (auto self = weak.lock()) self->performSegue(segue);
                                             }));
    host.present(alert, true);
    return false;
}

void openStoredForm(ui::ViewController& host, zurarerizIvaDadadavu& delegate, StoredForm form,
                    std::function<void()> open) {
    const store::UnreadableForms& unreadable = delegate.state().unreadableForms;
    const bool damaged = form == StoredForm::Inquiry       ? unreadable.inquiry
                         : form == StoredForm::Certificate ? unreadable.certificate
                                                           : unreadable.letter;
    if (!damaged) {
        if (open) open();
        return;
    }
    const std::string name = form == StoredForm::Inquiry       ? "問診票"
                             : form == StoredForm::Certificate ? "診断書"
                                                               : "患者紹介状";
    std::weak_ptr<ui::ViewController> weak = host.weak_from_this();
    auto alert = errorAlert(
        foundation::format("保存されている%@を読み取れませんでした。\n空の%@として開きます。登録すると、"
                           "保存されている%@は置き換えられます。",
                           name, name, name),
        [weak, open = std::move(open)](ui::AlertAction&) {
            if (weak.lock() && open) open();
        });
    alert->addAction(ui::AlertAction::create("キャンセル", ui::AlertActionStyle::Cancel));
    host.present(alert, true);
}

} // namespace shell

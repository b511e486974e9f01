#include "app/photos/select/selectPhotosViewTop.h"

#include "app/photos/select/selectPhotosView.h"
#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_selectPhotosViewTop.h"

namespace {

struct Kind {
    int tag;
    const char* segue;
    const char* photoType;
    const char* contentTitle;
};

constexpr Kind kKinds[] = {
    {1, selectPhotosViewTop::kNormalSegue, "normal", "通常撮影画像"},
    {2, selectPhotosViewTop::kVelscopeSegue, "velscope", "VELscope撮影画像"},
    {3, selectPhotosViewTop::kRoentgenSegue, "roentgen", "レントゲン撮影画像"},
};

} // namespace

selectPhotosViewTop::selectPhotosViewTop()
    : form_(std::make_unique<Ui::selectPhotosViewTop>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

selectPhotosViewTop::~selectPhotosViewTop() = default;

void selectPhotosViewTop::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* selectPhotosViewTop::patientIDBox() const {
    return form_->patientIDBox;
}

QPushButton* selectPhotosViewTop::kindButton(int tag) const {
    return qobject_cast<QPushButton*>(ui::viewWithTag(form_->patientIDBox->parentWidget(), tag));
}

void selectPhotosViewTop::viewDidLoad() {
    setTitle("画像設定");
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    for (const Kind& kind : kKinds)
        if (QPushButton* button = kindButton(kind.tag))
            connect(button, &QPushButton::clicked, this, [this, button] { photoSelectStart(button); });
}

void selectPhotosViewTop::photoSelectStart(QAbstractButton* button) {
    if (!appDelegate_ || !button) return;
    if (!shell::passPatientGate(*this, *appDelegate_, patientIDBox()->stdText())) return;
    const int tag = ui::tag(button);
    for (const Kind& kind : kKinds)
        if (kind.tag == tag) {
            patientIDBox()->resignFirstResponder();
            performSegue(kind.segue, button);
            return;
        }
}

void selectPhotosViewTop::prepareForSegue(ui::StoryboardSegue& segue, QObject*) {
    auto destination = std::dynamic_pointer_cast<selectPhotosView>(segue.destination());
    if (!destination) return;
    for (const Kind& kind : kKinds)
        if (segue.identifier() == kind.segue) {
            destination->setPhotoType(kind.photoType);
            destination->setContentTitle(kind.contentTitle);
        }
}

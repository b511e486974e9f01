#include "app/shell/MainStoryboard.h"

#include "app/shell/datePickerView.h"
#include "app/shell/patientRegistView.h"
#include "app/shell/patientRegistViewTop.h"
#include "app/shell/zaruvedezViewController.h"
#include "platform/ui/Storyboard.h"

namespace shell {

void defineMainStoryboard() {
    auto board = ui::Storyboard::define(kMainStoryboardName);
    board->addScene<zaruvedezViewController>(kMainMenuScene);
    board->setInitialScene(kMainMenuScene, true);

    // The main menu's ways out. A segue may name a scene that is not built yet; its button stays
    // hidden until the scene is added here.
    struct Way {
        const char* segue;
        const char* scene;
    };
    for (const Way& way :
         {Way{"patientRegistSegue", "patientRegistViewTop"}, Way{"inquirySegue", "inquiryViewTop"},
          Way{"certificateSegue", "certificateViewTop"}, Way{"letterSegue", "LetterViewTop"},
          Way{"receivePhotoSegue", "RcvViewController"}, Way{"selectPhotoSegue", "selectPhotosViewTop"}})
        board->addSegue(kMainMenuScene, way.segue, way.scene, ui::SegueKind::Push);

    // Patient registration, and the date picker popover the forms share.
    board->addScene<patientRegistViewTop>(patientRegistViewTop::kSceneIdentifier);
    board->addScene<patientRegistView>(patientRegistView::kSceneIdentifier);
    board->addSegue(patientRegistViewTop::kSceneIdentifier, patientRegistViewTop::kStartSegue,
                    patientRegistView::kSceneIdentifier, ui::SegueKind::Push);
    board->addScene<datePickerView>(datePickerView::kSceneIdentifier);
}

} // namespace shell

#include "app/MainStoryboard.h"

#include "app/documents/certificate/certificateBaseView.h"
#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateView2.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/certificate/printCertificateView.h"
#include "app/documents/certificate/printOnePageCertificateView.h"
#include "app/documents/certificate/tableListView.h"
#include "app/documents/letter/LetterBaseView.h"
#include "app/documents/letter/LetterView1.h"
#include "app/documents/letter/LetterView2.h"
#include "app/documents/letter/LetterViewTop.h"
#include "app/documents/letter/printLetterView.h"
#include "app/documents/questionnaire/inquiryBaseView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/documents/questionnaire/printInquiryView.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "app/photos/receive/PeerListViewController.h"
#include "app/photos/receive/RcvViewController.h"
#include "app/photos/select/selectPhotosView.h"
#include "app/photos/select/selectPhotosViewTop.h"
#include "app/shell/PhotoEditorOpener.h"
#include "app/shell/datePickerView.h"
#include "app/shell/patientRegistView.h"
#include "app/shell/patientRegistViewTop.h"
#include "app/shell/zaruvedezViewController.h"
#include "platform/ui/Storyboard.h"

namespace app {

namespace {
// A push segue from a scene to the scene it leads to.
struct Way {
    const char* segue;
    const char* scene;
};
void addWays(ui::Storyboard& board, const char* source, std::initializer_list<Way> ways) {
    for (const Way& way : ways)
        board.addSegue(source, way.segue, way.scene, ui::SegueKind::Push);
}
} // namespace

void defineMainStoryboard() {
    // The one-page certificate opens its photographs in the photo editor through the shell.
    shell::setPhotoEditorOpener(&ImageEditorViewController::openOver);
    auto board = ui::Storyboard::define(kMainStoryboardName);
    board->addScene<zaruvedezViewController>(kMainMenuScene);
    board->setInitialScene(kMainMenuScene, true);

    // The main menu's ways out; a button whose segue leads to no scene stays hidden.
    addWays(*board, kMainMenuScene,
            {{"patientRegistSegue", "patientRegistViewTop"},
             {"inquirySegue", "inquiryViewTop"},
             {"certificateSegue", "certificateViewTop"},
             {"letterSegue", "LetterViewTop"},
             {"receivePhotoSegue", "RcvViewController"},
             {"selectPhotoSegue", "selectPhotosViewTop"}});

    // Patient registration, and the date picker popover the forms share.
    board->addScene<patientRegistViewTop>(patientRegistViewTop::kSceneIdentifier);
    board->addScene<patientRegistView>(patientRegistView::kSceneIdentifier);
    board->addSegue(patientRegistViewTop::kSceneIdentifier, patientRegistViewTop::kStartSegue,
                    patientRegistView::kSceneIdentifier, ui::SegueKind::Push);
    board->addScene<datePickerView>(datePickerView::kSceneIdentifier);

    // The questionnaire: its start screen, the container and the three pages it holds.
    board->addScene<inquiryViewTop>(inquiryViewTop::kSceneIdentifier);
    board->addScene<inquiryBaseView>(inquiryBaseView::kSceneIdentifier);
    board->addScene<inquiryView1>(inquiryView1::kSceneIdentifier);
    board->addScene<inquiryView2>(inquiryView2::kSceneIdentifier);
    board->addScene<inquiryView3>(inquiryView3::kSceneIdentifier);
    board->addSegue(inquiryViewTop::kSceneIdentifier, inquiryViewTop::kStartSegue,
                    inquiryBaseView::kSceneIdentifier, ui::SegueKind::Push);
    board->addScene<printInquiryView>(printInquiryView::kSceneIdentifier);
    board->addSegue(inquiryViewTop::kSceneIdentifier, inquiryViewTop::kPrintSegue,
                    printInquiryView::kSceneIdentifier, ui::SegueKind::Push);

    // The certificate: its start screen, the three-page container and pages, the treatment list and
    // the three-page preview.
    board->addScene<certificateViewTop>(certificateViewTop::kSceneIdentifier);
    board->addScene<certificateBaseView>(certificateBaseView::kSceneIdentifier);
    board->addScene<certificateView1>(certificateView1::kSceneIdentifier);
    board->addScene<certificateView2>(certificateView2::kSceneIdentifier);
    board->addScene<certificateView3>(certificateView3::kSceneIdentifier);
    board->addScene<tableListView>(tableListView::kSceneIdentifier);
    board->addScene<printCertificateView>(printCertificateView::kSceneIdentifier);
    addWays(*board, certificateViewTop::kSceneIdentifier,
            {{certificateViewTop::kStartSegue, certificateBaseView::kSceneIdentifier},
             {certificateViewTop::kPrintSegue, printCertificateView::kSceneIdentifier},
             {certificateViewTop::kOnePageSegue, "onePageCertificateView"},
             {certificateViewTop::kPrintOnePageSegue, "printOnePageCertificateView"},
             {certificateViewTop::kInquirySegue, inquiryViewTop::kSceneIdentifier}});

    // Receiving photographs from a nearby device: the start screen, the receive screen, and the way
    // to the questionnaire for a patient who has none yet.
    board->addScene<RcvViewController>(RcvViewController::kSceneIdentifier);
    board->addScene<PeerListViewController>(PeerListViewController::kSceneIdentifier);
    board->addSegue(RcvViewController::kSceneIdentifier, RcvViewController::kPeerListSegue,
                    PeerListViewController::kSceneIdentifier, ui::SegueKind::Push);
    board->addSegue(RcvViewController::kSceneIdentifier, RcvViewController::kInquirySegue,
                    inquiryViewTop::kSceneIdentifier, ui::SegueKind::Push);

    // The photo editor, presented over the one-page certificate.
    board->addScene<ImageEditorViewController>(ImageEditorViewController::kSceneIdentifier);
    // Photographs by kind: the photo menu and the selection board of each kind.
    board->addScene<selectPhotosViewTop>(selectPhotosViewTop::kSceneIdentifier);
    board->addScene<selectPhotosView>(selectPhotosView::kSceneIdentifier);
    addWays(*board, selectPhotosViewTop::kSceneIdentifier,
            {{selectPhotosViewTop::kNormalSegue, selectPhotosView::kSceneIdentifier},
             {selectPhotosViewTop::kVelscopeSegue, selectPhotosView::kSceneIdentifier},
             {selectPhotosViewTop::kRoentgenSegue, selectPhotosView::kSceneIdentifier}});
    // The referral letter: its start screen, the container and two pages, and its preview.
    board->addScene<LetterViewTop>(LetterViewTop::kSceneIdentifier);
    board->addScene<LetterBaseView>(LetterBaseView::kSceneIdentifier);
    board->addScene<LetterView1>(LetterView1::kSceneIdentifier);
    board->addScene<LetterView2>(LetterView2::kSceneIdentifier);
    board->addScene<printLetterView>(printLetterView::kSceneIdentifier);
    addWays(*board, LetterViewTop::kSceneIdentifier,
            {{LetterViewTop::kStartSegue, LetterBaseView::kSceneIdentifier},
             {LetterViewTop::kPrintSegue, printLetterView::kSceneIdentifier}});
    // The one-page certificate and its preview, reached from the certificate start screen.
    board->addScene<onePageCertificateView>(onePageCertificateView::kSceneIdentifier);
    board->addScene<printOnePageCertificateView>(printOnePageCertificateView::kSceneIdentifier);
}

} // namespace app

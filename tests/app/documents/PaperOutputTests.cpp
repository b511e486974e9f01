// The documents on paper: what the preview shows is what the PDF holds, whatever the clinic's and
// the patient's details make the views do, checked on the rendered pages' ink.
#include <catch2/catch.hpp>

#include "tests/app/documents/PaperSupport.h"

using paper::PrintedDocument;

TEST_CASE("a long clinic member takes nothing else off the printed page", "[documents][paper]") {
    const paper::CertificateLanguage& language = paper::kCertificateLanguages[GENERATE(0, 1, 2)];
    INFO(language.language);
    onepagetest::OnePageApp a;
    paper::installLongClinic();
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = paper::openThreePages(a, language.threePages);
    REQUIRE(preview);
    printed.preview = preview;
    printed.capture(scratch.path(), QString("long-clinic-%1").arg(language.language));
    QWidget* page1 = preview->scrollView()->widget()->findChild<QWidget*>("certificateView1");
    REQUIRE(page1);
    // The faces, marks and dates come after the contact block in the page's order of drawing.
    const auto views = printed.shownViews({page1});
    for (const char* name : {"judg1Image", "judg2Image", "mark11", "mark22", "dateLLabel", "date30", "date31",
                             "clinic_url", "imageLogo"})
        CHECK(std::count_if(views.begin(), views.end(),
                            [&](const auto& v) { return v.first->objectName() == name; }) == 1);
    for (const auto& [view, place] : views) {
        INFO(view->objectName().toStdString());

        CHECK(printed.paperShare(place) > 0.5);
    }
}

// The documents on paper: what the preview shows is what the PDF holds, whatever the clinic's and
// the patient's details make the views do, checked on the rendered pages' ink.
#include <catch2/catch.hpp>

#include "app/documents/artwork/InquiryDefinition.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/ui/Tag.h"
#include "tests/app/documents/pages/PaperSupport.h"
#include "tests/support/SamePicture.h"

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

namespace {

// A page of 768 points prints across A4's 595.
constexpr double kA4 = 595.28 / 768;
// 7 points on A4, less what a word's box may lose to rounding.
constexpr double kReadableHeight = 7.0 / kA4 - 0.2;

std::vector<QString> patientMembers() {
    return {QString::fromUtf8(paper::kLongName),
            QStringLiteral("〒060-0001"),
            QStringLiteral("北海道") + QString::fromUtf8(paper::kLongAddress1),
            QString::fromUtf8(paper::kLongAddress2),
            QString::fromUtf8(paper::kLongTel1),
            QString::fromUtf8(paper::kLongTel2),
            QString::fromUtf8(paper::kLongOccupation)};
}

std::vector<QWidget*> forms(const PrintedDocument& printed, const std::vector<const char*>& names) {
    std::vector<QWidget*> out;
    for (const char* name : names) {
        QWidget* form = printed.preview->scrollView()->widget()->findChild<QWidget*>(name);
        REQUIRE(form);
        out.push_back(form);
    }
    return out;
}

// Where a word lies: the shown view whose place on paper holds its middle, or none (the page's artwork).
QWidget* holder(const PrintedDocument& printed, const std::vector<std::pair<QWidget*, QRect>>& views,
                const paper::PlacedWord& word) {
    QWidget* found = nullptr;
    int area = 0;
    for (const auto& [view, place] : views) {
        const PrintedDocument::Placed placed = printed.onPaper(place);
        if (placed.page != word.page || !QRectF(placed.rect).contains(word.box.center())) continue;
        // A view inside another (a text on a frame) holds what lies in it.
        if (!found || placed.rect.width() * placed.rect.height() < area) {
            found = view;
            area = placed.rect.width() * placed.rect.height();
        }
    }
    return found;
}

// No text on paper runs into another: each view's words lie within its place, and words of two
// different views (or of a view and the page's artwork) neither overlap nor, side by side on one line,
// come closer than a gap a reader sees.
void checkTextsApart(const PrintedDocument& printed, const std::vector<QWidget*>& pages) {
    constexpr double kGap = 4;
    const auto views = printed.shownViews(pages);
    std::vector<std::pair<paper::PlacedWord, QWidget*>> words;
    for (const paper::PlacedWord& word : paper::placedWords(printed.file))
        words.push_back({word, holder(printed, views, word)});
    for (const auto& [word, view] : words) {
        if (!view) continue;
        INFO(view->objectName().toStdString() << ": " << word.text.toStdString());
        const auto it =
            std::find_if(views.begin(), views.end(), [&](const auto& v) { return v.first == view; });
        CHECK(QRectF(printed.onPaper(it->second).rect).adjusted(-1, -1, 1, 1).contains(word.box));
    }
    for (size_t i = 0; i < words.size(); ++i)
        for (size_t j = i + 1; j < words.size(); ++j) {
            const auto& [a, viewA] = words[i];
            const auto& [b, viewB] = words[j];
            if (a.page != b.page || viewA == viewB) continue;
            INFO((viewA ? viewA->objectName().toStdString() : "artwork")
                 << " \"" << a.text.toStdString() << "\" and "
                 << (viewB ? viewB->objectName().toStdString() : "artwork") << " \"" << b.text.toStdString()
                 << "\"");
            const double shared =
                std::min(a.box.bottom(), b.box.bottom()) - std::max(a.box.top(), b.box.top());
            const double apart =
                std::max(a.box.left(), b.box.left()) - std::min(a.box.right(), b.box.right());
            CHECK_FALSE((shared > 1 && apart < kGap));
        }
}

// Everything the preview shows is on paper, every text readable or visibly cut short, and the
// members that must not be cut short print whole.
void checkPrintout(const PrintedDocument& printed, const std::vector<QWidget*>& pages,
                   const std::vector<QString>& members) {
    for (const auto& [view, place] : printed.shownViews(pages)) {
        INFO(view->objectName().toStdString());
        CHECK(printed.paperShare(place) > 0.5);
        auto* label = qobject_cast<QLabel*>(view);
        if ((label && !label->pixmap().isNull()) || qobject_cast<QAbstractButton*>(view)) continue;
        const paper::SetText set = paper::setText(view);
        CHECK((set.whole || set.elided));
        CHECK(set.pixelSize >= 10);
    }
    checkTextsApart(printed, pages);
    for (const paper::Word& word : paper::words(printed.file)) {
        INFO(word.text.toStdString());
        CHECK(word.height >= kReadableHeight);
    }
    // The members that must not be cut short: a view shows each whole, and the PDF holds it there.
    const auto views = printed.shownViews(pages);
    for (const QString& member : members) {
        INFO(member.toStdString());
        const auto shown = std::find_if(views.begin(), views.end(), [&](const auto& v) {
            return paper::joined(paper::shownText(v.first)).contains(paper::joined(member));
        });
        if (shown == views.end()) {
            FAIL_CHECK("no view shows it whole");
            continue;
        }
        CHECK(paper::joined(printed.paperText(shown->second)).contains(paper::joined(member)));
    }
}

std::vector<QString> operator+(std::vector<QString> a, const std::vector<QString>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_CASE("the three-page certificate prints whole and readable with long details", "[documents][paper]") {
    const paper::CertificateLanguage& language = paper::kCertificateLanguages[GENERATE(0, 1, 2)];
    INFO(language.language);
    onepagetest::OnePageApp a;
    paper::installLongClinic();
    paper::installLongPatient(a.app);
    const auto ids = a.album("ID_999999_normal", {Qt::red, Qt::blue, Qt::darkGreen, Qt::magenta, Qt::cyan});
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    a.record()["44"] = paper::kLongTreatment;
    a.record()["49"] = paper::kLongTreatmentLatin;
    a.record()["10001"] = ids[0];
    a.record()["20001"] = ids[1];
    a.record()["30001"] = ids[2];
    a.record()["40001"] = ids[3];
    a.record()["40002"] = ids[4];
    REQUIRE(a.app.delegate().registCertificate());
    QTemporaryDir scratch;
    PrintedDocument printed;
    printed.preview = paper::openThreePages(a, language.threePages);
    REQUIRE(printed.preview);
    const auto pages = forms(printed, {"certificateView1", "certificateView2", "certificateView3"});
    REQUIRE(paper::settleUntil(a.app, [&] {
        for (int tag : {10001, 20001, 30001, 40001, 40002})
            if (auto* slot = qobject_cast<QLabel*>(
                    ui::viewWithTag(tag == 40001 || tag == 40002 ? pages[2] : pages[1], tag));
                !slot || slot->pixmap().isNull())
                return false;
        return true;
    }));
    printed.capture(scratch.path(), QString("certificate-%1").arg(language.language));
    REQUIRE(printed.pages.size() == 3);
    checkPrintout(printed, pages,
                  paper::longClinicMembers() + patientMembers() +
                      std::vector<QString>{QString::fromUtf8(paper::kLongTreatment),
                                           QString::fromUtf8(paper::kLongTreatmentLatin)});
}

TEST_CASE("the one-page certificate prints whole and readable with long details", "[documents][paper]") {
    const paper::CertificateLanguage& language = paper::kCertificateLanguages[GENERATE(0, 1, 2)];
    INFO(language.language);
    onepagetest::OnePageApp a;
    paper::installLongClinic();
    paper::installLongPatient(a.app);
    const auto ids = a.album("ID_999999_normal", {Qt::red, Qt::blue});
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    a.record()["34"] = "2020年 3月 5日";
    a.record()["50001"] = ids[0];
    a.record()["50002"] = ids[1];
    REQUIRE(a.app.delegate().registCertificate());
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = a.openPreview(language.onePage);
    REQUIRE(preview);
    printed.preview = preview;
    REQUIRE(a.waitUntil([&] {
        return !onepagetest::tagged(preview->page(), 50001)->pixmap().isNull() &&
               !onepagetest::tagged(preview->page(), 50002)->pixmap().isNull();
    }));
    printed.capture(scratch.path(), QString("onepage-%1").arg(language.language));
    REQUIRE(printed.pages.size() == 1);
    checkPrintout(printed, {preview->page()->formView()}, paper::longClinicMembers() + patientMembers());
}

TEST_CASE("the letter prints whole and readable with long details", "[documents][paper]") {
    lettertest::LetterApp s;
    paper::installLongClinic();
    paper::installLongPatient(s.app);
    const std::string red = s.photograph("normal", Qt::red), blue = s.photograph("velscope", Qt::blue);
    auto& d = s.delegate();
    d.patientID() = "999999";
    REQUIRE(d.setPatientInfoData());
    d.letterDataList() = {{"34", "2025年 3月 14日"},
                          {"81011", paper::kLongTreatment},
                          {"81012", "抜歯のお願い"},
                          {"81016", std::string(paper::kLongTreatment) + paper::kLongTreatment +
                                        paper::kLongTreatment + paper::kLongTreatment +
                                        paper::kLongTreatment},
                          {"82001", red},
                          {"82002", blue}};
    d.medicalList() = {{"cid", "80000"},
                       {"cname", "地方独立行政法人 札幌市立総合医療センター附属病院"},
                       {"departments", "歯科口腔外科・顎顔面外科"},
                       {"doctor", "山田　太郎左衛門之助"}};
    REQUIRE(d.registLetter());
    d.letterDataList().clear();
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = s.openPreview();
    REQUIRE(preview);
    printed.preview = preview;
    REQUIRE(paper::settleUntil(s.app, [&] {
        return !preview->page2()->slot(82001)->pixmap().isNull() &&
               !preview->page2()->slot(82002)->pixmap().isNull();
    }));
    printed.capture(scratch.path(), "letter");
    REQUIRE(printed.pages.size() == 2);
    std::vector<QString> clinic = paper::longClinicMembers();
    clinic.resize(6); // the letter's header has no home page or mail address
    checkPrintout(printed, {preview->page1()->formView(), preview->page2()->formView()},
                  clinic + std::vector<QString>{
                               QString::fromUtf8(paper::kLongName), QStringLiteral("〒060-0001"),
                               QStringLiteral("北海道") + QString::fromUtf8(paper::kLongAddress1),
                               QString::fromUtf8(paper::kLongTel1), QString::fromUtf8(paper::kLongOccupation),
                               QString::fromUtf8(paper::kLongTreatment)});
}

TEST_CASE("the letter prints a long address apart from the address beside it", "[documents][paper]") {
    lettertest::LetterApp s;
    lettertest::writeDocument("clinicInfo.json", lettertest::kClinicFile);
    const QString address1 = QStringLiteral("札幌市中央区北一条西二十三丁目四番地五号さくらメディカルプラザ"),
                  address2 = QStringLiteral("さくらメディカルプラザ12階1203");
    s.app.probe().exec("UPDATE patientMst SET address1 = '" + address1.toStdString() + "', address2 = '" +
                       address2.toStdString() + "' WHERE pid = '999999'");
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = s.openPreview();
    REQUIRE(preview);
    printed.preview = preview;
    printed.capture(scratch.path(), "letter-addresses");
    REQUIRE(printed.pages.size() == 2);
    const std::vector<QWidget*> pages = {preview->page1()->formView(), preview->page2()->formView()};
    checkTextsApart(printed, pages);
    // Each prints whole in its own label.
    const std::pair<const char*, QString> labels[] = {{"add1Label", QStringLiteral("北海道") + address1},
                                                      {"add2Label", address2}};
    for (const auto& [name, text] : labels) {
        INFO(name);
        auto* label = pages[0]->findChild<QLabel*>(name);
        REQUIRE(label);
        const QRect place(label->mapTo(preview->scrollView()->widget(), QPoint(0, 0)), label->size());
        CHECK(paper::joined(printed.paperText(place)) == text);
    }
}

TEST_CASE("the questionnaire prints whole and readable with long details", "[documents][paper]") {
    const std::string language = GENERATE("Japanese", "English", "Chinese");
    INFO(language);
    registtest::RegistApp app;
    paper::installLongClinic();
    paper::installLongPatient(app);
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = paper::openQuestionnaire(app, language);
    REQUIRE(preview);
    printed.preview = preview;
    printed.capture(scratch.path(), QString("questionnaire-%1").arg(QString::fromStdString(language)));
    REQUIRE(printed.pages.size() == 3);
    checkPrintout(printed, forms(printed, {"inquiryView1", "inquiryView2", "inquiryView3"}),
                  {QString::fromUtf8(paper::kLongName)});
    StaticVariableHelper::setInquiryLanguage(std::nullopt);
}

namespace {

// The smallest rectangle round the pixels of the area near the colour.
QRect colourBox(const QImage& image, const QRect& area, const QColor& colour) {
    QRect box;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

// The logo (300 x 120) on paper: whole inside its view, its shape kept.
void checkLogo(const PrintedDocument& printed, QLabel* logo) {
    REQUIRE(logo);
    const QRect inContent(logo->mapTo(printed.preview->scrollView()->widget(), QPoint(0, 0)), logo->size());
    const auto placed = printed.onPaper(inContent);
    REQUIRE(placed.page >= 0);
    const QImage& sheet = printed.pages[size_t(placed.page)];
    const QRect frame = colourBox(sheet, placed.rect.adjusted(-4, -4, 4, 4), paper::kLogoEdge);
    const QRect field = colourBox(sheet, placed.rect, paper::kLogoField);
    INFO(logo->objectName().toStdString() << " frame " << frame.width() << "x" << frame.height());
    REQUIRE(frame.height() > 10);
    CHECK(std::abs(double(frame.width()) / frame.height() - 2.5) < 0.12);
    CHECK(placed.rect.adjusted(-1, -1, 1, 1).contains(frame));
    // The field sits in the middle of the frame, the frame's band equally wide on every side.
    CHECK(std::abs((field.left() - frame.left()) - (frame.right() - field.right())) <= 2);
    CHECK(std::abs((field.top() - frame.top()) - (frame.bottom() - field.bottom())) <= 2);
}

} // namespace

TEST_CASE("the clinic's logo prints whole, its shape kept", "[documents][paper]") {
    QTemporaryDir scratch;
    SECTION("the certificates' contact blocks") {
        onepagetest::OnePageApp a;
        paper::installLongClinic();
        PrintedDocument three;
        three.preview =
            paper::openThreePages(a, &certificateViewTop::japaneseThreePageCertificatePrintButton);
        REQUIRE(three.preview);
        three.capture(scratch.path(), "logo-certificate");
        checkLogo(three, three.preview->scrollView()
                             ->widget()
                             ->findChild<QWidget*>("certificateView1")
                             ->findChild<QLabel*>("imageLogo"));
        a.app.launched.navigation()->popToRootViewController(false);
        a.app.launched.navigation()->pushViewController(a.top, false);
        a.app.launched.settle(10);
        PrintedDocument one;
        auto preview = a.openPreview(&certificateViewTop::japaneseCertificatePrintButton);
        REQUIRE(preview);
        one.preview = preview;
        one.capture(scratch.path(), "logo-onepage");
        checkLogo(one, preview->page()->label("imageLogo"));
    }
    SECTION("the questionnaire's pages and the letter's second page") {
        registtest::RegistApp app;
        paper::installLongClinic();
        PrintedDocument questionnaire;
        auto preview = paper::openQuestionnaire(app, "Japanese");
        REQUIRE(preview);
        questionnaire.preview = preview;
        questionnaire.capture(scratch.path(), "logo-questionnaire");
        for (int page = 1; page <= 3; ++page)
            checkLogo(questionnaire, preview->page(page)->clinicLogoImage());
        StaticVariableHelper::setInquiryLanguage(std::nullopt);
    }
    SECTION("the letter's second page") {
        lettertest::LetterApp s;
        paper::installLongClinic();
        PrintedDocument letter;
        auto preview = s.openPreview();
        REQUIRE(preview);
        letter.preview = preview;
        letter.capture(scratch.path(), "logo-letter");
        checkLogo(letter, preview->page2()->clinicLogoImage());
    }
}

namespace {

// How soft the text of an area is: its pixels between ink and paper against those of full ink.
// Text drawn as text has an edge of about a pixel at any resolution; an image of it enlarged to the
// resolution smears each edge over several.
double softness(const QImage& image, const QRect& area) {
    int ink = 0, edge = 0;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            if (grey < 96)
                ++ink;
            else if (grey < 224)
                ++edge;
        }
    return ink == 0 ? 1e9 : double(edge) / ink;
}

} // namespace

TEST_CASE("the printed questionnaire's questions are as sharp as the typed values", "[documents][paper]") {
    const std::string language = GENERATE("Japanese", "English", "Chinese");
    INFO(language);
    registtest::RegistApp app;
    QTemporaryDir scratch;
    auto preview = paper::openQuestionnaire(app, language);
    REQUIRE(preview);
    const auto path = preview->printPDF();
    REQUIRE(path);
    const QString file = QString::fromStdString(*path);
    // Page 1 at 200 dpi; the page's points map to pixels by 200 / 72, 20 points down the band.
    constexpr double kScale = 200.0 / 72;
    const QImage page = pdfprobe::page(file, 1, scratch.path(), 200);
    const auto onPage = [&](QRect r) {
        r.translate(0, preview->traits().topOffset);
        return QRect(QPoint(int(r.x() * kScale), int(r.y() * kScale)), r.size() * kScale);
    };
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        page.save(
            QDir(dir).filePath(QString("questionnaire-200dpi-%1.png").arg(QString::fromStdString(language))));

    // The typed values: the patient ID and the medicine written on page 1.
    QWidget* form = preview->page(1)->formView();
    double typed = 0;
    for (const char* name : {"patientIDLabel", "textField32"}) {
        QWidget* view = form->findChild<QWidget*>(name);
        REQUIRE(view);
        // Inside the field's rule.
        typed = std::max(typed, softness(page, onPage(view->geometry().adjusted(2, 2, -2, -4))));
    }
    // Every question of page 1, as its definition prints it.
    const auto& definition = questionnaire::inquiryDefinition();
    int questions = 0;
    for (const questionnaire::PrintedText& text : definition.texts) {
        if (text.page != 1 || text.style != questionnaire::PrintStyle::Question) continue;
        ++questions;
        const QRect frame(text.frame.x, text.frame.y, text.frame.width, text.frame.height);
        INFO(text.text.ja);
        // The questions are set smaller than the values (16 against 20 pixels), so a little more of each
        // stroke is edge; an image of the page gives five to twenty times the values' share.
        CHECK(softness(page, onPage(frame)) <= typed * 2);
    }
    CHECK(questions >= 10);
    // On screen the page is the committed image, as ever.
    QLabel* background = preview->page(1)->backgroundImage();
    const std::string image = inquiryPageView::backgroundImageName(1, language);
    CHECK(onepagetest::showsBundleImage(background->pixmap(), image));
    CHECK(
        picturecheck::samePicture(QImage(QString::fromStdString(*foundation::Bundle::main()->pathForResource(
                                      image.substr(0, image.size() - 4), "png"))),
                                  background->grab().toImage()));
    // The questions are text a reader of the PDF finds.
    CHECK(pdfprobe::facts(file).text.contains(
        QString::fromStdString(language == "Japanese"  ? definition.texts.front().text.ja
                               : language == "Chinese" ? definition.texts.front().text.zh
                                                       : definition.texts.front().text.en)));
    StaticVariableHelper::setInquiryLanguage(std::nullopt);
}

TEST_CASE("printed artwork keeps the weight of its bold texts", "[documents][paper]") {
    const paper::CertificateLanguage& language = paper::kCertificateLanguages[GENERATE(0, 1, 2)];
    INFO(language.language);
    onepagetest::OnePageApp a;
    QTemporaryDir scratch;
    PrintedDocument printed;
    printed.preview = paper::openThreePages(a, language.threePages);
    REQUIRE(printed.preview);
    printed.capture(scratch.path(), QString("weight-%1").arg(language.language));
    REQUIRE(printed.pages.size() == 3);
    // Page 2's title, bold in a font without a bold face: on paper as heavy as on screen.
    const QRect title(40, 20, 490, 44);
    const int onScreen = paper::ink(printed.screen, title.translated(0, 1024));
    const int onPaper =
        paper::ink(printed.pages[1], title.translated(0, printed.preview->traits().topOffset));
    CHECK(onPaper > onScreen * 0.8);
    CHECK(onPaper < onScreen * 1.25);
}

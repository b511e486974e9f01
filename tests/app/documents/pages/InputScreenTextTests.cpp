// The input screens show the clinic's and the patient's details as the printed pages do: every text
// whole or ending in "…", none running into another, and the bar's title beside its buttons.
#include <QAbstractButton>
#include <catch2/catch.hpp>
#include <map>

#include "app/documents/certificate/certificateBaseView.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "tests/app/documents/pages/PaperSupport.h"

namespace {

// Where a label draws its text, in the form's coordinates, as wide as the text runs whatever the
// label's edge cuts off.
QRect drawnText(QLabel* label, QWidget* form) {
    const QRect box = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
    return QFontMetrics(label->font())
        .boundingRect(box, flags, label->text())
        .translated(label->mapTo(form, QPoint(0, 0)));
}

std::vector<QLabel*> textLabels(QWidget* form) {
    std::vector<QLabel*> out;
    for (QLabel* label : form->findChildren<QLabel*>())
        if (label->isVisibleTo(form) && label->pixmap().isNull() && !label->text().trimmed().isEmpty())
            out.push_back(label);
    return out;
}

// Every label of the form shows its text whole or ending in "…", and no two labels' texts overlap.
void checkLabels(QWidget* form) {
    const std::vector<QLabel*> labels = textLabels(form);
    CHECK(labels.size() >= 5);
    for (QLabel* label : labels) {
        INFO(label->objectName().toStdString() << ": " << label->text().toStdString());
        const paper::SetText set = paper::setText(label);
        CHECK((set.whole || set.elided));
    }
    for (size_t i = 0; i < labels.size(); ++i)
        for (size_t j = i + 1; j < labels.size(); ++j) {
            INFO(labels[i]->objectName().toStdString() << " and " << labels[j]->objectName().toStdString());
            CHECK_FALSE(drawnText(labels[i], form).intersects(drawnText(labels[j], form)));
        }
}

// The bar's title starts with the title's first character, ends within its own place and lies beside
// every button of the bar.
void checkTitle(ui::NavigationBar* bar, const QString& title) {
    auto* shown = bar->findChild<QLabel*>("navigationTitle");
    REQUIRE(shown);
    INFO(shown->text().toStdString());
    CHECK(bar->titleText() == title);
    CHECK(shown->text().startsWith(title.front()));
    const QRect text = drawnText(shown, bar);
    CHECK(QRect(shown->mapTo(bar, QPoint(0, 0)), shown->size()).contains(text));
    int buttons = 0;
    for (QAbstractButton* button : bar->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(bar)) continue;
        ++buttons;
        INFO(button->text().toStdString());
        CHECK_FALSE(text.intersects(button->geometry()));
        CHECK_FALSE(shown->geometry().intersects(button->geometry()));
    }
    CHECK(buttons >= 2);
}

void grab(registtest::RegistApp& app, const QString& name) {
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        app.launched.window().grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name + ".png"));
}

void settle(registtest::RegistApp& app) {
    ui::AnimationClock::shared().finishAnimations();
    app.launched.settle(10);
}

// The three-page certificate's input for the seed patient, opened from the start screen.
std::shared_ptr<certificateBaseView> openThreePages(onepagetest::OnePageApp& a) {
    registtest::type(a.top->patientIDBox(), "999999");
    a.top->certificateStart();
    QTest::mouseClick(a.top->threePageCertificateButton(), Qt::LeftButton);
    settle(a.app);
    return std::dynamic_pointer_cast<certificateBaseView>(a.app.top());
}

const QString kLongTitle = QString::fromUtf8(paper::kLongName) + QStringLiteral(" 様");

} // namespace

TEST_CASE("the certificate's input screens show long details whole or cut short visibly",
          "[documents][certificate][screen]") {
    onepagetest::OnePageApp a;
    paper::installLongClinic();
    paper::installLongPatient(a.app);
    auto* bar = a.app.launched.navigation()->navigationBar();

    SECTION("the three pages") {
        auto base = openThreePages(a);
        REQUIRE(base);
        grab(a.app, "input-certificate-1");
        checkTitle(bar, kLongTitle);
        for (int page = 1; page <= 3; ++page) {
            INFO("page " << page);
            if (page > 1) {
                base->dispNextPage();
                settle(a.app);
            }
            checkLabels(base->page(page)->formView());
        }
    }
    SECTION("the one-page form") {
        auto form = a.openForm();
        REQUIRE(form);
        settle(a.app);
        grab(a.app, "input-onepage");
        checkTitle(bar, kLongTitle);
        checkLabels(form->formView());
    }
}

TEST_CASE("the certificate's input breaks the details where its paper does",
          "[documents][certificate][screen]") {
    // The name is left out: the Japanese paper adds "様" to it.
    const char* const names[] = {"add1Label",       "add2Label",   "tel1Label",       "tel2Label",
                                 "bizLabel",        "clinic_name", "clinic_address1", "clinic_address2",
                                 "clinic_director", "clinic_url",  "clinic_mail"};
    std::map<std::string, QString> input, printed;
    {
        onepagetest::OnePageApp a;
        paper::installLongClinic();
        paper::installLongPatient(a.app);
        auto base = openThreePages(a);
        REQUIRE(base);
        for (const char* name : names)
            input[name] = base->page(1)->formView()->findChild<QLabel*>(name)->text();
    }
    {
        onepagetest::OnePageApp a;
        paper::installLongClinic();
        paper::installLongPatient(a.app);
        auto preview = paper::openThreePages(a, paper::kCertificateLanguages[0].threePages);
        REQUIRE(preview);
        QWidget* page1 = preview->scrollView()->widget()->findChild<QWidget*>("certificateView1");
        REQUIRE(page1);
        for (const char* name : names)
            printed[name] = page1->findChild<QLabel*>(name)->text();
    }
    for (const char* name : names) {
        INFO(name << ": " << input[name].toStdString() << " | " << printed[name].toStdString());
        CHECK(input[name] == printed[name]);
    }
    // The long ones take a second line on both.
    CHECK(input["add1Label"].contains('\n'));
    CHECK(input["tel1Label"].contains('\n'));
}

TEST_CASE("the letter's input screen shows long details whole or cut short visibly",
          "[documents][letter][screen]") {
    lettertest::LetterApp s;
    paper::installLongClinic();
    paper::installLongPatient(s.app);
    auto letter = s.openLetter();
    REQUIRE(letter);
    settle(s.app);
    grab(s.app, "input-letter");
    checkTitle(s.app.launched.navigation()->navigationBar(), kLongTitle);
    checkLabels(letter->page1()->formView());
    letter->dispNextPage();
    settle(s.app);
    checkLabels(letter->page2()->formView());
}

TEST_CASE("the seed patient's address shows whole on the three-page input",
          "[documents][certificate][screen]") {
    onepagetest::OnePageApp a;
    auto base = openThreePages(a);
    REQUIRE(base);
    auto* address = base->page(1)->formView()->findChild<QLabel*>("add1Label");
    REQUIRE(address);
    CHECK(address->text().remove('\n') == QStringLiteral("北海道札幌市中央区北一条西2丁目1-1"));
    CHECK(paper::setText(address).whole);
}

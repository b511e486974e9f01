#include <catch2/catch.hpp>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "app/shell/FormInput.h"
#include "app/shell/WidgetFormPage.h"
#include "platform/ui/Tag.h"

using namespace shell;

namespace {

// A page view holding circle buttons and check labels with the given tags.
struct TestPage {
    QWidget base;
    std::map<int, QPushButton*> buttons;
    std::map<int, QLabel*> labels;
    explicit TestPage(std::initializer_list<int> circleTags, std::initializer_list<int> labelTags = {}) {
        for (int t : circleTags) {
            auto* b = new QPushButton(&base);
            b->resize(30, 30);
            ui::setTag(b, t);
            buttons[t] = b;
        }
        for (int t : labelTags) {
            auto* l = new QLabel(&base);
            ui::setTag(l, t);
            labels[t] = l;
        }
    }
    void single(int t, store::FormData& items) {
        WidgetFormPage page(&base, QPixmap(), buttons.at(t));
        forminput::onCircleSingle(t, items, page);
    }
    void multi(int t, store::FormData& items) {
        WidgetFormPage page(&base, QPixmap(), buttons.at(t));
        forminput::onCircleMulti(t, items, page);
    }
    bool shown(int t) const { return WidgetFormPage::showsCircle(buttons.at(t)); }
    std::string text(int t) const { return labels.at(t)->text().toStdString(); }
};

} // namespace

TEST_CASE("Single-choice circles keep one choice per group", "[forms][circles]") {
    store::FormData items;
    SECTION("421 then 423 moves the choice; 423 again empties the group") {
        TestPage page({421, 422, 423});
        page.single(421, items);
        CHECK(items == store::FormData{{"421", "on"}});
        CHECK(page.shown(421));
        page.single(423, items);
        CHECK(items == store::FormData{{"423", "on"}});
        CHECK_FALSE(page.shown(421));
        CHECK(page.shown(423));
        page.single(423, items);
        CHECK(items.empty());
        CHECK_FALSE(page.shown(423));
    }
    SECTION("a tap on 429 clears a circle tagged 430 as well") {
        TestPage page({429, 430, 431});
        page.single(430, items);
        page.multi(431, items);
        REQUIRE(page.shown(430));
        page.single(429, items);
        CHECK(items == store::FormData{{"429", "on"}, {"431", "on"}});
        CHECK(page.shown(429));
        CHECK_FALSE(page.shown(430)); // the image goes with the key
        CHECK(page.shown(431));
        // And a tap on 430 (group 43) reaches 431 … 440, not 429.
        page.single(430, items);
        CHECK(items == store::FormData{{"429", "on"}, {"430", "on"}});
    }
    SECTION("only tags the page has are cleared") {
        TestPage page({421, 423});
        items = {{"422", "on"}, {"423", "on"}, {"411", "on"}};
        page.single(421, items);
        CHECK(items == store::FormData{{"411", "on"}, {"421", "on"}, {"422", "on"}});
        CHECK_FALSE(page.shown(423));
    }
}

TEST_CASE("Multi-choice circles toggle alone", "[forms][circles]") {
    TestPage page({4301, 4302, 4304});
    store::FormData items{{"4302", "on"}};
    page.multi(4301, items);
    page.multi(4304, items);
    CHECK(items == store::FormData{{"4301", "on"}, {"4302", "on"}, {"4304", "on"}});
    CHECK(page.shown(4301));
    CHECK_FALSE(page.shown(4302)); // its image is the page loader's business, not a tap's
    page.multi(4301, items);
    CHECK(items == store::FormData{{"4302", "on"}, {"4304", "on"}});
    CHECK_FALSE(page.shown(4301));
}

TEST_CASE("Check labels carry the certificate's marks", "[forms][labels]") {
    TestPage page({}, {511, 512, 513, 520, 8101, 8102});
    store::FormData list;
    WidgetFormPage view(&page.base);
    SECTION("single choice: an empty label takes the mark from the rest of its group") {
        forminput::onCheckLabelSingle(511, list, view, "■");
        CHECK(page.text(511) == "■");
        forminput::onCheckLabelSingle(513, list, view, "■");
        CHECK(list == store::FormData{{"513", "■"}});
        CHECK(page.text(511).empty());
        CHECK(page.text(513) == "■");
    }
    SECTION("single choice: a marked label empties the whole group, 520 included") {
        list = {{"513", "■"}, {"520", "●"}};
        page.labels[513]->setText("■");
        page.labels[520]->setText("●");
        forminput::onCheckLabelSingle(513, list, view, "■");
        CHECK(list.empty());
        CHECK(page.text(513).empty());
        CHECK(page.text(520).empty());
    }
    SECTION("multi choice toggles its own label") {
        forminput::onCheckLabelMulti(8101, list, view, "●");
        forminput::onCheckLabelMulti(8102, list, view, "●");
        CHECK(list == store::FormData{{"8101", "●"}, {"8102", "●"}});
        forminput::onCheckLabelMulti(8101, list, view, "●");
        CHECK(list == store::FormData{{"8102", "●"}});
        CHECK(page.text(8101).empty());
    }
}

TEST_CASE("The keyboard lifts the page by its height and closing puts it back", "[forms][keyboard]") {
    const QRect screen(0, 0, 768, 1024), keyboard(0, 760, 768, 264);
    QRect page = screen;
    page = forminput::keyboardShiftFrame(page, keyboard, true, screen);
    CHECK(page == QRect(0, -264, 768, 1024));
    page = forminput::keyboardShiftFrame(page, keyboard, true, screen);
    CHECK(page == QRect(0, -528, 768, 1024));
    page = forminput::keyboardShiftFrame(page, keyboard, false, screen);
    CHECK(page == screen);
    // A page taller than the screen is moved, never cut to the screen's height.
    page = QRect(0, 0, 768, 1150);
    page = forminput::keyboardShiftFrame(page, keyboard, true, screen);
    CHECK(page == QRect(0, -264, 768, 1150));
    page = forminput::keyboardShiftFrame(page, keyboard, false, screen);
    CHECK(page == QRect(0, 0, 768, 1150));
    // A shorter one is still made the screen's size.
    CHECK(forminput::keyboardShiftFrame(QRect(0, 44, 768, 980), keyboard, false, screen) == screen);
}

TEST_CASE("The character check accepts only the allowed characters", "[forms][check]") {
    const std::string digitsAndHyphen = "0123456789-";
    CHECK(forminput::checkDigit("03-1234-5678", digitsAndHyphen));
    CHECK_FALSE(forminput::checkDigit("03-12a4", digitsAndHyphen));
    CHECK(forminput::checkDigit("", digitsAndHyphen));
    CHECK_FALSE(forminput::checkDigit("０３", digitsAndHyphen)); // full-width digits are other characters
    CHECK(forminput::checkDigit("あいあ", "あい"));
    CHECK_FALSE(forminput::checkDigit("*", "0123456789"));
}

TEST_CASE("Time stamps are milliseconds, cached until cleared", "[forms][timestamp]") {
    double now = 1700000000.1239;
    forminput::Timestamps stamps([&] { return now; });
    CHECK(stamps.timestamp() == "1700000000123");
    now += 5;
    CHECK(stamps.timestamp() == "1700000000123");
    CHECK(stamps.newTimestamp() == "1700000005123");
    stamps.clearTimestamp();
    CHECK(stamps.timestamp() == "1700000005123");
    forminput::Timestamps real;
    CHECK(real.newTimestamp().size() >= 13);
}

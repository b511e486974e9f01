// The letter's photo page: the Karte number and logo, the questionnaire's answers in the page's own
// controls, and two photo slots filled from every photograph of the patient.
#include <QAbstractButton>
#include <QListWidget>
#include <catch2/catch.hpp>
#include <nlohmann/json.hpp>

#include "platform/foundation/Log.h"
#include "tests/app/documents/letter/LetterTestSupport.h"

using lettertest::LetterApp;

namespace {

std::vector<std::string> offered(const LetterView2& page) {
    std::vector<std::string> ids;
    for (const store::PhotoAsset& asset : page.assetsList())
        ids.push_back(asset.localIdentifier);
    return ids;
}

bool showsCircle(const std::shared_ptr<LetterView2>& page, int tag) {
    auto* button = qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), tag));
    return button && !button->icon().isNull();
}

// The colour a slot shows in its middle, as near as JPEG keeps it ("none" while it is empty).
std::string slotColour(const std::shared_ptr<LetterView2>& page, int tag) {
    const QPixmap shown = page->slot(tag)->pixmap();
    if (shown.isNull()) return "none";
    const QColor c = shown.toImage().pixelColor(shown.rect().center());
    for (auto [name, colour] : {std::pair{"red", QColor(Qt::red)}, std::pair{"green", QColor(Qt::green)},
                                std::pair{"blue", QColor(Qt::blue)}, std::pair{"grey", QColor(Qt::gray)}})
        if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                std::abs(c.blue() - colour.blue()) <
            60)
            return name;
    return "other";
}

// The patient's photographs: two of standard light, one of each other kind.
struct Photographs {
    std::string n1, n2, v1, r1, x1;
    explicit Photographs(LetterApp& s)
        : n1(s.photograph("normal", Qt::red)), n2(s.photograph("normal", Qt::green)),
          v1(s.photograph("velscope", Qt::blue)), r1(s.photograph("roentgen", Qt::gray)),
          x1(s.photograph("noselect", Qt::yellow)) {}
};

} // namespace

TEST_CASE("the letter's photo page shows the patient's questionnaire and the clinic", "[documents][letter]") {
    LetterApp s;
    SECTION("seed answers in the controls of their tags; nothing else is touched") {
        auto base = s.openLetter();
        REQUIRE(base);
        auto page = base->page2();
        CHECK(page->patientIDLabel()->text() == "999999-5");
        // The seed: 31 "2", 41 "2", 21 "2", text 32, and 8110 among the illnesses.
        CHECK(showsCircle(page, 312));
        CHECK(showsCircle(page, 412));
        CHECK(showsCircle(page, 8110));
        CHECK_FALSE(showsCircle(page, 311));
        CHECK_FALSE(showsCircle(page, 8102));
        CHECK(qobject_cast<QLabel*>(ui::viewWithTag(page->formView(), 32))->text() == "睡眠導入剤");
        CHECK(qobject_cast<QLabel*>(ui::viewWithTag(page->formView(), 21))->text() == "2");
        // Tapping a circle answers the questionnaire in memory only.
        QTest::mouseClick(qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), 311)),
                          Qt::LeftButton);
        CHECK(showsCircle(page, 311));
        CHECK_FALSE(showsCircle(page, 312));
        CHECK(s.delegate().inputItems()->at("311") == "on");
    }
    SECTION("answers go only to views that can show them") {
        auto base = s.openLetter();
        REQUIRE(base);
        auto page = base->page2();
        auto* button = new QPushButton(page->formView());
        ui::setTag(button, 45);
        s.delegate().inputItems() = store::FormData{{"82001", "on"}, {"45", "a text"}, {"311", "off"},
                                                    {"412", ""},     {"5", "low"},     {"inputdate", "x"}};
        for (int tag : {312, 412})
            qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), tag))->setIcon(QIcon());
        page->setInitialData();
        CHECK(page->slot(82001)->pixmap().isNull());
        CHECK(page->slot(82001)->text().isEmpty());
        CHECK(button->text().isEmpty());
        CHECK(button->icon().isNull());
        CHECK_FALSE(showsCircle(page, 311));
        CHECK_FALSE(showsCircle(page, 412));
    }
    SECTION("the clinic's logo, or its log line when the named image is missing") {
        const bool present = GENERATE(true, false);
        if (present) {
            QImage logo(120, 40, QImage::Format_RGB32);
            logo.fill(Qt::darkCyan);
            logo.save(QDir(QString::fromStdString(foundation::home::documents())).filePath("logo.png"));
        }
        lettertest::writeDocument("clinicInfo.json", R"({"clinicInfo":[{"name":"A","logo":"logo.png"}]})");
        foundation::LogCapture log;
        auto base = s.openLetter();
        REQUIRE(base);
        CHECK(base->page2()->clinicLogoImage()->pixmap().isNull() == !present);
        CHECK(log.contains("Not Logo Image.") == !present);
    }
}

TEST_CASE("the letter's photo slots", "[documents][letter]") {
    LetterApp s;
    const Photographs p(s);
    foundation::LogCapture log;
    auto base = s.openLetter();
    REQUIRE(base);
    base->dispNextPage();
    ui::AnimationClock::shared().finishAnimations();
    auto page = base->page2();
    auto& letter = s.delegate().letterDataList();
    auto tap = [&](int tag) { QTest::mouseClick(page->slot(tag), Qt::LeftButton); };

    SECTION("placed, replaced and taken out, with the offer in kind order") {
        tap(82001);
        CHECK(page->selectTagNo() == 82001);
        CHECK(page->slot(82001)->styleSheet().contains("red"));
        CHECK(page->collectionView()->isVisible());
        CHECK(page->labellabel()->isVisible());
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.n2, p.v1, p.r1, p.x1});
        CHECK(log.contains("LetterView2, targetAssetsList(PHOTO_NORMAL): 2,"));
        CHECK(log.contains("LetterView2, targetAssetsList4(PHOTO_NON): 1,"));
        CHECK(log.contains("LetterView2, end of SettingRegisterdPhoto, count: 5, assetsList:"));
        CHECK_FALSE(page->deselectBtn()->isEnabled());

        page->didSelectItem(1); // the green one
        s.app.launched.settleUntil([&] { return slotColour(page, 82001) == "green"; });
        lettertest::grab(s, "letter-page2-fillout.png");
        CHECK(letter.at("82001") == p.n2);
        CHECK(slotColour(page, 82001) == "green");
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.v1, p.r1, p.x1});
        CHECK(page->collectionView()->count() == 4);
        CHECK(page->deselectBtn()->isEnabled());
        // The delegate's lists keep every photograph: the offer is made from them each time.
        CHECK(s.delegate().allAssetsList().at("normal").size() == 2);

        QTest::mouseClick(page->closeCollectionBtn(), Qt::LeftButton);
        CHECK(page->selectTagNo() == 0);
        CHECK_FALSE(page->collectionView()->isVisible());
        CHECK(page->slot(82001)->styleSheet().isEmpty());

        tap(82002); // a photograph in either slot is never offered
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.v1, p.r1, p.x1});
        page->didSelectItem(1);
        CHECK(letter.at("82002") == p.v1);
        QTest::mouseClick(page->closeCollectionBtn(), Qt::LeftButton);

        tap(82001);
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.r1, p.x1});
        page->didSelectItem(1); // the grey one replaces the green one, which goes to the offer's end
        s.app.launched.settleUntil([&] { return slotColour(page, 82001) == "grey"; });
        CHECK(letter.at("82001") == p.r1);
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.x1, p.n2});
        CHECK(slotColour(page, 82001) == "grey");

        QTest::mouseClick(page->deselectBtn(), Qt::LeftButton);
        CHECK(letter.count("82001") == 0);
        CHECK(page->slot(82001)->pixmap().isNull());
        CHECK(offered(*page) == std::vector<std::string>{p.n1, p.x1, p.n2, p.r1});
        CHECK_FALSE(page->deselectBtn()->isEnabled());

        base->registButton()->trigger();
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "登録しました");
        const std::string stored = s.app.probe().value("SELECT result FROM letterMst WHERE pid = '999999'");
        INFO(stored);
        const auto json = nlohmann::json::parse(stored, nullptr, false);
        CHECK(json.value("82002", "") == p.v1);
        CHECK_FALSE(json.contains("82001"));
    }
    SECTION("deselect without a selected slot does nothing") {
        tap(82001);
        page->didSelectItem(0);
        QTest::mouseClick(page->closeCollectionBtn(), Qt::LeftButton);
        REQUIRE(page->selectTagNo() == 0);
        page->deselectPhoto();
        CHECK(letter.at("82001") == p.n1);
        CHECK(letter.count("0") == 0);
    }
    SECTION("the selected slot tapped again: no selection, the offer still shown, a choice does nothing") {
        tap(82002);
        tap(82002);
        CHECK(page->selectTagNo() == 0);
        CHECK(page->collectionView()->isVisible());
        page->didSelectItem(0);
        CHECK(letter.count("82002") == 0);
        CHECK(letter.count("0") == 0);
    }
}

TEST_CASE("stored slots of the letter", "[documents][letter]") {
    LetterApp s;
    const std::string kept = s.photograph("normal", Qt::blue);
    // A photograph that was in the library but has left the patient's albums.
    QImage other(40, 30, QImage::Format_RGB32);
    other.fill(Qt::red);
    std::string gone;
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->performChangesAndWait(
        [&](photos::ChangeRequest& change) { gone = change.createImageAsset(other); }));
    auto& d = s.delegate();
    d.patientID() = "999999";
    REQUIRE(d.setPatientInfoData());
    d.letterDataList() = {{"82001", gone}, {"82002", kept}};
    d.medicalList()["cid"] = "80000";
    REQUIRE(d.registLetter());

    SECTION("shown again, a vanished one empty; taking it out only clears its key") {
        auto base = s.openLetter();
        REQUIRE(base);
        s.app.launched.settle(30);
        auto page = base->page2();
        CHECK(page->slot(82001)->pixmap().isNull());
        CHECK(slotColour(page, 82002) == "blue");
        QTest::mouseClick(page->slot(82001), Qt::LeftButton);
        CHECK(offered(*page).empty()); // the one photograph sits in the other slot
        QTest::mouseClick(page->deselectBtn(), Qt::LeftButton);
        CHECK(d.letterDataList().count("82001") == 0);
        CHECK(page->collectionView()->count() == 0);
    }
    SECTION("print mode: the slots take no touches and the circles keep their look") {
        auto preview = s.openPreview();
        REQUIRE(preview);
        auto page = preview->page2();
        REQUIRE(page);
        CHECK(slotColour(page, 82002) == "blue");
        QTest::mouseClick(page->slot(82002), Qt::LeftButton);
        CHECK(page->selectTagNo() == 0);
        CHECK(page->collectionView()->isHidden());
        auto* circle = qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), 312));
        CHECK(circle->isEnabled());
        CHECK(circle->testAttribute(Qt::WA_TransparentForMouseEvents));
        CHECK(showsCircle(page, 312));
    }
}

#include <QDir>
#include <QImage>
#include <QString>
#include <catch2/catch.hpp>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include "app/documents/artwork/InquiryArtwork.h"
#include "app/documents/artwork/InquiryDefinition.h"
#include "app/documents/questionnaire/radarChartView.h"
#include "app/store/DemoData.h"
#include "app/store/FormJson.h"
#include "app/store/InquiryResult.h"
#include "tests/support/ArtworkCheck.h"

using namespace questionnaire;

namespace {

const InquiryDefinition& def() {
    return inquiryDefinition();
}

const InquiryItem* itemWithTag(int tag) {
    for (const InquiryItem& item : def().items)
        if (item.tag == tag) return &item;
    return nullptr;
}

std::set<int> choicesOf(int group, ItemKind kind) {
    std::set<int> choices;
    for (const InquiryItem& item : def().items) {
        if (item.kind != kind) continue;
        if (kind == ItemKind::SingleCircle && item.tag / 10 == group) choices.insert(item.tag % 10);
        if (kind == ItemKind::MultiCircle && item.tag / 100 == group) choices.insert(item.tag % 100);
    }
    return choices;
}

int pageOfGroup(int group, ItemKind kind) {
    for (const InquiryItem& item : def().items)
        if (item.kind == kind && (kind == ItemKind::SingleCircle ? item.tag / 10 : item.tag / 100) == group)
            return item.page;
    return 0;
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
           inner.bottom() <= outer.bottom();
}

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

QString bundleFolder() {
    // The committed files, not the copy laid beside the binary, are what must match.
    return QStringLiteral(ZARUVEDEZ_SOURCE_DIR "/resources/bundle");
}

} // namespace

TEST_CASE("questionnaire definition", "[InquiryDefinition]") {
    SECTION("every tag lies in the range its kind and page allow") {
        for (const InquiryItem& item : def().items) {
            INFO("tag " << item.tag << " on page " << item.page);
            CHECK(item.page >= 1);
            CHECK(item.page <= 3);
            switch (item.kind) {
            case ItemKind::SingleCircle:
                CHECK(item.tag >= 100);
                CHECK(item.tag <= 999);
                CHECK(item.tag % 10 != 0);
                // Page 2 leaves its 500s untappable.
                if (item.page == 2) CHECK((item.tag < 500 || item.tag > 599));
                break;
            case ItemKind::MultiCircle:
                CHECK(item.tag >= 1000);
                CHECK(item.tag <= 9999);
                CHECK(item.tag % 100 != 0);
                break;
            case ItemKind::TextField:
                CHECK(item.page != 3);
                CHECK(item.tag >= 11);
                CHECK(item.tag <= 99);
                break;
            case ItemKind::TextView:
                CHECK(item.page == 3);
                CHECK(item.tag >= 95);
                CHECK(item.tag <= 99);
                break;
            case ItemKind::DateLabel:
                CHECK(item.page == 3);
                CHECK(item.tag >= 90);
                CHECK(item.tag <= 94);
                break;
            }
        }
    }

    SECTION("tags are unique and every text is written in all three languages") {
        std::set<int> tags;
        for (const InquiryItem& item : def().items) {
            CHECK(tags.insert(item.tag).second);
            CHECK_FALSE(item.text.ja.empty());
            CHECK_FALSE(item.text.en.empty());
            CHECK_FALSE(item.text.zh.empty());
        }
        for (const Text& name : def().axisNames) {
            CHECK_FALSE(name.ja.empty());
            CHECK_FALSE(name.en.empty());
            CHECK_FALSE(name.zh.empty());
        }
    }

    SECTION("the scored groups hold the choices the scores read") {
        CHECK(choicesOf(12, ItemKind::SingleCircle) == std::set<int>{1, 2, 3});
        CHECK(choicesOf(14, ItemKind::SingleCircle).count(1) == 1);
        CHECK(choicesOf(14, ItemKind::SingleCircle).count(2) == 1);
        for (int group : {21, 31, 32, 41, 42}) {
            INFO("group " << group);
            CHECK(choicesOf(group, ItemKind::SingleCircle).count(1) == 1);
            CHECK(choicesOf(group, ItemKind::SingleCircle).size() >= 2);
        }
        CHECK(choicesOf(71, ItemKind::MultiCircle).size() >= 4);
        CHECK(choicesOf(61, ItemKind::MultiCircle).size() >= 3);
        std::set<int> oneTo17;
        for (int c = 1; c <= 17; ++c)
            oneTo17.insert(c);
        CHECK(choicesOf(81, ItemKind::MultiCircle) == oneTo17);
        CHECK(choicesOf(51, ItemKind::SingleCircle) == std::set<int>{1, 2, 3, 4});
        CHECK(pageOfGroup(51, ItemKind::SingleCircle) != 2);
        for (int textTag : {21, 32}) {
            const InquiryItem* text = itemWithTag(textTag);
            REQUIRE(text != nullptr);
            CHECK(text->kind == ItemKind::TextField);
        }
    }

    SECTION("the seed questionnaire loads onto views of the pages") {
        store::FormData items;
        store::mergeInquiryResult(nlohmann::ordered_json::parse(store::kDemoInquiryResult), items);
        for (const auto& [key, value] : items) {
            const int tag = store::leadingInteger(key);
            if (tag < 11) continue; // the pages ignore these
            INFO("key " << key);
            CHECK(itemWithTag(tag) != nullptr);
        }
    }

    SECTION("frames stay on their page and apart from each other") {
        for (const InquiryItem& item : def().items) {
            INFO("tag " << item.tag);
            const Rect page{0, 0, 768, def().pageHeights[size_t(item.page - 1)]};
            CHECK(inside(item.frame, page));
            for (const InquiryItem& other : def().items)
                if (&other != &item && other.page == item.page) CHECK_FALSE(overlap(item.frame, other.frame));
        }
        CHECK(def().pageHeights[0] <= 1150);
        CHECK(def().pageHeights[1] <= 1150);
        CHECK(def().pageHeights[2] <= 1100);
        CHECK(inside(def().radarFrame, Rect{0, 0, 768, def().pageHeights[2]}));
        const Rect chart{def().radarChartOrigin.x, def().radarChartOrigin.y, 276, 261};
        CHECK(inside(chart, Rect{0, 0, def().radarFrame.width, def().radarFrame.height}));
    }

    SECTION("the printed grid meets the radar view's points") {
        for (int axis = 1; axis <= 5; ++axis)
            for (int score = 1; score <= 5; ++score)
                CHECK(radarChartView::pointFor(axis, score) ==
                      std::optional<QPointF>(radarPoint(axis, score)));
    }
}

TEST_CASE("questionnaire artwork", "[InquiryArtwork]") {
    if (!missingFontFamilies().empty()) {
        WARN("the fonts of the artwork are not installed; its pixels can't be compared");
        return;
    }

    SECTION("every text fits its frame") {
        CHECK(overflowingTexts(def()).empty());
    }

    SECTION("the drawing matches the committed files pixel for pixel once premultiplied") {
        artworkcheck::matchesCommitted(QDir(bundleFolder()), drawAllArtwork(def()));
    }

    SECTION("page sizes") {
        CHECK(drawPage(def(), 1, Language::English).size() == QSize(768, def().pageHeights[0]));
        CHECK(drawPage(def(), 3, Language::Chinese).height() <= 1100);
    }
}

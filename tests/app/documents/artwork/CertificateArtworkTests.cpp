#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <catch2/catch.hpp>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/documents/artwork/CertificateArtwork.h"
#include "app/documents/artwork/CertificateDefinition.h"
#include "tests/support/ArtworkCheck.h"

using namespace certificate;

namespace {

const CertificateDefinition& def() {
    return certificateDefinition();
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
           inner.bottom() <= outer.bottom();
}

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

bool isThreePage(Form form) {
    return form != Form::OnePage;
}

bool isMark(ItemKind kind) {
    return kind == ItemKind::SquareCheck || kind == ItemKind::DotCheck || kind == ItemKind::MultiCheck ||
           kind == ItemKind::FaceMark;
}

// Views that carry text or an image of their own, so nothing may be printed under them.
bool coversPage(const Outlet& outlet) {
    return !outlet.hidden && !outlet.box && outlet.kind != ViewKind::Block;
}

// The keys of the seed certificate, read from the source that seeds new databases.
std::set<int> seedCertificateTags() {
    QFile file(QStringLiteral(ZARUVEDEZ_SOURCE_DIR "/app/store/DemoData.cpp"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString source = QString::fromUtf8(file.readAll());
    const int start = source.indexOf(QStringLiteral("kDemoCertificateResult ="));
    const int end = source.indexOf(QLatin1Char(';'), start);
    if (start < 0 || end < 0) return {};
    std::set<int> tags;
    const QRegularExpression key(QStringLiteral("\"(\\d+)\":"));
    for (auto it = key.globalMatch(source.mid(start, end - start)); it.hasNext();)
        tags.insert(it.next().captured(1).toInt());
    return tags;
}

const CertificateItem* itemOn(Form form, int tag) {
    for (const CertificateItem& item : def().items)
        if (item.form == form && item.tag == tag) return &item;
    return nullptr;
}

std::set<std::string> outletNames(Form form) {
    std::set<std::string> names;
    for (const Outlet& outlet : def().outlets)
        if (outlet.form == form) names.insert(outlet.name);
    for (const CertificateItem& item : def().items)
        if (item.form == form && !item.name.empty()) names.insert(item.name);
    return names;
}

} // namespace

TEST_CASE("certificate definition", "[CertificateDefinition]") {
    SECTION("every tag lies in the range its kind and form allow") {
        for (const CertificateItem& item : def().items) {
            const int t = item.tag;
            INFO("tag " << t << " on " << formClassName(item.form));
            switch (item.kind) {
            case ItemKind::FaceImage:
                CHECK((t == 1 || t == 2));
                break;
            case ItemKind::FaceMark:
                CHECK((t / 10 == 1 || t / 10 == 2));
                CHECK(t % 10 >= 1);
                CHECK(t % 10 <= 3);
                break;
            case ItemKind::DateLabel:
                CHECK(std::set<int>{30, 31, 33, 34}.count(t) == 1);
                break;
            case ItemKind::WeekdayLabel:
                CHECK((t == 32 || t == 36));
                break;
            case ItemKind::Treatment:
                CHECK(item.form == Form::Page1);
                CHECK(t >= 40);
                CHECK(t <= 49);
                break;
            case ItemKind::NumberField:
                CHECK(item.form == Form::Page2);
                CHECK(t >= 61);
                CHECK(t <= 99);
                break;
            case ItemKind::SquareCheck: {
                // Each page owns a band of the "■" range, so the one record never mixes them up.
                const std::map<Form, std::pair<int, int>> bands = {{Form::Page1, {100, 199}},
                                                                   {Form::Page2, {400, 599}},
                                                                   {Form::Page3, {200, 399}},
                                                                   {Form::OnePage, {100, 599}}};
                CHECK(t >= bands.at(item.form).first);
                CHECK(t <= bands.at(item.form).second);
                // A single choice clears the nine tags after its group's base and the next base too.
                CHECK(t % 10 != 0);
                break;
            }
            case ItemKind::DotCheck:
                CHECK(item.form == Form::Page2);
                CHECK(t >= 600);
                CHECK(t <= 999);
                CHECK(t % 10 != 0);
                break;
            case ItemKind::MultiCheck:
                CHECK(item.form != Form::OnePage);
                CHECK(t >= (item.form == Form::Page3 ? 8000 : 1000));
                CHECK(t <= (item.form == Form::Page3 ? 10000 : 7999));
                break;
            case ItemKind::PhotoSlot:
                if (item.form == Form::Page2) {
                    const bool normal = t >= 10001 && t <= 10005, velscope = t >= 20001 && t <= 20005;
                    CHECK((normal || velscope || t == 30001));
                } else if (item.form == Form::Page3) {
                    CHECK(t >= 10001);
                    CHECK((t % 40000 == 1 || t % 40000 == 2));
                } else if (item.form == Form::OnePage) {
                    CHECK((t == 50001 || t == 50002));
                } else {
                    FAIL("page 1 has no photo slots");
                }
                break;
            case ItemKind::OverallFace:
                CHECK(item.form == Form::Page3);
                CHECK(t >= 70);
                CHECK(t <= 99);
                break;
            case ItemKind::Comment:
                CHECK(t == 90001);
                CHECK(item.name == "Comment");
                break;
            }
        }
    }

    SECTION("tags are unique over the three pages; the one-page form repeats them with the same meaning") {
        std::map<int, const CertificateItem*> threePage;
        for (const CertificateItem& item : def().items)
            if (isThreePage(item.form)) {
                INFO("tag " << item.tag);
                CHECK(threePage.emplace(item.tag, &item).second);
            }
        std::set<int> onePage;
        for (const CertificateItem& item : def().items) {
            if (item.form != Form::OnePage) continue;
            INFO("tag " << item.tag);
            CHECK(onePage.insert(item.tag).second);
            const auto it = threePage.find(item.tag);
            if (it == threePage.end()) continue;
            CHECK(it->second->kind == item.kind);
            CHECK(it->second->text.ja == item.text.ja);
            CHECK(it->second->text.en == item.text.en);
            CHECK(it->second->text.zh == item.text.zh);
        }
    }

    SECTION("the seed certificate shows whole on the three pages") {
        const std::set<int> seed = seedCertificateTags();
        REQUIRE(seed.size() >= 20);
        for (int tag : seed) {
            INFO("seed key " << tag);
            bool shown = false;
            for (Form form : {Form::Page1, Form::Page2, Form::Page3})
                shown = shown || itemOn(form, tag) != nullptr;
            CHECK(shown);
        }
        // The seed's weekday follows its next check-up on the same page.
        REQUIRE(itemOn(Form::Page1, 32));
        CHECK(itemOn(Form::Page1, 32)->kind == ItemKind::WeekdayLabel);
    }

    SECTION("a group of single choices holds one kind of mark, and every group offers a choice") {
        std::map<std::pair<Form, int>, std::set<ItemKind>> kinds;
        std::map<std::pair<Form, int>, int> sizes;
        for (const CertificateItem& item : def().items) {
            if (!isMark(item.kind)) continue;
            const int group = item.kind == ItemKind::MultiCheck ? -(item.tag / 100) : item.tag / 10;
            kinds[{item.form, group}].insert(item.kind);
            ++sizes[{item.form, group}];
        }
        for (const auto& [group, set] : kinds) {
            INFO("group " << group.second << " on " << formClassName(group.first));
            CHECK(set.size() == 1);
            CHECK(sizes[group] >= 2);
        }
        // Judgement faces have their three choices and the face they show.
        for (Form form : {Form::Page1, Form::OnePage})
            for (int group : {1, 2}) {
                CHECK(itemOn(form, group));
                for (int choice = 1; choice <= 3; ++choice)
                    CHECK(itemOn(form, group * 10 + choice));
            }
    }

    SECTION("page 3's face cycles through icons that exist") {
        const CertificateItem* face = itemOn(Form::Page3, 70);
        REQUIRE(face);
        const auto numbers = faceIconNumbers();
        for (int m = face->tag + 1; m <= face->tag + 5; ++m)
            CHECK(std::count(numbers.begin(), numbers.end(), m) == 1);
    }

    SECTION("every text is written in all three languages") {
        for (const CertificateItem& item : def().items) {
            if (!isMark(item.kind) && item.kind != ItemKind::PhotoSlot) continue;
            INFO("tag " << item.tag);
            CHECK_FALSE(item.text.ja.empty());
            CHECK_FALSE(item.text.en.empty());
            CHECK_FALSE(item.text.zh.empty());
        }
        for (const PrintedText& text : def().texts) {
            INFO(text.text.ja);
            CHECK_FALSE(text.text.ja.empty());
            CHECK_FALSE(text.text.en.empty());
            CHECK_FALSE(text.text.zh.empty());
        }
    }

    SECTION("frames stay on the page and tagged views apart from each other and from printed text") {
        const Rect page{0, 0, kPageWidth, kPageHeight};
        for (const CertificateItem& item : def().items) {
            INFO("tag " << item.tag << " on " << formClassName(item.form));
            CHECK(inside(item.frame, page));
            for (const CertificateItem& other : def().items)
                if (&other != &item && other.form == item.form) CHECK_FALSE(overlap(item.frame, other.frame));
            for (const Outlet& outlet : def().outlets)
                if (outlet.form == item.form && coversPage(outlet))
                    CHECK_FALSE(overlap(item.frame, pageFrame(def(), outlet)));
            for (const PrintedText& text : def().texts)
                if (text.form == item.form) CHECK_FALSE(overlap(item.frame, text.frame));
            if (item.textFrame.width > 0) {
                CHECK(inside(item.textFrame, page));
                for (const CertificateItem& other : def().items)
                    if (other.form == item.form) CHECK_FALSE(overlap(item.textFrame, other.frame));
            }
        }
        for (const Outlet& outlet : def().outlets) {
            if (!coversPage(outlet)) continue;
            INFO(outlet.name << " on " << formClassName(outlet.form));
            CHECK(inside(pageFrame(def(), outlet), page));
            for (const PrintedText& text : def().texts)
                if (text.form == outlet.form) CHECK_FALSE(overlap(pageFrame(def(), outlet), text.frame));
        }
    }

    SECTION("every outlet the screens use is laid out, once") {
        const std::vector<std::string> header = {"nameLabel",
                                                 "postLabel",
                                                 "add1Label",
                                                 "add2Label",
                                                 "birthLabel",
                                                 "ageLabel",
                                                 "sexLabel",
                                                 "bizLabel",
                                                 "tel1Label",
                                                 "tel2Label",
                                                 "karteLabel",
                                                 "dateLLabel",
                                                 "dateSLabel",
                                                 "visitLabel",
                                                 "clinic_name",
                                                 "clinic_tel",
                                                 "clinic_postal",
                                                 "clinic_address1",
                                                 "clinic_address2",
                                                 "clinic_director",
                                                 "clinic_url",
                                                 "clinic_mail",
                                                 "destView",
                                                 "imageLogo",
                                                 "reportLabel",
                                                 "dateLabel",
                                                 "examinationDateLabel",
                                                 "examinationDateJapanLabel",
                                                 "nextExaminationDateLabel"};
        std::map<Form, std::vector<std::string>> expected = {
            {Form::Page1,
             {"contactAtLabel", "nextExaminationDateJapanSignalLabel", "treatmentDateLabel",
              "treatmentStartDateLabel"}},
            {Form::Page2,
             {"karteLabel", "collectionView", "closeCollectionBtn", "deselectBtn", "toothNumText",
              "toothAgeImage1", "toothAgeImage2"}},
            {Form::Page3,
             {"karteLabel", "collectionView", "closeCollectionBtn", "deselectBtn", "canvas", "Comment",
              "commentLabel"}},
            {Form::OnePage,
             {"contactAt", "nextExaminationDateJapanLabel", "labellabel", "judg1Image", "commentLabel",
              "canvas", "Comment", "deselectBtn", "closeCollectionBtn", "collectionView"}}};
        for (Form form : {Form::Page1, Form::OnePage})
            expected[form].insert(expected[form].end(), header.begin(), header.end());
        for (const auto& [form, names] : expected) {
            const std::set<std::string> laidOut = outletNames(form);
            for (const std::string& name : names) {
                INFO(name << " on " << formClassName(form));
                CHECK(laidOut.count(name) == 1);
            }
        }
        CHECK(itemOn(Form::Page1, 34)->name == "dateLLabel");
        CHECK(itemOn(Form::Page2, 61)->name == "toothNumText");
    }
}

TEST_CASE("certificate artwork", "[CertificateArtwork]") {
    SECTION("a system without the named fonts is told which ones are missing") {
        CHECK(missingFontFamilies(QStringList{}) ==
              std::vector<QString>{QStringLiteral("IPAPGothic"), QStringLiteral("WenQuanYi Zen Hei")});
        CHECK(missingFontFamilies(
                  QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")}) ==
              std::vector<QString>{QStringLiteral("WenQuanYi Zen Hei")});
        CHECK(missingFontFamilies(
                  QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("WenQuanYi Zen Hei")})
                  .empty());
    }

    SECTION("the images are those the screens name") {
        std::set<std::string> names;
        for (const Artwork& artwork : drawAllArtwork(def()))
            names.insert(artwork.name);
        for (const char* name :
             {"certificate_1.png", "certificate_2_English.png", "certificate_3_Chinese.png",
              "onePage_certificate.png", "onePage_certificate_English.png", "onePage_certificate_Chinese.png",
              "icon_11.png", "icon_23.png", "icon_71.png", "icon_75.png", "icon_num_0.png", "icon_num_2.png",
              "icon_num_9.png"})
            CHECK(names.count(name) == 1);
        // The tooth age's tens digit is never 1.
        CHECK(names.count("icon_num_1.png") == 0);
        CHECK(names.size() == 12 + 11 + 9);
    }

    if (!missingFontFamilies().empty()) {
        WARN("the fonts of the artwork are not installed; its pixels can't be compared");
        return;
    }

    SECTION("every text fits its frame") {
        CHECK(overflowingTexts(def()).empty());
    }

    SECTION("the drawing matches the committed files pixel for pixel once premultiplied") {
        artworkcheck::matchesCommitted(QDir(QStringLiteral(ZARUVEDEZ_SOURCE_DIR "/resources/bundle")),
                                       drawAllArtwork(def()));
    }

    SECTION("every mark sits on its drawn box, and tagged places are left blank") {
        for (Form form : kForms)
            for (Language language : kLanguages) {
                const QImage page = drawBackground(def(), form, language);
                REQUIRE(page.size() == QSize(kPageWidth, kPageHeight));
                const auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 140; };
                for (const CertificateItem& item : def().items) {
                    if (item.form != form) continue;
                    INFO(backgroundName(form, language) << " tag " << item.tag);
                    const Rect& f = item.frame;
                    if (isMark(item.kind)) {
                        // The outline runs along the frame's edge and leaves its middle empty.
                        const int midY = f.y + f.height / 2, midX = f.x + f.width / 2;
                        CHECK((dark(f.x, midY) || dark(f.x + 1, midY)));
                        CHECK((dark(f.right() - 1, midY) || dark(f.right() - 2, midY)));
                        CHECK((dark(midX, f.y) || dark(midX, f.y + 1)));
                        CHECK((dark(midX, f.bottom() - 1) || dark(midX, f.bottom() - 2)));
                        CHECK(page.pixel(midX, midY) == QColor(Qt::white).rgba());
                        continue;
                    }
                    // Inside the frame (above its rule) every pixel is the same paper colour.
                    const QRgb paper = page.pixel(f.x + 3, f.y + 3);
                    bool blank = true;
                    for (int y = f.y + 3; y < f.bottom() - 3; ++y)
                        for (int x = f.x + 3; x < f.right() - 3; ++x)
                            blank = blank && page.pixel(x, y) == paper;
                    CHECK(blank);
                }
                // The labels the screens write into print over blank paper too.
                for (const Outlet& outlet : def().outlets) {
                    if (outlet.form != form || !coversPage(outlet)) continue;
                    INFO(backgroundName(form, language) << " " << outlet.name);
                    const Rect f = pageFrame(def(), outlet);
                    const QRgb paper = page.pixel(f.x + 1, f.y + 1);
                    bool blank = true;
                    for (int y = f.y + 1; y < f.bottom() - 1; ++y)
                        for (int x = f.x + 1; x < f.right() - 1; ++x)
                            blank = blank && page.pixel(x, y) == paper;
                    CHECK(blank);
                }
            }
    }

    SECTION("faces and digits are drawn on transparent ground at a size that scales down cleanly") {
        for (int number : faceIconNumbers()) {
            INFO(number);
            const QImage face = drawFace(number);
            CHECK(face.width() == face.height());
            CHECK(face.width() >= 192);
            CHECK(qAlpha(face.pixel(0, 0)) == 0);
            CHECK(qAlpha(face.pixel(face.width() / 2, face.height() / 2)) == 255);
        }
        // A happy face and an unhappy one differ.
        CHECK(drawFace(11) != drawFace(13));
        CHECK(drawFace(71) != drawFace(75));
        for (int digit : toothAgeDigits())
            CHECK(drawDigit(digit).size() == QSize(60, 84));
        CHECK(drawDigit(2) != drawDigit(3));
    }
}

#include <QDir>
#include <QFile>
#include <QRect>
#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <catch2/catch.hpp>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/documents/artwork/CertificateDefinition.h"
#include "tools/certificate/CertificateForms.h"

using namespace certificate;

namespace {

const CertificateDefinition& def() {
    return certificateDefinition();
}

} // namespace

TEST_CASE("certificate forms", "[CertificateForms]") {
    SECTION("the committed forms are what the definition lays out") {
        for (Form form : kForms) {
            INFO(formFileName(form));
            QFile file(QDir(QStringLiteral(ZARUVEDEZ_SOURCE_DIR "/resources/ui"))
                           .filePath(QString::fromStdString(formFileName(form))));
            REQUIRE(file.open(QIODevice::ReadOnly));
            CHECK(file.readAll().toStdString() == formText(def(), form));
        }
    }

    SECTION("each tagged view lies over its printed place with the class its role needs") {
        struct Widget {
            QString cls, name, parent;
            QRect geometry;
            int tag = 0;
            bool hidden = false;
        };
        for (Form form : kForms) {
            INFO(formFileName(form));
            QXmlStreamReader xml(QByteArray::fromStdString(formText(def(), form)));
            std::vector<Widget> widgets;
            std::vector<size_t> open;
            QString property;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement() && xml.name() == QLatin1String("widget")) {
                    Widget w;
                    w.cls = xml.attributes().value("class").toString();
                    w.name = xml.attributes().value("name").toString();
                    if (!open.empty()) w.parent = widgets[open.back()].name;
                    widgets.push_back(w);
                    open.push_back(widgets.size() - 1);
                } else if (xml.isEndElement() && xml.name() == QLatin1String("widget")) {
                    open.pop_back();
                } else if (xml.isStartElement() && xml.name() == QLatin1String("property")) {
                    property = xml.attributes().value("name").toString();
                } else if (xml.isStartElement() && !open.empty()) {
                    Widget& w = widgets[open.back()];
                    if (property == "geometry" && xml.name() == QLatin1String("x"))
                        w.geometry.moveLeft(xml.readElementText().toInt());
                    else if (property == "geometry" && xml.name() == QLatin1String("y"))
                        w.geometry.moveTop(xml.readElementText().toInt());
                    else if (property == "geometry" && xml.name() == QLatin1String("width"))
                        w.geometry.setWidth(xml.readElementText().toInt());
                    else if (property == "geometry" && xml.name() == QLatin1String("height"))
                        w.geometry.setHeight(xml.readElementText().toInt());
                    else if (property == "tag" && xml.name() == QLatin1String("number"))
                        w.tag = xml.readElementText().toInt();
                    else if (property == "visible" && xml.name() == QLatin1String("bool"))
                        w.hidden = xml.readElementText() == "false";
                }
            }
            REQUIRE_FALSE(xml.hasError());
            REQUIRE_FALSE(widgets.empty());
            CHECK(widgets[0].name.toStdString() == formClassName(form));
            CHECK(widgets[0].geometry == QRect(0, 0, 768, 1024));
            CHECK(widgets[1].name.toStdString() == backgroundOutlet(form));
            CHECK(widgets[1].geometry == QRect(0, 0, 768, 1024));

            std::set<QString> names;
            std::map<int, const Widget*> byTag;
            for (const Widget& w : widgets) {
                CHECK(names.insert(w.name).second);
                if (w.tag != 0) {
                    CHECK(byTag.emplace(w.tag, &w).second);
                    // The pages walk their direct subviews for tags.
                    CHECK(w.parent.toStdString() == formClassName(form));
                }
            }
            size_t items = 0;
            for (const CertificateItem& item : def().items) {
                if (item.form != form) continue;
                ++items;
                INFO("tag " << item.tag);
                const auto it = byTag.find(item.tag);
                REQUIRE(it != byTag.end());
                const Widget& w = *it->second;
                CHECK(w.name.toStdString() == itemObjectName(item));
                CHECK(w.geometry == QRect(item.frame.x, item.frame.y, item.frame.width, item.frame.height));
                const bool textView = item.kind == ItemKind::Treatment ||
                                      item.kind == ItemKind::NumberField || item.kind == ItemKind::Comment;
                CHECK(w.cls == (textView ? QStringLiteral("ui::TextView") : QStringLiteral("QLabel")));
                CHECK_FALSE(w.hidden);
            }
            CHECK(byTag.size() == items);
            for (const Outlet& outlet : def().outlets) {
                if (outlet.form != form) continue;
                INFO(outlet.name);
                const auto it = std::find_if(widgets.begin(), widgets.end(), [&](const Widget& w) {
                    return w.name.toStdString() == outlet.name;
                });
                REQUIRE(it != widgets.end());
                CHECK(it->tag == 0);
                CHECK(it->hidden == outlet.hidden);
                CHECK(it->parent.toStdString() ==
                      (outlet.parent.empty() ? formClassName(form) : outlet.parent));
            }
        }
    }
}

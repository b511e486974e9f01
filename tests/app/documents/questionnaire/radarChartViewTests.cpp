#include <catch2/catch.hpp>

#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "app/documents/questionnaire/radarChartView.h"
#include "platform/foundation/Log.h"
#include "tests/app/shell/ShellTestSupport.h"

namespace {

// The chart drawn over a white sheet, as the print preview lays it over its background.
QImage drawnChart(shelltest::LaunchedApp& launched, const std::vector<std::string>& scores) {
    store::FormData items;
    for (size_t i = 0; i < scores.size(); ++i)
        items["graph" + std::to_string(i + 1)] = scores[i];
    launched.delegate->inputItems() = items;
    radarChartView view;
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    view.render(&image);
    return image;
}

bool isPink(const QImage& image, QPointF p) {
    const QColor c = image.pixelColor(p.toPoint());
    return c.red() > 200 && c.green() < 90 && c.blue() > 90 && c.blue() < 200;
}

bool isBlank(const QImage& image, QPointF p) {
    return image.pixelColor(p.toPoint()) == QColor(Qt::white);
}

// Every corner and the middle of every side are pink; the pentagon's middle is not drawn on.
void checkPentagon(const QImage& image, const std::vector<QPointF>& corners) {
    QPointF centre;
    for (size_t i = 0; i < corners.size(); ++i) {
        const QPointF a = corners[i], b = corners[(i + 1) % corners.size()];
        INFO("corner " << i + 1 << " at " << a.x() << "," << a.y());
        CHECK(isPink(image, a));
        CHECK(isPink(image, (a + b) / 2));
        centre += a / double(corners.size());
    }
    CHECK(isBlank(image, centre));
}

} // namespace

TEST_CASE("the radar chart draws the scores at their points", "[documents][radar]") {
    shelltest::LaunchedApp launched;
    launched.launch();

    SECTION("all fives: the outer pentagon") {
        checkPentagon(drawnChart(launched, {"5", "5", "5", "5", "5"}),
                      {{138, 4}, {271, 100}, {220, 256}, {55, 256}, {4, 100}});
    }
    SECTION("all ones: the inner pentagon") {
        checkPentagon(drawnChart(launched, {"1", "1", "1", "1", "1"}),
                      {{138, 107}, {163, 124}, {153, 154}, {123, 154}, {113, 125}});
    }
    SECTION("the seed patient's 4, 3, 5, 1, 3") {
        const auto image = drawnChart(launched, {"4", "3", "5", "1", "3"});
        if (auto* out = std::getenv("RADAR_PNG")) image.save(out);
        checkPentagon(image, {{138, 30}, {217, 113}, {220, 256}, {123, 154}, {59, 112}});
        CHECK(isBlank(image, {138, 4}));   // not the outer corner of axis 1
        CHECK(isBlank(image, {271, 100})); // nor of axis 2
    }
    SECTION("each look-up is logged with its score and key") {
        foundation::LogCapture log;
        drawnChart(launched, {"4", "3", "5", "1", "3"});
        CHECK(log.contains("4: graph1"));
        CHECK(log.contains("3: graph2"));
        CHECK(log.contains("1: graph4"));
    }
}

TEST_CASE("the radar chart survives scores it has no point for", "[documents][radar]") {
    shelltest::LaunchedApp launched;
    launched.launch();

    SECTION("a score out of range leaves out only the sides that meet at its axis") {
        const auto image = drawnChart(launched, {"9", "5", "5", "5", "5"});
        CHECK(isBlank(image, {138, 4}));
        CHECK(isPink(image, {271, 100}));
        CHECK(isPink(image, QPointF(271 + 220, 100 + 256) / 2)); // side 2-3 still drawn
        CHECK(isBlank(image, QPointF(138 + 271, 4 + 100) / 2));  // side 1-2 left out
    }
    SECTION("absent, empty, negative and non-numeric scores read as no point") {
        for (const auto& odd : {std::string(""), std::string("-1"), std::string("abc"), std::string("0")}) {
            const auto image = drawnChart(launched, {odd, "1", "1", "1", "1"});
            CHECK(isBlank(image, {138, 107}));
            CHECK(isPink(image, {153, 154}));
        }
        const auto image = drawnChart(launched, {});
        CHECK(isBlank(image, {138, 107}));
    }
    SECTION("with no form loaded at all, nothing is drawn") {
        launched.delegate->inputItems().reset();
        radarChartView view;
        QImage image(view.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        view.render(&image);
        CHECK(isBlank(image, {138, 107}));
    }
}

TEST_CASE("the point table holds the texts the chart converts", "[documents][radar]") {
    const auto& table = radarChartView::pointTable();
    CHECK(table.size() == 10);
    for (const auto& [key, texts] : table)
        CHECK(texts.size() == 5);
    CHECK(table.at("graph3x")[3] == "203");
    CHECK(radarChartView::pointFor(4, 2) == QPointF(105, 180));
    CHECK_FALSE(radarChartView::pointFor(6, 1));
    CHECK_FALSE(radarChartView::pointFor(1, 6));
}

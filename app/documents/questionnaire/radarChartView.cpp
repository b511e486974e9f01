#include "app/documents/questionnaire/radarChartView.h"

#include <QPainter>
#include <QPainterPath>
#include <cstdlib>

#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Log.h"

radarChartView::radarChartView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    resize(sizeHint());
}

const std::map<std::string, std::vector<std::string>>& radarChartView::pointTable() {
    static const std::map<std::string, std::vector<std::string>> table = {
        {"graph1x", {"138", "138", "138", "138", "138"}}, {"graph1y", {"107", "80", "55", "30", "4"}},
        {"graph2x", {"163", "190", "217", "244", "271"}}, {"graph2y", {"124", "118", "113", "106", "100"}},
        {"graph3x", {"153", "170", "187", "203", "220"}}, {"graph3y", {"154", "180", "205", "231", "256"}},
        {"graph4x", {"123", "105", "89", "72", "55"}},    {"graph4y", {"154", "180", "205", "231", "256"}},
        {"graph5x", {"113", "85", "59", "31", "4"}},      {"graph5y", {"125", "119", "112", "107", "100"}},
    };
    return table;
}

std::optional<QPointF> radarChartView::pointFor(int axis, int score) {
    if (axis < 1 || axis > 5 || score < 1 || score > 5) return std::nullopt;
    const std::string key = "graph" + std::to_string(axis);
    const auto& table = pointTable();
    const size_t column = size_t(score - 1);
    return QPointF(std::atof(table.at(key + "x")[column].c_str()),
                   std::atof(table.at(key + "y")[column].c_str()));
}

int radarChartView::scoreFor(const std::optional<store::FormData>& items, int axis) {
    const std::string key = "graph" + std::to_string(axis);
    int score = 0;
    if (items) {
        auto it = items->find(key);
        if (it != items->end()) score = std::atoi(it->second.c_str());
    }
    foundation::log("%d: %@", score, key);
    return score;
}

void radarChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor::fromRgbF(1.0f, 0.0f, 0.58f, 1.0f), 3.0);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const auto delegate = zurarerizIvaDadadavu::shared();
    const auto items = delegate ? delegate->inputItems() : std::nullopt;
    for (int i = 1; i <= 5; ++i) {
        const int j = i % 5 + 1;
        auto from = pointFor(i, scoreFor(items, i));
        auto to = pointFor(j, scoreFor(items, j));
        // A score with no point on its axis leaves out the two sides that meet there.
        if (!from || !to) continue;
        QPainterPath side(*from);
        side.lineTo(*to);
        painter.drawPath(side);
    }
}

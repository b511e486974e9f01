#pragma once
// The five questionnaire scores as a closed pink pentagon over the printed chart background (the grid
// is the background's; this view draws only the outline).
#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/store/ClinicState.h"

class radarChartView : public QWidget {
    Q_OBJECT
  public:
    explicit radarChartView(QWidget* parent = nullptr);

    // The point of each axis ("graph1x", "graph1y" ... "graph5y"), one text per score 1 to 5, in the
    // view's own points.
    static const std::map<std::string, std::vector<std::string>>& pointTable();
    // Where axis `axis` (1 to 5) puts score `score`; none for a score outside 1 to 5.
    static std::optional<QPointF> pointFor(int axis, int score);

    QSize sizeHint() const override { return {276, 261}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The scores come from the shared form input ("graph1".."graph5"); absent reads as 0.
    static int scoreFor(const std::optional<store::FormData>& items, int axis);
};

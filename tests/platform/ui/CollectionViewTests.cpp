// The grid: only the cells in sight exist and are reused; its item count changes only when told, and
// a change the data source does not agree with is refused as a whole.
#include <catch2/catch.hpp>

#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/LongPressGestureRecognizer.h"

namespace {

class LabelCell : public ui::CollectionViewCell {
  public:
    LabelCell() : label(new QLabel(this)) {}
    QLabel* label;
    int reused = 0;
    void prepareForReuse() override { ++reused; }
};

struct Grid : ui::CollectionViewDataSource, ui::CollectionViewDelegate {
    QWidget window;
    ui::CollectionView* view = new ui::CollectionView(&window);
    std::vector<int> items;
    std::vector<int> selected;
    int made = 0;
    int asked = 0;

    explicit Grid(int n) {
        for (int i = 0; i < n; ++i)
            items.push_back(i);
        window.resize(360, 400);
        view->setGeometry(0, 0, 360, 400);
        view->registerCell("cell", [this] {
            ++made;
            return new LabelCell;
        });
        view->setItemSize(QSize(100, 100));
        view->setSpacing(10);
        view->setDataSource(this);
        view->setDelegate(this);
        view->reloadData();
        window.show();
        REQUIRE(QTest::qWaitForWindowExposed(&window));
    }
    ~Grid() override {
        view->setDataSource(nullptr);
        view->setDelegate(nullptr);
    }
    int numberOfItemsInSection(ui::CollectionView&, int) override { return int(items.size()); }
    ui::CollectionViewCell* cellForItemAt(ui::CollectionView& v, int item) override {
        ++asked;
        auto* cell = static_cast<LabelCell*>(v.dequeueReusableCell("cell", item));
        cell->label->setText(QString::number(items[item]));
        return cell;
    }
    void didSelectItemAt(ui::CollectionView&, int item) override { selected.push_back(item); }

    QString shown(int item) const {
        auto* cell = static_cast<LabelCell*>(view->cellForItem(item));
        return cell ? cell->label->text() : QString();
    }
};

} // namespace

TEST_CASE("the grid lays out three columns and makes cells only for the rows in sight", "[ui][grid]") {
    Grid g(60);
    CHECK(g.view->numberOfItems() == 60);
    CHECK(g.view->rectForItem(4) == QRect(120, 120, 100, 100));
    CHECK(g.shown(4) == "4");
    CHECK(g.view->cellForItem(59) == nullptr);
    CHECK(g.made < 20);

    // Scrolling to the end hands the cells of the first rows to the last ones.
    const int before = g.made;
    g.view->scrollToItem(59);
    CHECK(g.shown(59) == "59");
    CHECK(g.view->cellForItem(0) == nullptr);
    CHECK(g.made == before);
}

TEST_CASE("a vertical scroll bar costs no column: the cells give a little instead", "[ui][grid]") {
    // Two cells of 116 with spacings of 8 just fit a 270-point grid without a scroll bar.
    auto sized = [](Grid& g) {
        g.view->setGeometry(0, 0, 270, 400);
        g.view->setItemSize(QSize(116, 116));
        g.view->setSpacing(8);
        QTest::qWait(1);
    };
    SECTION("few items, no scroll bar: cells as asked") {
        Grid g(4);
        sized(g);
        CHECK_FALSE(g.view->verticalScrollBar()->isVisible());
        CHECK(g.view->rectForItem(1) == QRect(132, 8, 116, 116));
    }
    SECTION("enough items for a scroll bar") {
        Grid g(20);
        sized(g);
        REQUIRE(g.view->verticalScrollBar()->isVisible());
        const int inside = g.view->viewport()->width();
        const QRect first = g.view->rectForItem(0), second = g.view->rectForItem(1);
        CHECK(second.top() == first.top()); // side by side
        CHECK(second.right() < inside);
        CHECK(first.width() < 116);
        CHECK(first.width() >= 100);
        CHECK(first.height() == 116); // the height stays, so the scroll bar's need does not change
        CHECK(g.view->rectForItem(2).top() > first.bottom());
        // The cells in sight are where the layout says, and a tap finds the right one.
        REQUIRE(g.view->cellForItem(1));
        CHECK(g.view->cellForItem(1)->geometry() == second);
        const QPoint centre = g.view->viewport()->mapTo(g.view, second.center());
        CHECK(g.view->indexForItemAtPoint(centre) == 1);
        // Scrolled to the end, the last row is there in two columns too.
        g.view->scrollToItem(19);
        CHECK(g.view->rectForItem(19).top() == g.view->rectForItem(18).top());
        CHECK(g.shown(19) == "19");
    }
}

TEST_CASE("insertions and deletions keep the cells of the other items", "[ui][grid]") {
    Grid g(5);
    auto* third = g.view->cellForItem(2);

    g.items.insert(g.items.begin() + 1, 100);
    g.view->insertItems({1});
    CHECK(g.view->numberOfItems() == 6);
    CHECK(g.view->cellForItem(3) == third);
    CHECK(g.shown(1) == "100");

    g.items.erase(g.items.begin());
    g.view->deleteItems({0});
    CHECK(g.view->cellForItem(2) == third);
    CHECK(g.shown(0) == "100");
    CHECK(g.shown(4) == "4");
}

TEST_CASE("a change the data source does not agree with raises and changes nothing", "[ui][grid]") {
    Grid g(4);
    auto raisesInconsistency = [](auto&& change) {
        try {
            change();
        } catch (const foundation::NamedException& e) {
            return e.name() == "NSInternalInconsistencyException";
        }
        return false;
    };
    // The grid is told of an insertion the pool never had.
    CHECK(raisesInconsistency([&] { g.view->insertItems({2}); }));
    CHECK(g.view->numberOfItems() == 4);
    CHECK(g.shown(3) == "3");
    g.items.pop_back();
    CHECK(raisesInconsistency([&] { g.view->deleteItems({7}); }));
    CHECK(raisesInconsistency([&] { g.view->dequeueReusableCell("unknown", 0); }));
    g.view->reloadData();
    CHECK(g.view->numberOfItems() == 3);
}

TEST_CASE("a tap on a cell selects its item, a drag or a tap between cells does not", "[ui][grid]") {
    Grid g(7);
    QWidget* cell = g.view->cellForItem(4);
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(50, 50));
    // On the cell's label, which does not take the press itself.
    QTest::mouseClick(static_cast<LabelCell*>(g.view->cellForItem(6))->label, Qt::LeftButton, {},
                      QPoint(2, 2));
    CHECK(g.selected == std::vector<int>{4, 6});

    QTest::mousePress(cell, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(cell, Qt::LeftButton, {}, QPoint(90, 90));
    // Held: a long press, not a tap.
    QTest::mousePress(cell, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::qWait(550);
    QTest::mouseRelease(cell, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(g.view->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    CHECK(g.selected.size() == 2);

    CHECK(g.view->indexForItemAtPoint(cell->mapTo(g.view, QPoint(50, 50))) == 4);
    CHECK_FALSE(g.view->indexForItemAtPoint(QPoint(5, 5)).has_value());
    CHECK_FALSE(g.view->indexForItemAtPoint(g.view->widget()->mapTo(g.view, QPoint(115, 50))).has_value());
}

TEST_CASE("a long press recognised on the grid is no tap, however soon it is let go",
          "[ui][grid][longpress]") {
    Grid g(4);
    int opened = 0;
    // A short minimum, so the press is let go well inside the tap's own time limit.
    ui::LongPressGestureRecognizer::attach(
        g.view, [&](auto& r) { opened += r.state() == ui::GestureState::Began; }, 50);
    QWidget* cell = g.view->cellForItem(2);
    QTest::mousePress(cell, Qt::LeftButton, {}, QPoint(50, 50));
    REQUIRE(QTest::qWaitFor([&] { return opened == 1; }, 5000));
    QTest::mouseRelease(cell, Qt::LeftButton, {}, QPoint(50, 50));
    CHECK(g.selected.empty());
    // The next short tap is one again.
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(50, 50));
    CHECK(g.selected == std::vector<int>{2});
    CHECK(opened == 1);
}

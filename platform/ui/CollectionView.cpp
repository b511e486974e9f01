#include "platform/ui/CollectionView.h"

#include "platform/foundation/Exception.h"
#include "platform/ui/LongPressGestureRecognizer.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace ui {

namespace {
constexpr const char* kInconsistency = "NSInternalInconsistencyException";
// A press that moves farther than this (points) is a drag, not a tap; one held longer (ms) is a long
// press, which belongs to the long-press recogniser.
constexpr int kTapSlop = 10;
constexpr qint64 kTapDuration = 500;
} // namespace

CollectionViewCell::CollectionViewCell(QWidget* parent) : QWidget(parent) {}

CollectionView::CollectionView(QWidget* parent) : QScrollArea(parent), content_(new QWidget) {
    setWidget(content_);                    // owned by the scroll area
    content_->setAutoFillBackground(false); // the view's own background shows between the cells
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_->installEventFilter(this);
}

CollectionView::~CollectionView() {
    dataSource_ = nullptr;
    delegate_ = nullptr;
}

void CollectionView::setDataSource(CollectionViewDataSource* dataSource) {
    dataSource_ = dataSource;
}

void CollectionView::registerCell(const QString& identifier, CellFactory factory) {
    factories_[identifier] = std::move(factory);
}

CollectionViewCell* CollectionView::dequeueReusableCell(const QString& identifier, int) {
    auto& pooled = pool_[identifier];
    if (!pooled.empty()) {
        CollectionViewCell* cell = pooled.back();
        pooled.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = factories_.find(identifier);
    if (factory == factories_.end())
        foundation::raise(kInconsistency,
                          "could not dequeue a view of kind: UICollectionElementKindCell with identifier %@",
                          identifier.toStdString());
    CollectionViewCell* cell = factory->second();
    cell->reuseIdentifier_ = identifier;
    cell->setParent(content_);
    cell->installEventFilter(this);
    return cell;
}

void CollectionView::setItemSize(QSize size) {
    itemSize_ = size;
    recycleAll();
    relayout();
}

void CollectionView::setSpacing(int spacing) {
    spacing_ = spacing;
    recycleAll();
    relayout();
}

int CollectionView::columns() const {
    // Counted on the width inside the frame, scroll bar or not: a scroll bar appearing once the items
    // overflow must not drop a column.
    const int width = contentsRect().width() - spacing_;
    return std::max(1, width / (itemSize_.width() + spacing_));
}

int CollectionView::cellWidth() const {
    // Beside a scroll bar the columns may not fit at the asked width: the cells give a little. Their
    // height stays, so the content's height (and with it the scroll bar's need) does not depend on it.
    const int fits = (viewport()->width() - spacing_) / columns() - spacing_;
    return std::max(1, std::min(itemSize_.width(), fits));
}

QRect CollectionView::rectForItem(int item) const {
    const int cols = columns();
    const int row = item / cols;
    const int col = item % cols;
    const int width = cellWidth();
    return QRect(spacing_ + col * (width + spacing_), spacing_ + row * (itemSize_.height() + spacing_), width,
                 itemSize_.height());
}

std::optional<int> CollectionView::indexForItemAtPoint(QPoint point) const {
    const QPoint p = content_->mapFrom(this, point);
    const int cols = columns();
    const int col = (p.x() - spacing_) / (cellWidth() + spacing_);
    const int row = (p.y() - spacing_) / (itemSize_.height() + spacing_);
    if (p.x() < spacing_ || p.y() < spacing_ || col >= cols) return std::nullopt;
    const int item = row * cols + col;
    if (item < 0 || item >= count_ || !rectForItem(item).contains(p)) return std::nullopt;
    return item;
}

CollectionViewCell* CollectionView::cellForItem(int item) const {
    auto it = visible_.find(item);
    return it == visible_.end() ? nullptr : it->second;
}

void CollectionView::recycle(CollectionViewCell* cell) {
    cell->hide();
    pool_[cell->reuseIdentifier()].push_back(cell);
}

void CollectionView::recycleAll() {
    for (auto& [item, cell] : visible_)
        recycle(cell);
    visible_.clear();
}

void CollectionView::reloadData() {
    recycleAll();
    count_ = dataSource_ ? std::max(0, dataSource_->numberOfItemsInSection(*this, 0)) : 0;
    relayout();
}

void CollectionView::checkCount(int expected) {
    const int actual = dataSource_ ? dataSource_->numberOfItemsInSection(*this, 0) : 0;
    if (actual != expected)
        foundation::raise(kInconsistency,
                          "Invalid update: invalid number of items in section 0. The number of items "
                          "contained in an existing section after the update (%d) must be equal to the "
                          "number of items contained in that section before the update (%d), plus or minus "
                          "the number of items inserted or deleted",
                          actual, count_);
}

void CollectionView::insertItems(std::vector<int> items) {
    std::sort(items.begin(), items.end());
    checkCount(count_ + int(items.size()));
    for (int item : items)
        if (item < 0 || item > count_ + int(items.size()) - 1)
            foundation::raise(kInconsistency,
                              "attempt to insert item %d into section 0, which only contains %d items", item,
                              count_);
    // Cells in sight keep their items; those after an insertion point move on by one.
    std::map<int, CollectionViewCell*> moved;
    for (auto [old, cell] : visible_) {
        int now = old;
        for (int item : items)
            if (item <= now) ++now;
        moved[now] = cell;
    }
    visible_ = std::move(moved);
    count_ += int(items.size());
    relayout();
}

void CollectionView::deleteItems(std::vector<int> items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (int item : items)
        if (item < 0 || item >= count_)
            foundation::raise(kInconsistency,
                              "attempt to delete item %d from section 0 which only contains %d items", item,
                              count_);
    checkCount(count_ - int(items.size()));
    std::map<int, CollectionViewCell*> moved;
    for (auto [old, cell] : visible_) {
        if (std::binary_search(items.begin(), items.end(), old)) {
            recycle(cell);
            continue;
        }
        const int before = int(std::lower_bound(items.begin(), items.end(), old) - items.begin());
        moved[old - before] = cell;
    }
    visible_ = std::move(moved);
    count_ -= int(items.size());
    relayout();
}

void CollectionView::scrollToItem(int item) {
    if (item < 0 || item >= count_) return;
    const QRect r = rectForItem(item);
    ensureVisible(r.center().x(), r.center().y(), r.width() / 2, r.height() / 2);
}

void CollectionView::relayout() {
    // The data source may scroll or resize from cellForItemAt; one pass at a time.
    if (laying_) return;
    laying_ = true;
    const int cols = columns();
    const int rows = (count_ + cols - 1) / cols;
    content_->resize(viewport()->width(), spacing_ + rows * (itemSize_.height() + spacing_));

    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    const int step = itemSize_.height() + spacing_;
    const int firstRow = std::max(0, (top - spacing_) / step);
    const int lastRow = std::max(0, bottom / step);
    const int first = std::min(count_, firstRow * cols);
    const int last = std::min(count_, (lastRow + 1) * cols); // exclusive

    for (auto it = visible_.begin(); it != visible_.end();) {
        if (it->first < first || it->first >= last) {
            recycle(it->second);
            it = visible_.erase(it);
        } else {
            ++it;
        }
    }
    for (int item = first; item < last; ++item) {
        CollectionViewCell* cell = cellForItem(item);
        if (!cell && dataSource_) {
            cell = dataSource_->cellForItemAt(*this, item);
            if (!cell) continue;
            visible_[item] = cell;
        }
        if (!cell) continue;
        cell->setGeometry(rectForItem(item));
        cell->show();
    }
    laying_ = false;
}

void CollectionView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

bool CollectionView::viewportEvent(QEvent* event) {
    const bool handled = QScrollArea::viewportEvent(event);
    // The viewport narrows when the vertical scroll bar appears, without the view itself resizing.
    if (event->type() == QEvent::Resize) relayout();
    return handled;
}

void CollectionView::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    relayout();
}

bool CollectionView::eventFilter(QObject* watched, QEvent* event) {
    // Presses on the cells or between them reach the content unless a child takes them.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return QScrollArea::eventFilter(watched, event);
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() != Qt::LeftButton) return false;
    const QPoint here = mapFromGlobal(e->globalPosition().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        pressAt_ = here;
        pressTime_.start();
        return false;
    }
    if (!pressAt_) return false;
    const QPoint start = *pressAt_;
    pressAt_.reset();
    if ((here - start).manhattanLength() > kTapSlop || pressTime_.elapsed() >= kTapDuration) return false;
    if (longPressTookPress()) return false;
    const auto item = indexForItemAtPoint(here);
    if (item && delegate_) delegate_->didSelectItemAt(*this, *item);
    return true;
}

bool CollectionView::longPressTookPress() const {
    // The recognisers watch the application's events, so they have seen this release already: one
    // that recognised the press (its timer may run a little short of the tap's limit) ended it just now.
    for (auto* r : findChildren<LongPressGestureRecognizer*>(QString(), Qt::FindDirectChildrenOnly))
        if (r->state() == GestureState::Began || r->state() == GestureState::Changed ||
            r->state() == GestureState::Ended)
            return true;
    return false;
}

} // namespace ui

#pragma once
// A grid of cells in one section, flowing left to right and top to bottom in a vertical scroll area;
// a vertical scroll bar takes no column away (the cells narrow a little beside it).
// The view keeps its own item count: it asks the data source for the count only on reloadData, and
// changes it on insertItems/deleteItems, checking that the data source agrees (a mismatch raises
// NSInternalInconsistencyException and leaves the grid as it was). Only the cells in sight exist;
// those scrolled away go back to a pool per reuse identifier.
#include <QElapsedTimer>
#include <QScrollArea>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace ui {

class CollectionView;

class CollectionViewCell : public QWidget {
    Q_OBJECT
  public:
    explicit CollectionViewCell(QWidget* parent = nullptr);
    const QString& reuseIdentifier() const { return reuseIdentifier_; }
    // Called before the cell is handed out again; the cell shows nothing of its last item.
    virtual void prepareForReuse() {}

  private:
    friend class CollectionView;
    QString reuseIdentifier_;
};

class CollectionViewDataSource {
  public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfItemsInSection(CollectionView& view, int section) = 0;
    // A cell from view.dequeueReusableCell, set up for the item.
    virtual CollectionViewCell* cellForItemAt(CollectionView& view, int item) = 0;
};

class CollectionViewDelegate {
  public:
    virtual ~CollectionViewDelegate() = default;
    virtual void didSelectItemAt(CollectionView& /*view*/, int /*item*/) {}
};

class CollectionView : public QScrollArea {
    Q_OBJECT
  public:
    using CellFactory = std::function<CollectionViewCell*()>;

    explicit CollectionView(QWidget* parent = nullptr);
    ~CollectionView() override;

    // Not owned; the owner clears them before it goes.
    void setDataSource(CollectionViewDataSource* dataSource);
    void setDelegate(CollectionViewDelegate* delegate) { delegate_ = delegate; }

    void registerCell(const QString& identifier, CellFactory factory);
    // A pooled cell of the identifier, or a new one; an unregistered identifier raises
    // NSInternalInconsistencyException.
    CollectionViewCell* dequeueReusableCell(const QString& identifier, int item);

    void setItemSize(QSize size);
    QSize itemSize() const { return itemSize_; }
    void setSpacing(int spacing);
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool bounces() const { return bounces_; }

    int numberOfItems() const { return count_; }
    void reloadData();
    // `items` are the new positions (after the insertion) / the old ones (before the deletion).
    void insertItems(std::vector<int> items);
    void deleteItems(std::vector<int> items);

    // The visible cell of the item, or null.
    CollectionViewCell* cellForItem(int item) const;
    // The item under a point of the view's own coordinates.
    std::optional<int> indexForItemAtPoint(QPoint point) const;
    QRect rectForItem(int item) const; // in the content's coordinates
    void scrollToItem(int item);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int columns() const;
    // The laid-out cells' width: the item size's, or a little less beside a scroll bar.
    int cellWidth() const;
    void relayout();
    void recycle(CollectionViewCell* cell);
    void recycleAll();
    void checkCount(int expected);
    // Whether a long press on the grid took the press being released, which is then no tap as well.
    bool longPressTookPress() const;

    CollectionViewDataSource* dataSource_ = nullptr;
    CollectionViewDelegate* delegate_ = nullptr;
    QWidget* content_;
    std::map<QString, CellFactory> factories_;
    std::map<QString, std::vector<CollectionViewCell*>> pool_;
    std::map<int, CollectionViewCell*> visible_;
    int count_ = 0;
    QSize itemSize_{150, 150};
    int spacing_ = 10;
    bool bounces_ = true;
    bool laying_ = false;
    std::optional<QPoint> pressAt_;
    QElapsedTimer pressTime_;
};

} // namespace ui

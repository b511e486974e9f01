#pragma once
// A segmented control: a row of joined buttons of which at most one is selected. A tap selects its
// segment and reports valueChanged; setting the selection in code reports nothing, as a screen
// filling itself in must not look like a user's choice. Designer forms use it as a custom widget with
// the "segments" and "selectedSegmentIndex" properties.
#include <QStringList>
#include <QWidget>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;

namespace ui {

class SegmentedControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList segments READ segments WRITE setSegments)
    Q_PROPERTY(int selectedSegmentIndex READ selectedSegmentIndex WRITE setSelectedSegmentIndex)
  public:
    static constexpr int kNoSegment = -1;

    explicit SegmentedControl(QWidget* parent = nullptr);

    QStringList segments() const;
    void setSegments(const QStringList& titles);
    int numberOfSegments() const { return int(buttons_.size()); }
    QString titleForSegmentAtIndex(int index) const;

    // kNoSegment when none is selected; an index out of range selects none (before the segments
    // exist the index waits for them, so a form may set either property first).
    int selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(int index);

    // The button of a segment (tests tap it like a user).
    QAbstractButton* segmentButton(int index) const;

  signals:
    void valueChanged(int selectedSegmentIndex);

  private:
    void tapped(int index);

    QHBoxLayout* layout_;
    QButtonGroup* group_;
    std::vector<QAbstractButton*> buttons_;
    int selected_ = kNoSegment;
};

} // namespace ui

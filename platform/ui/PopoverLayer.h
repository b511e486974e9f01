#pragma once
// The layer that shows a popover inside the window: a transparent cover that catches taps outside the
// popover (they dismiss it) and a framed box holding the content view beside its source.
#include <QWidget>
#include <functional>

#include "platform/ui/ViewController.h"

namespace ui {

// Where a popover of `size` goes for a source rectangle, within `bounds` (all in window
// coordinates): below the source for an up arrow, above for down, right of it for left, left of it
// for right; of the permitted directions the first that fits, in that order.
QRect placePopover(const QRect& source, const QSize& size, unsigned permittedArrows, const QRect& bounds);

class PopoverLayer : public QWidget {
    Q_OBJECT
  public:
    PopoverLayer(QWidget* content, QSize size, const PopoverAnchor& anchor, QWidget* window,
                 std::function<void()> onOutsideTap);
    QWidget* frame() const { return frame_; }
    QWidget* content() const { return content_; }
    // Gives the content back (unparented) so it outlives this layer.
    void releaseContent();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place();
    QWidget* frame_;
    QPointer<QWidget> content_;
    QSize size_;
    PopoverAnchor anchor_;
    QPointer<QWidget> window_;
    std::function<void()> onOutsideTap_;
};

} // namespace ui

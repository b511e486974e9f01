#pragma once
// The root view of a form page taller than the screen: the page's form scrolls inside a view as large
// as the screen, so the keyboard shift can move the page like any screen-sized page. Where the page's
// container reaches under the navigation bar or past the screen's bottom, the scrolling area keeps
// clear of it, so no part of the form is out of reach.
#include <QPointer>
#include <QScrollArea>

namespace documents {

class PageScrollView : public QScrollArea {
    Q_OBJECT
  public:
    explicit PageScrollView(QWidget* form, QWidget* parent = nullptr);

    QWidget* form() const { return widget(); }
    // Where the page's container sits on the screen itself (the questionnaire's sliding pages), the
    // scrolling area keeps clear of the bar and the screen's bottom; embedded elsewhere (a preview
    // that scrolls the pages itself) it doesn't.
    void setKeepsClearOfScreenEdges(bool keeps);
    // Fits the scrolling area to the container's place on the screen (the container is the parent).
    void updateMargins();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QPointer<QWidget> watchedParent_;
    bool keepsClear_ = false;
};

} // namespace documents

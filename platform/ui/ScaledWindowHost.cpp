#include "platform/ui/ScaledWindowHost.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QMouseEvent>
#include <QPointer>
#include <cmath>

namespace ui {

namespace {

// The canvas in the scene, delivering a press's strokes as the window it stands for would.
// - A window keeps sending a press's moves and release to the widget pressed even when nothing took
//   the press (a label acting on its release, a recogniser watching the whole stroke). The scene lets
//   go of an item whose widget ignored the press and drops the rest of the stroke: so the canvas holds
//   every press.
// - A window forgets a pressed widget that is deleted meanwhile (a bar button rebuilt while its tap
//   runs a nested event loop). Qt's proxy keeps it as a bare pointer across the delivery and crashes:
//   so the canvas sends the moves and the release itself, to the pressed widget while it lives. The
//   press stays with Qt, which gives focus on a click and closes popups.
class CanvasProxy final : public QGraphicsProxyWidget {
  protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override {
        if (event->buttons() == event->button()) pressed_.clear(); // the first button down starts a stroke
        notePressed(event->pos());
        QGraphicsProxyWidget::mousePressEvent(event);
        event->accept();
    }
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override {
        notePressed(event->pos());
        QGraphicsProxyWidget::mouseDoubleClickEvent(event);
        event->accept();
    }
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override { deliver(event, QEvent::MouseMove); }
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override {
        deliver(event, QEvent::MouseButtonRelease);
        if (!event->buttons()) pressed_.clear();
    }
    void ungrabMouseEvent(QEvent* event) override {
        pressed_.clear();
        QGraphicsProxyWidget::ungrabMouseEvent(event);
    }

  private:
    // The widget Qt sends the press to: the deepest one under it, else the canvas.
    void notePressed(QPointF at) {
        if (pressed_ || !widget()) return;
        QWidget* under = widget()->childAt(at.toPoint());
        pressed_ = under ? under : widget();
    }

    void deliver(QGraphicsSceneMouseEvent* event, QEvent::Type type) {
        QPointer<QWidget> receiver = pressed_;
        QWidget* canvas = widget();
        if (!receiver || !canvas) return; // gone with its screen: the stroke goes nowhere, as at 1:1
        QPointF local = event->pos();
        const QWidget* w = receiver;
        for (; w && w != canvas; w = w->parentWidget())
            local -= QPointF(w->pos());
        if (!w) local = receiver->mapFromGlobal(event->screenPos()); // moved out of the canvas
        QMouseEvent mouse(type, local, event->pos(), event->screenPos(), event->button(), event->buttons(),
                          event->modifiers(), event->source());
        mouse.setTimestamp(event->timestamp());
        QCoreApplication::sendEvent(receiver, &mouse);
    }

    QPointer<QWidget> pressed_;
};

} // namespace

ScaledWindowHost::ScaledWindowHost(QWidget* canvas) : canvas_(canvas) {
    setObjectName("scaledWindowHost");
    auto* scene = new QGraphicsScene(this);
    proxy_ = new CanvasProxy; // the scene owns it
    proxy_->setWidget(canvas);
    scene->addItem(proxy_);
    // Touches go on to the widgets that take them (the editor's picture) as touches, as at 1:1; over
    // the others Qt makes mouse events of them, as at 1:1.
    proxy_->setAcceptTouchEvents(true);
    // The proxy takes the canvas's policy, and a window takes no focus itself: its fields must still
    // get focus from a click.
    proxy_->setFocusPolicy(Qt::StrongFocus);
    scene->setSceneRect(QRectF(QPointF(0, 0), canvas->size()));
    setScene(scene);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    setWindowTitle(canvas->windowTitle());
    setWindowIcon(canvas->windowIcon());
}

ScaledWindowHost::~ScaledWindowHost() {
    // A proxy deletes its widget with itself: give the canvas back first.
    if (proxy_ && canvas_) proxy_->setWidget(nullptr);
}

void ScaledWindowHost::setScale(double scale) {
    scale_ = scale;
    setTransform(QTransform::fromScale(scale, scale));
    const QSizeF canvas = sceneRect().size();
    setFixedSize(int(std::lround(canvas.width() * scale)), int(std::lround(canvas.height() * scale)));
}

void ScaledWindowHost::closeEvent(QCloseEvent* event) {
    // Closing the window on the desktop closes the canvas as closing it at 1:1 would.
    if (canvas_ && !canvas_->close()) {
        event->ignore();
        return;
    }
    QGraphicsView::closeEvent(event);
}

} // namespace ui

#include "platform/ui/ScaledWindowHost.h"

#include <QCloseEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <cmath>

namespace ui {

ScaledWindowHost::ScaledWindowHost(QWidget* canvas) : canvas_(canvas) {
    setObjectName("scaledWindowHost");
    auto* scene = new QGraphicsScene(this);
    proxy_ = scene->addWidget(canvas);
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

#include "app/photos/editing/moveObject.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/ui/Tag.h"

// ---- geometry

QRectF moveObjectGeometry::frame() const {
    const QSizeF size(bounds_.width() * std::abs(transform_.m11()),
                      bounds_.height() * std::abs(transform_.m22()));
    return {center_ - QPointF(size.width() / 2, size.height() / 2), size};
}

void moveObjectGeometry::setFrame(const QRectF& frame) {
    center_ = frame.center();
    const double sx = std::abs(transform_.m11()), sy = std::abs(transform_.m22());
    bounds_ =
        QSizeF(sx > 0 ? frame.width() / sx : frame.width(), sy > 0 ? frame.height() / sy : frame.height());
}

void moveObjectGeometry::setTransform(const QTransform& transform) {
    transform_ = transform;
}

void moveObjectGeometry::concatScale(double sx, double sy) {
    transform_ = QTransform::fromScale(sx, sy) * transform_;
}

double moveObjectGeometry::distanceWithPointA(QPointF a, QPointF b) {
    return std::sqrt((b.x() - a.x()) * (b.x() - a.x()) + (b.y() - a.y()) * (b.y() - a.y()));
}

double moveObjectGeometry::pinchFactor(double previousDistance, double currentDistance) {
    if (previousDistance > currentDistance) return 1 - (previousDistance - currentDistance) / kPinchTravel;
    if (currentDistance > previousDistance) return 1 + (currentDistance - previousDistance) / kPinchTravel;
    return 1;
}

void moveObjectGeometry::touchesBegan(const std::vector<QPointF>& locations) {
    if (disableFlg || locations.empty()) return;
    const size_t n = locations.size();
    if (touchEndFlg) {
        touchEndFlg = false;
        startPoint = locations.front() - frame().topLeft();
        if (n == 1)
            mode = kModeMove;
        else if (n == 2)
            mode = kModeResize;
    } else if (n == 1) {
        mode = kModeResize; // a second finger came down
    }
}

void moveObjectGeometry::touchesMoved(const std::vector<QPointF>& previous,
                                      const std::vector<QPointF>& current) {
    if (disableFlg || current.empty()) return;
    const size_t n = current.size();
    if (n == 1 && mode == kModeMove) {
        setFrame(QRectF(current.front() - startPoint, frame().size()));
    } else if (n == 2 && mode == kModeResize && previous.size() == 2) {
        const QPointF origin = frame().topLeft();
        const double dPrev = distanceWithPointA(previous[0] - origin, previous[1] - origin);
        const double dCur = distanceWithPointA(current[0] - origin, current[1] - origin);
        const double s = pinchFactor(dPrev, dCur);
        concatScale(s, s);
        const QRectF f = frame();
        if (f.width() < baseFrame.width() || f.height() < baseFrame.height()) {
            setFrame(baseFrame);
            mode.clear(); // the pinch ends until every finger is lifted
        }
    } else if (n == 2) {
        mode.clear();
    }
    clamp();
}

void moveObjectGeometry::touchesEnded(int count) {
    if (disableFlg) return;
    if (touchEndFlg || count == 2 || (count == 1 && mode == kModeMove)) mode.clear();
    if (frame().width() < defaultFrame.width()) setFrame(defaultFrame);
    touchEndFlg = true;
}

void moveObjectGeometry::clamp() {
    const QRectF f = frame();
    const double W = baseFrame.width(), H = baseFrame.height();
    const double Fw = f.width(), Fh = f.height();
    const double rx = ratioX, ry = ratioY;
    const float xHigh = float((W - defaultFrame.width()) * 0.5 - (Fw - Fw * rx));
    const float xLow = float(rx * W - rx * Fw);
    const float yHigh = float((H - defaultFrame.height()) * 0.5 - (Fh - Fh * ry));
    const float yLow = float(ry * H - ry * Fh);
    const double x = f.x() >= xHigh ? double(xHigh) : std::max(f.x(), double(xLow));
    const double y = f.y() >= yHigh ? double(yHigh) : std::max(f.y(), double(yLow));
    setFrame(QRectF(x, y, Fw, Fh));
}

// ---- widget

moveObject::moveObject(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_AcceptTouchEvents);
    ui::setTag(this, 1);
}

moveObject::~moveObject() = default;

QImage moveObject::paintSourceFor(const QImage& bitmap) {
    if (std::max(bitmap.width(), bitmap.height()) <= kPaintSide) return bitmap;
    return bitmap.scaled(kPaintSide, kPaintSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void moveObject::setImage(const ui::Image& image, const QImage& paintSource) {
    // Painting works from a copy no larger than the screen needs; a turn of the same bitmap reuses it.
    if (!paintSource.isNull())
        paintSource_ = paintSource;
    else if (image.bitmap.cacheKey() != image_.bitmap.cacheKey() ||
             paintSource_.isNull() != image.bitmap.isNull())
        paintSource_ = paintSourceFor(image.bitmap);
    image_ = image;
    displayed_ = ui::Image{paintSource_, image.orientation}.displayedBitmap();
    update();
}

void moveObject::setFrame(const QRectF& frame) {
    model_.setFrame(frame);
    follow();
}

void moveObject::setTransform(const QTransform& transform) {
    model_.setTransform(transform);
    follow();
}

void moveObject::follow() {
    const QRectF f = model_.frame();
    setGeometry(QRect(qRound(f.x()), qRound(f.y()), qRound(f.width()), qRound(f.height())));
    update();
}

void moveObject::handleTouchSet(const ui::TouchSet& set) {
    QWidget* reference = parentView_ ? parentView_.data() : window();
    std::vector<QPointF> previous, current;
    for (const ui::Touch& t : set.touches) {
        previous.push_back(t.previousLocationIn(reference));
        current.push_back(t.locationIn(reference));
    }
    switch (set.phase) {
    case ui::TouchPhase::Began:
        model_.touchesBegan(current);
        break;
    case ui::TouchPhase::Moved:
        model_.touchesMoved(previous, current);
        break;
    case ui::TouchPhase::Ended:
    case ui::TouchPhase::Cancelled: // a cancelled gesture ends like a lifted one
        model_.touchesEnded(set.count());
        break;
    }
    follow();
}

bool moveObject::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel: {
        const auto sets = tracker_.translate(event, this);
        for (const ui::TouchSet& set : sets)
            handleTouchSet(set);
        event->setAccepted(true);
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

void moveObject::paintEvent(QPaintEvent*) {
    if (displayed_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF area = size();
    QSizeF fitted = QSizeF(displayed_.size()).scaled(area, Qt::KeepAspectRatio);
    // Mirror flips of the view's transform, about the centre.
    p.translate(area.width() / 2, area.height() / 2);
    p.scale(model_.transform().m11() < 0 ? -1 : 1, model_.transform().m22() < 0 ? -1 : 1);
    p.drawImage(QRectF(-fitted.width() / 2, -fitted.height() / 2, fitted.width(), fitted.height()),
                displayed_);
}

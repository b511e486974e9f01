#pragma once
// The trimming image view: the picture inside the editor's fixed trimming window, dragged with one
// finger and scaled with two. The geometry is a plain object fed with touch locations, so every number
// can be checked; the widget turns events into touch sets and paints the picture in its frame.
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QTransform>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/ui/TouchSet.h"

// Frames are in the trimming window's coordinates (its top-left corner is the origin); touch
// locations in the editor's root view (only their differences matter).
class moveObjectGeometry {
  public:
    static constexpr double kPinchTravel = 300; // finger travel that doubles or halves the size
    inline static const std::string kModeMove = "move";
    inline static const std::string kModeResize = "resize";

    bool disableFlg = false;
    bool touchEndFlg = true;
    std::string mode;
    QPointF startPoint;
    QRectF defaultFrame;
    QRectF baseFrame;
    float ratioX = 0;
    float ratioY = 0;

    // The frame is the bounding box of the bounds after the transform (a scale, possibly mirrored),
    // about the centre; setting it keeps the transform and fits centre and bounds to it.
    QRectF frame() const;
    void setFrame(const QRectF& frame);
    const QTransform& transform() const { return transform_; }
    void setTransform(const QTransform& transform);
    // transform = scale(sx, sy) · transform, about the centre.
    void concatScale(double sx, double sy);
    QSizeF boundsSize() const { return bounds_; }

    // The touches of one event that concern the view: locations (and, for moves, the previous ones).
    void touchesBegan(const std::vector<QPointF>& locations);
    void touchesMoved(const std::vector<QPointF>& previous, const std::vector<QPointF>& current);
    void touchesEnded(int count);
    // Keeps the fitted picture covering its default area.
    void clamp();

    static double distanceWithPointA(QPointF a, QPointF b);
    // 1 + (dCur − dPrev)/300.
    static double pinchFactor(double previousDistance, double currentDistance);

  private:
    QPointF center_;
    QSizeF bounds_;
    QTransform transform_;
};

class moveObject : public QWidget {
    Q_OBJECT
  public:
    explicit moveObject(QWidget* parent = nullptr);
    ~moveObject() override;

    moveObjectGeometry& geometryModel() { return model_; }
    const moveObjectGeometry& geometryModel() const { return model_; }

    const ui::Image& image() const { return image_; }
    // `paintSource`, when given, is paintSourceFor(image.bitmap) made beforehand (off the GUI thread).
    void setImage(const ui::Image& image, const QImage& paintSource = QImage());
    // The copy of a bitmap the view paints from: no larger than the screen needs. Safe on any thread.
    static QImage paintSourceFor(const QImage& bitmap);

    // The view whose coordinates touch locations are taken in (the editor's root view).
    void setParentView(QWidget* rootView) { parentView_ = rootView; }
    QWidget* parentView() const { return parentView_; }

    QRectF frame() const { return model_.frame(); }
    void setFrame(const QRectF& frame);
    const QTransform& transform() const { return model_.transform(); }
    void setTransform(const QTransform& transform);

    bool disableFlg() const { return model_.disableFlg; }
    void setDisableFlg(bool flag) { model_.disableFlg = flag; }
    bool touchEndFlg() const { return model_.touchEndFlg; }
    void setTouchEndFlg(bool flag) { model_.touchEndFlg = flag; }
    const std::string& mode() const { return model_.mode; }
    void setMode(std::string mode) { model_.mode = std::move(mode); }
    QRectF defaultFrame() const { return model_.defaultFrame; }
    void setDefaultFrame(const QRectF& frame) { model_.defaultFrame = frame; }
    QRectF baseFrame() const { return model_.baseFrame; }
    void setBaseFrame(const QRectF& frame) { model_.baseFrame = frame; }
    float ratioX() const { return model_.ratioX; }
    void setRatioX(float r) { model_.ratioX = r; }
    float ratioY() const { return model_.ratioY; }
    void setRatioY(float r) { model_.ratioY = r; }

    // Feeds one touch set (locations taken in the parent view) to the geometry and follows it.
    void handleTouchSet(const ui::TouchSet& set);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Puts the widget where the geometry says.
    void follow();

    moveObjectGeometry model_;
    ui::Image image_;
    static constexpr int kPaintSide = 2048;
    QImage paintSource_; // the bitmap, scaled down for painting
    QImage displayed_;   // the picture as shown, cached for painting
    QPointer<QWidget> parentView_;
    ui::TouchSetTracker tracker_;
};

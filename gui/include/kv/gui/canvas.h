#pragma once
// The drawn picture box. What is drawn goes into a kept image, so it stays
// while the window is hidden or covered, and can be drawn before the window is
// first shown. Drawing happens in a user coordinate system over the inner
// area (inside the border); y may grow upwards (negative height). Line and
// shape objects added to the canvas lie above the image.
#include "kv/gui/decorations.h"

#include <QImage>
#include <QWidget>
#include <functional>

namespace kv::gui {

class Canvas : public QWidget, public DecorationHost {
    Q_OBJECT
  public:
    explicit Canvas(QWidget* parent = nullptr);

    // A sunken frame two pixels wide, as a picture box has by default.
    void setSunkenBorder(bool on);
    bool hasSunkenBorder() const { return border_ > 0; }
    // The drawing area, in pixels, inside the border.
    QRect innerRect() const;

    // Setting the background clears the picture.
    void setBackground(const QColor& c);
    QColor background() const { return background_; }
    QColor foreground() const { return foreground_; }
    void setForeground(const QColor& c) { foreground_ = c; }

    // The user scale: the top-left corner of the inner area and its extent in
    // user units. A negative height makes y grow upwards. Until set, the
    // scale is twips from the top-left corner.
    void setScale(double left, double top, double width, double height);
    double scaleLeft() const { return left_; }
    double scaleTop() const { return top_; }
    double scaleWidth() const;
    double scaleHeight() const;
    QPointF toPixel(double x, double y) const; // inside the inner area
    QPointF toUser(QPointF pixel) const;

    // Drawing state.
    void setPenWidth(int pixels);
    int penWidth() const { return penWidth_; }
    void setPenStyle(PenStyle s) { penStyle_ = s; }
    PenStyle penStyle() const { return penStyle_; }
    double currentX() const { return curX_; }
    double currentY() const { return curY_; }
    void setCurrent(double x, double y);

    // Primitives in user units; an invalid colour means the foreground.
    void line(double x1, double y1, double x2, double y2, const QColor& c = {});
    void lineTo(double x, double y, const QColor& c = {}); // from the current point
    void box(double x1, double y1, double x2, double y2, const QColor& c = {});
    // Filled and outlined in one colour; both corners belong to the box.
    void fillBox(double x1, double y1, double x2, double y2, const QColor& c = {});
    void point(double x, double y, const QColor& c = {});
    // Text with its top-left corner at the current point, in the widget font
    // and the foreground colour. Ending the line moves the current point to
    // the left edge of the next line; otherwise it moves past the text.
    void print(const QString& text, bool endLine = true);
    void textAt(double x, double y, const QString& text);
    double textWidth(const QString& text) const; // user units
    double textHeight() const;                   // user units
    // Fills with the background and moves the current point to (0, 0).
    void clear();
    // Free drawing in pixels of the inner area (fixed pictures).
    void paintWith(const std::function<void(QPainter&)>& draw);

    const QImage& image();
    // The colour at a user position, for checks of what was drawn.
    QColor pixelAt(double x, double y);
    QColor pixelAtPixel(int px, int py);

    LineItem* addLine(const QString& name, double x1, double y1, double x2, double y2, const QColor& c,
                      int width = 1);
    ShapeItem* addShape(const QString& name, ShapeKind kind, double left, double top, double width,
                        double height, const QColor& border);

    QPointF unitsToPixels(QPointF units) const override;
    QWidget* surface() override { return this; }

  signals:
    void mouseMoved(double x, double y, Qt::MouseButtons buttons);
    void mousePressed(double x, double y, Qt::MouseButton button);
    void mouseReleased(double x, double y, Qt::MouseButton button);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void ensureImage();
    QPoint pix(double x, double y) const;
    QColor colourOr(const QColor& c) const { return c.isValid() ? c : foreground_; }
    void drawSegment(QPainter& p, QPoint a, QPoint b, const QColor& c) const;
    QPointF eventToUser(const QPointF& widgetPos) const;

    QImage image_;
    int border_ = 0;
    QColor background_{255, 255, 255};
    QColor foreground_{0, 0, 0};
    bool scaleSet_ = false;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    int penWidth_ = 1;
    PenStyle penStyle_ = PenStyle::Solid;
    double curX_ = 0, curY_ = 0;
};

} // namespace kv::gui

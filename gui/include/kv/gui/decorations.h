#pragma once
// Line and shape objects: light items that lie on a form (below its controls)
// or on a canvas (above what was painted into it). They can be moved, shown
// and hidden without repainting the picture under them. Their coordinates are
// in the units of their host: twips on a form, user units on a canvas.
#include <QColor>
#include <QObject>
#include <QPointF>
#include <QRectF>

class QPainter;
class QWidget;

namespace kv::gui {

class DecorationHost {
  public:
    virtual ~DecorationHost() = default;
    virtual QPointF unitsToPixels(QPointF units) const = 0;
    virtual QWidget* surface() = 0;
    // Paints the visible items of the host in creation order.
    void paintDecorations(QPainter& p);
};

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot };

class Decoration : public QObject {
    Q_OBJECT
  public:
    Decoration(DecorationHost& host, const QString& name);
    bool isVisible() const { return visible_; }
    void setVisible(bool v);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }
    QColor colour() const { return colour_; }
    void setColour(const QColor& c);
    int width() const { return width_; }
    void setWidth(int pixels);
    PenStyle style() const { return style_; }
    void setStyle(PenStyle s);

    virtual void paint(QPainter& p, const DecorationHost& host) const = 0;

  protected:
    void changed();

  private:
    DecorationHost& host_;
    bool visible_ = true;
    QColor colour_{0, 0, 0};
    int width_ = 1;
    PenStyle style_ = PenStyle::Solid;
};

class LineItem : public Decoration {
    Q_OBJECT
  public:
    using Decoration::Decoration;
    void setEnds(double x1, double y1, double x2, double y2);
    void setX(double x) { setEnds(x, y1_, x, y2_); } // both ends, a vertical marker
    void setY(double y) { setEnds(x1_, y, x2_, y); } // both ends, a horizontal marker
    double x1() const { return x1_; }
    double y1() const { return y1_; }
    double x2() const { return x2_; }
    double y2() const { return y2_; }
    void paint(QPainter& p, const DecorationHost& host) const override;

  private:
    double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

enum class ShapeKind { Rectangle, Square, Oval, Circle, RoundedRectangle };

class ShapeItem : public Decoration {
    Q_OBJECT
  public:
    using Decoration::Decoration;
    void setBounds(double left, double top, double width, double height);
    QRectF bounds() const { return bounds_; }
    void setKind(ShapeKind k);
    ShapeKind kind() const { return kind_; }
    // An invalid colour leaves the inside transparent.
    void setFill(const QColor& c);
    QColor fill() const { return fill_; }
    void paint(QPainter& p, const DecorationHost& host) const override;

  private:
    QRectF bounds_;
    ShapeKind kind_ = ShapeKind::Rectangle;
    QColor fill_;
};

Qt::PenStyle toQt(PenStyle s);

} // namespace kv::gui

#include "kv/gui/canvas.h"

#include "kv/gui/twips.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kv::gui {

Canvas::Canvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Canvas::setSunkenBorder(bool on) {
    border_ = on ? 2 : 0;
    update();
}

QRect Canvas::innerRect() const {
    return rect().adjusted(border_, border_, -border_, -border_);
}

void Canvas::setBackground(const QColor& c) {
    background_ = c;
    clear();
}

void Canvas::setScale(double left, double top, double width, double height) {
    scaleSet_ = true;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

double Canvas::scaleWidth() const {
    return scaleSet_ ? width_ : pixelsToTwips(innerRect().width());
}
double Canvas::scaleHeight() const {
    return scaleSet_ ? height_ : pixelsToTwips(innerRect().height());
}

QPointF Canvas::toPixel(double x, double y) const {
    const QRect r = innerRect();
    return {(x - left_) / scaleWidth() * r.width(), (y - top_) / scaleHeight() * r.height()};
}

QPointF Canvas::toUser(QPointF pixel) const {
    const QRect r = innerRect();
    return {left_ + pixel.x() * scaleWidth() / std::max(1, r.width()),
            top_ + pixel.y() * scaleHeight() / std::max(1, r.height())};
}

QPointF Canvas::unitsToPixels(QPointF units) const {
    return toPixel(units.x(), units.y()) + QPointF(border_, border_);
}

QPoint Canvas::pix(double x, double y) const {
    const QPointF p = toPixel(x, y);
    return {static_cast<int>(std::floor(p.x() + 0.5)), static_cast<int>(std::floor(p.y() + 0.5))};
}

void Canvas::setPenWidth(int pixels) {
    penWidth_ = std::max(1, pixels);
}

void Canvas::setCurrent(double x, double y) {
    curX_ = x;
    curY_ = y;
}

void Canvas::ensureImage() {
    const qreal dpr = devicePixelRatioF();
    const QSize need = innerRect().size().expandedTo(QSize(1, 1)) * dpr;
    if (image_.size() == need && image_.devicePixelRatio() == dpr) return;
    QImage next(need, QImage::Format_RGB32);
    next.setDevicePixelRatio(dpr);
    next.fill(background_);
    if (!image_.isNull()) {
        QPainter p(&next);
        p.drawImage(QPointF(0, 0), image_);
    }
    image_ = std::move(next);
}

const QImage& Canvas::image() {
    ensureImage();
    return image_;
}

QColor Canvas::pixelAtPixel(int px, int py) {
    ensureImage();
    const qreal dpr = image_.devicePixelRatio();
    const QPoint d(static_cast<int>(px * dpr), static_cast<int>(py * dpr));
    if (!image_.rect().contains(d)) return {};
    return image_.pixelColor(d);
}

QColor Canvas::pixelAt(double x, double y) {
    const QPoint p = pix(x, y);
    return pixelAtPixel(p.x(), p.y());
}

void Canvas::drawSegment(QPainter& p, QPoint a, QPoint b, const QColor& c) const {
    QPen pen(c, penWidth_, penWidth_ == 1 ? toQt(penStyle_) : Qt::SolidLine,
             penWidth_ == 1 ? Qt::SquareCap : Qt::RoundCap);
    p.setPen(pen);
    if (a == b)
        p.drawPoint(a);
    else
        p.drawLine(a, b);
}

void Canvas::line(double x1, double y1, double x2, double y2, const QColor& c) {
    ensureImage();
    QPainter p(&image_);
    drawSegment(p, pix(x1, y1), pix(x2, y2), colourOr(c));
    setCurrent(x2, y2);
    update();
}

void Canvas::lineTo(double x, double y, const QColor& c) {
    line(curX_, curY_, x, y, c);
}

void Canvas::box(double x1, double y1, double x2, double y2, const QColor& c) {
    ensureImage();
    QPainter p(&image_);
    const QPoint a = pix(x1, y1), b = pix(x2, y2);
    const QColor col = colourOr(c);
    drawSegment(p, a, {b.x(), a.y()}, col);
    drawSegment(p, {b.x(), a.y()}, b, col);
    drawSegment(p, b, {a.x(), b.y()}, col);
    drawSegment(p, {a.x(), b.y()}, a, col);
    setCurrent(x2, y2);
    update();
}

void Canvas::fillBox(double x1, double y1, double x2, double y2, const QColor& c) {
    ensureImage();
    QPainter p(&image_);
    const QPoint a = pix(x1, y1), b = pix(x2, y2);
    const int grow = (penWidth_ - 1) / 2;
    QRect r(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
            QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    p.fillRect(r.adjusted(-grow, -grow, grow, grow), colourOr(c));
    setCurrent(x2, y2);
    update();
}

void Canvas::point(double x, double y, const QColor& c) {
    ensureImage();
    QPainter p(&image_);
    const QPoint a = pix(x, y);
    if (penWidth_ == 1)
        p.fillRect(QRect(a, QSize(1, 1)), colourOr(c));
    else
        p.fillRect(QRect(a.x() - penWidth_ / 2, a.y() - penWidth_ / 2, penWidth_, penWidth_), colourOr(c));
    setCurrent(x, y);
    update();
}

void Canvas::print(const QString& text, bool endLine) {
    ensureImage();
    const QFontMetricsF fm(font());
    {
        QPainter p(&image_);
        p.setFont(font());
        p.setPen(foreground_);
        const QPointF at = toPixel(curX_, curY_);
        p.drawText(QPointF(at.x(), at.y() + fm.ascent()), text);
    }
    const QRect r = innerRect();
    if (endLine) {
        curX_ = left_;
        curY_ += fm.height() * scaleHeight() / std::max(1, r.height());
    } else {
        curX_ += fm.horizontalAdvance(text) * scaleWidth() / std::max(1, r.width());
    }
    update();
}

void Canvas::textAt(double x, double y, const QString& text) {
    setCurrent(x, y);
    print(text, false);
}

double Canvas::textWidth(const QString& text) const {
    return QFontMetricsF(font()).horizontalAdvance(text) * std::abs(scaleWidth()) /
           std::max(1, innerRect().width());
}

double Canvas::textHeight() const {
    return QFontMetricsF(font()).height() * std::abs(scaleHeight()) / std::max(1, innerRect().height());
}

void Canvas::clear() {
    ensureImage();
    image_.fill(background_);
    setCurrent(0, 0);
    update();
}

void Canvas::paintWith(const std::function<void(QPainter&)>& draw) {
    ensureImage();
    QPainter p(&image_);
    draw(p);
    update();
}

LineItem* Canvas::addLine(const QString& name, double x1, double y1, double x2, double y2, const QColor& c,
                          int width) {
    auto* l = new LineItem(*this, name);
    l->setEnds(x1, y1, x2, y2);
    l->setColour(c);
    l->setWidth(width);
    return l;
}

ShapeItem* Canvas::addShape(const QString& name, ShapeKind kind, double left, double top, double width,
                            double height, const QColor& border) {
    auto* s = new ShapeItem(*this, name);
    s->setKind(kind);
    s->setBounds(left, top, width, height);
    s->setColour(border);
    return s;
}

void Canvas::paintEvent(QPaintEvent*) {
    ensureImage();
    QPainter p(this);
    const QRect in = innerRect();
    if (border_ > 0) {
        const QRect o = rect();
        p.fillRect(o, QColor(255, 255, 255));
        p.fillRect(QRect(o.left(), o.top(), o.width(), 1), QColor(160, 160, 160));
        p.fillRect(QRect(o.left(), o.top(), 1, o.height()), QColor(160, 160, 160));
        p.fillRect(QRect(o.left() + 1, o.top() + 1, o.width() - 2, 1), QColor(105, 105, 105));
        p.fillRect(QRect(o.left() + 1, o.top() + 1, 1, o.height() - 2), QColor(105, 105, 105));
        p.fillRect(QRect(o.left() + 1, o.bottom() - 1, o.width() - 2, 1), QColor(227, 227, 227));
        p.fillRect(QRect(o.right() - 1, o.top() + 1, 1, o.height() - 2), QColor(227, 227, 227));
    }
    p.drawImage(in.topLeft(), image_);
    p.setClipRect(in);
    paintDecorations(p);
}

QPointF Canvas::eventToUser(const QPointF& widgetPos) const {
    return toUser(widgetPos - QPointF(border_, border_));
}

void Canvas::mouseMoveEvent(QMouseEvent* e) {
    const QPointF u = eventToUser(e->position());
    emit mouseMoved(u.x(), u.y(), e->buttons());
}

void Canvas::mousePressEvent(QMouseEvent* e) {
    const QPointF u = eventToUser(e->position());
    emit mousePressed(u.x(), u.y(), e->button());
}

void Canvas::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF u = eventToUser(e->position());
    emit mouseReleased(u.x(), u.y(), e->button());
}

} // namespace kv::gui

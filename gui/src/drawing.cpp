#include "kv/gui/drawing.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace kv::gui {

ArrowHead ArrowHead::bySide(double side, double halfAngleRad) {
    return {side * std::cos(halfAngleRad), side * std::sin(halfAngleRad)};
}

void drawArrowHead(QPainter& p, QPointF from, QPointF tip, ArrowHead head) {
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    if (len == 0) return; // no direction to point in
    const QPointF u = d / len, n(-u.y(), u.x());
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip - u * head.length + n * head.halfWidth);
    path.lineTo(tip - u * head.length - n * head.halfWidth);
    path.closeSubpath();
    p.save();
    p.setBrush(p.pen().color());
    p.drawPath(path);
    p.restore();
}

void drawArrow(QPainter& p, QPointF from, QPointF tip, ArrowHead head) {
    p.drawLine(from, tip);
    drawArrowHead(p, from, tip, head);
}

void drawDoubleArrow(QPainter& p, QPointF a, QPointF b, ArrowHead head) {
    p.drawLine(a, b);
    drawArrowHead(p, b, a, head);
    drawArrowHead(p, a, b, head);
}

double uniformScale(const QRectF& area, double width, double height) {
    return std::min(area.width() / width, area.height() / height);
}

void stretchDesign(QPainter& p, const QRectF& area, double width, double height) {
    p.translate(area.topLeft());
    p.scale(area.width() / width, area.height() / height);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

} // namespace kv::gui

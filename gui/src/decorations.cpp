#include "kv/gui/decorations.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace kv::gui {

Qt::PenStyle toQt(PenStyle s) {
    switch (s) {
    case PenStyle::Solid:
        return Qt::SolidLine;
    case PenStyle::Dash:
        return Qt::DashLine;
    case PenStyle::Dot:
        return Qt::DotLine;
    case PenStyle::DashDot:
        return Qt::DashDotLine;
    case PenStyle::DashDotDot:
        return Qt::DashDotDotLine;
    }
    return Qt::SolidLine;
}

void DecorationHost::paintDecorations(QPainter& p) {
    for (QObject* o : surface()->children()) {
        if (auto* d = qobject_cast<Decoration*>(o); d && d->isVisible()) {
            p.save();
            d->paint(p, *this);
            p.restore();
        }
    }
}

Decoration::Decoration(DecorationHost& host, const QString& name) : QObject(host.surface()), host_(host) {
    setObjectName(name);
}

void Decoration::changed() {
    host_.surface()->update();
}

void Decoration::setVisible(bool v) {
    if (v != visible_) {
        visible_ = v;
        changed();
    }
}

void Decoration::setColour(const QColor& c) {
    colour_ = c;
    changed();
}

void Decoration::setWidth(int pixels) {
    width_ = std::max(1, pixels);
    changed();
}

void Decoration::setStyle(PenStyle s) {
    style_ = s;
    changed();
}

static QPen penOf(const Decoration& d) {
    QPen pen(d.colour(), d.width(), d.width() == 1 ? toQt(d.style()) : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void LineItem::setEnds(double x1, double y1, double x2, double y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    changed();
}

void LineItem::paint(QPainter& p, const DecorationHost& host) const {
    QPointF a = host.unitsToPixels({x1_, y1_});
    QPointF b = host.unitsToPixels({x2_, y2_});
    QPen pen = penOf(*this);
    // A one-pixel line sits on the pixel row or column the unit falls in.
    if (width() == 1) {
        a = {std::floor(a.x()) + 0.5, std::floor(a.y()) + 0.5};
        b = {std::floor(b.x()) + 0.5, std::floor(b.y()) + 0.5};
        pen.setCapStyle(Qt::SquareCap);
    }
    p.setPen(pen);
    p.drawLine(a, b);
}

void ShapeItem::setBounds(double left, double top, double width, double height) {
    bounds_ = QRectF(left, top, width, height);
    changed();
}

void ShapeItem::setKind(ShapeKind k) {
    kind_ = k;
    changed();
}

void ShapeItem::setFill(const QColor& c) {
    fill_ = c;
    changed();
}

void ShapeItem::paint(QPainter& p, const DecorationHost& host) const {
    QRectF r(host.unitsToPixels(bounds_.topLeft()), host.unitsToPixels(bounds_.bottomRight()));
    r = r.normalized();
    if (kind_ == ShapeKind::Square || kind_ == ShapeKind::Circle) {
        const double side = std::min(r.width(), r.height());
        r = QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
    }
    // The border lies inside the bounds.
    const double inset = width() / 2.0;
    r.adjust(inset, inset, -inset, -inset);
    p.setRenderHint(QPainter::Antialiasing, kind_ == ShapeKind::Oval || kind_ == ShapeKind::Circle ||
                                                kind_ == ShapeKind::RoundedRectangle);
    p.setPen(penOf(*this));
    p.setBrush(fill_.isValid() ? QBrush(fill_) : QBrush(Qt::NoBrush));
    switch (kind_) {
    case ShapeKind::Rectangle:
    case ShapeKind::Square:
        p.drawRect(r);
        break;
    case ShapeKind::Oval:
    case ShapeKind::Circle:
        p.drawEllipse(r);
        break;
    case ShapeKind::RoundedRectangle:
        p.drawRoundedRect(r, r.width() / 8, r.height() / 8);
        break;
    }
}

} // namespace kv::gui

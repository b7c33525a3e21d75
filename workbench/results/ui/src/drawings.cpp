#include "kv/workbench/results/ui/drawings.h"

#include "kv/gui/canvas.h"
#include "kv/gui/drawing.h"
#include "kv/gui/qtext.h"
#include "kv/gui/twips.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace kv::results {

namespace {

using gui::qs;

// An oblique view: X to the right, Y (away from the chest wall) back and up,
// Z (depth) down; the origin is the chest-wall edge of the top surface at X = 0.
struct Oblique {
    QPointF origin;
    QPointF operator()(double x, double y, double z) const {
        return {origin.x() + x + 0.55 * y, origin.y() - 0.45 * y + z};
    }
};

} // namespace

void drawGeometrySketch(gui::Canvas& c, std::string_view focus, std::string_view plane,
                        const std::array<std::string_view, 3>& axes) {
    c.clear();
    c.paintWith([&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRect area = c.innerRect();
        const double w = area.width(), h = area.height();
        const Oblique at{{w * 0.36, h * 0.66}};
        const double halfX = w * 0.30, lengthY = w * 0.36, depth = h * 0.15;
        const QPointF source = at(0, 0, -h * 0.50);

        // Phantom: the hidden edges first, then the visible faces.
        const QColor edge(60, 60, 60);
        p.setPen(QPen(edge, 1, Qt::DotLine));
        p.drawLine(at(-halfX, lengthY, 0), at(-halfX, lengthY, depth));
        p.drawLine(at(-halfX, lengthY, depth), at(halfX, lengthY, depth));
        p.drawLine(at(-halfX, lengthY, depth), at(-halfX, 0, depth));

        // The Y-Z plane at X = 0, tinted.
        QPolygonF yz;
        yz << at(0, 0, 0) << at(0, lengthY, 0) << at(0, lengthY, depth) << at(0, 0, depth);
        p.setPen(QPen(QColor(200, 0, 0), 1.5));
        p.setBrush(QColor(255, 120, 120, 110));
        p.drawPolygon(yz);
        p.setBrush(Qt::NoBrush);

        p.setPen(QPen(edge, 1.5));
        QPolygonF top;
        top << at(-halfX, 0, 0) << at(halfX, 0, 0) << at(halfX, lengthY, 0) << at(-halfX, lengthY, 0);
        p.drawPolygon(top);
        QPolygonF front;
        front << at(-halfX, 0, 0) << at(halfX, 0, 0) << at(halfX, 0, depth) << at(-halfX, 0, depth);
        p.drawPolygon(front);
        QPolygonF side;
        side << at(halfX, 0, 0) << at(halfX, lengthY, 0) << at(halfX, lengthY, depth) << at(halfX, 0, depth);
        p.drawPolygon(side);

        // Beam edges from the focus to the corners of the field.
        p.setPen(QPen(QColor(0, 0, 200), 1, Qt::DashLine));
        for (QPointF corner :
             {at(-halfX, 0, 0), at(halfX, 0, 0), at(halfX, lengthY, 0), at(-halfX, lengthY, 0)})
            p.drawLine(source, corner);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 0, 0));
        p.drawEllipse(source, 4, 4);
        p.setBrush(Qt::NoBrush);

        // Axes from the origin.
        p.setPen(QPen(Qt::black, 1.5));
        const QPointF o = at(0, 0, 0);
        const QPointF xEnd = at(halfX + w * 0.12, 0, 0);
        const QPointF yEnd = at(0, lengthY + w * 0.22, 0);
        const QPointF zEnd = at(0, 0, depth + h * 0.14);
        const auto head = gui::ArrowHead::bySide(8, 0.4);
        gui::drawArrow(p, at(halfX, 0, 0), xEnd, head);
        gui::drawArrow(p, at(0, lengthY, 0), yEnd, head);
        gui::drawArrow(p, at(0, 0, depth), zEnd, head);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawLine(o, at(halfX, 0, 0));
        p.drawLine(o, at(0, lengthY, 0));

        p.setPen(Qt::black);
        QFont f = gui::fontPt(12);
        p.setFont(f);
        const QFontMetricsF fm(f);
        p.drawText(source + QPointF(9, fm.ascent() / 2 - 1), qs(focus));
        p.drawText(xEnd + QPointF(-fm.horizontalAdvance(qs(axes[0])) / 2, -6), qs(axes[0]));
        p.drawText(yEnd + QPointF(4, 0), qs(axes[1]));
        p.drawText(zEnd + QPointF(6, fm.ascent() / 2), qs(axes[2]));
        // The plane's name below the phantom with a leader to the plane.
        const QPointF planeLabel(w * 0.06, h * 0.96);
        p.drawText(planeLabel, qs(plane));
        p.setPen(QPen(QColor(200, 0, 0), 1));
        p.drawLine(planeLabel + QPointF(fm.horizontalAdvance(qs(plane)) * 0.5, -fm.ascent() - 2),
                   at(0, lengthY * 0.3, depth * 0.7));
    });
}

void drawPointerIcon(gui::Canvas& c) {
    c.clear();
    c.paintWith([&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = c.innerRect();
        const double s = gui::uniformScale(r, 32, 32);
        p.scale(s, s);
        // Click rays.
        p.setPen(QPen(QColor(255, 140, 0), 1.6));
        p.drawLine(QPointF(6, 2), QPointF(8, 6));
        p.drawLine(QPointF(2, 9), QPointF(6, 10));
        p.drawLine(QPointF(13, 1), QPointF(12.5, 5));
        // The pointer.
        QPolygonF arrowShape;
        arrowShape << QPointF(9, 8) << QPointF(9, 27) << QPointF(13.5, 22.5) << QPointF(17, 30)
                   << QPointF(20, 28.5) << QPointF(16.5, 21) << QPointF(23, 21);
        p.setPen(QPen(Qt::black, 1.2));
        p.setBrush(Qt::white);
        p.drawPolygon(arrowShape);
    });
}

QIcon backToMenuIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The menu sheet.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(14.5, 3.5, 15, 24));
    p.setPen(QPen(QColor(0, 0, 200), 2));
    for (int y = 9; y <= 23; y += 5)
        p.drawLine(QPointF(18, y), QPointF(26, y));
    // The arrow back to it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 150, 0));
    QPolygonF a;
    a << QPointF(2, 16) << QPointF(10, 8) << QPointF(10, 13) << QPointF(16, 13) << QPointF(16, 19)
      << QPointF(10, 19) << QPointF(10, 24);
    p.drawPolygon(a);
    p.end();
    return QIcon(pm);
}

} // namespace kv::results

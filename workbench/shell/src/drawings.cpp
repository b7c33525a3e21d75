#include "kv/workbench/shell/drawings.h"

#include "kv/gui/drawing.h"
#include "kv/gui/qtext.h"
#include "kv/gui/twips.h"
#include "kv/texts/reference.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace kv::shell {
namespace {

using gui::ArrowHead;
using gui::drawArrow;
using gui::drawDoubleArrow;
using gui::qs;

QFont designFont(double px, bool italic = false) {
    QFont f(qs(gui::kSerif));
    f.setPixelSize(static_cast<int>(px));
    f.setItalic(italic);
    return f;
}

enum class At { Left, Centre, Right };

// Text on a white ground, so that it stays readable where it crosses a line.
void label(QPainter& p, QPointF baseline, const QString& s, At at = At::Left) {
    if (s.isEmpty()) return;
    const QFontMetricsF fm(p.font());
    const double w = fm.horizontalAdvance(s);
    const double dx = at == At::Left ? 0 : at == At::Centre ? -w / 2 : -w;
    const QPointF at0 = baseline + QPointF(dx, 0);
    p.fillRect(QRectF(at0.x() - 1, at0.y() - fm.ascent() + 1, w + 2, fm.ascent() + fm.descent() - 1),
               Qt::white);
    p.drawText(at0, s);
}

void focusSpot(QPainter& p, QPointF c) {
    p.save();
    p.setBrush(QColor(255, 0, 0));
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(c, 5, 5);
    p.restore();
}

void chamber(QPainter& p, QPointF c, double r = 7) {
    p.save();
    p.setBrush(QColor(255, 255, 192));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawEllipse(c, r, r);
    p.drawLine(c + QPointF(r, 0), c + QPointF(r + 28, 0)); // the cable
    p.restore();
}

void slab(QPainter& p, const QRectF& r, const QColor& fill) {
    p.save();
    p.setBrush(fill);
    p.setPen(QPen(Qt::black, 1.2));
    p.drawRect(r);
    p.restore();
}

const QColor paddleFill(200, 230, 255);
const QColor deviceFill(210, 210, 210);
const QColor beamPen(255, 120, 0);

// The labels only the large geometry has.
struct MammoExtras {
    QString keep1, keep2, six2, chestWall;
};

// Side view of a mammography unit on a 320 x 436 grid: the chest wall is on
// the left, under the focus.
void mammoGeometry(QPainter& p, const texts::GeometryLabels& g, const MammoExtras& x, double fontPx) {
    const QPointF focus(120, 40);
    const double chestX = 120, chamberX = 175, chamberY = 290; // 6 cm from the chest wall edge
    const double paddleY = 215, deviceY = 365;
    p.setFont(designFont(fontPx));
    // The beam: its chest-wall edge runs straight down from the focus.
    p.setPen(QPen(beamPen, 1.2, Qt::DashLine));
    p.drawLine(focus, QPointF(chestX, deviceY));
    p.drawLine(focus, QPointF(300, deviceY));
    p.setPen(QPen(Qt::black, 1));
    focusSpot(p, focus);
    label(p, focus + QPointF(12, 5), qs(g.focus));
    // Focus-to-chamber distance.
    drawDoubleArrow(p, QPointF(70, focus.y()), QPointF(70, chamberY));
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(QPointF(62, focus.y()), focus);
    p.drawLine(QPointF(62, chamberY), QPointF(chamberX, chamberY));
    p.setPen(QPen(Qt::black, 1));
    label(p, {64, 140}, qs(g.focusTo), At::Right);
    label(p, {64, 140 + fontPx * 1.2}, qs(g.chamber), At::Right);
    label(p, {64, 140 + fontPx * 2.4}, qs(g.distance), At::Right);
    // Paddle above and image receptor below, both well clear of the chamber.
    slab(p, QRectF(chestX, paddleY, 175, 9), paddleFill);
    slab(p, QRectF(chestX, deviceY, 175, 22), deviceFill);
    label(p, {chestX + 100, paddleY - 18}, qs(g.compression));
    label(p, {chestX + 100, paddleY - 18 + fontPx * 1.1}, qs(g.paddle));
    label(p, {chestX + 40, deviceY + 40}, qs(g.imagingDevice));
    chamber(p, QPointF(chamberX, chamberY));
    label(p, {chamberX + 40, chamberY + 5}, qs(g.chamber));
    // Keep a distance: arrows from the chamber to the paddle and the receptor.
    drawArrow(p, QPointF(chamberX + 60, chamberY - 12), QPointF(chamberX + 60, paddleY + 12),
              ArrowHead::sized(6));
    drawArrow(p, QPointF(chamberX + 60, chamberY + 12), QPointF(chamberX + 60, deviceY - 3),
              ArrowHead::sized(6));
    label(p, {chamberX + 68, chamberY - 36}, x.keep1);
    label(p, {chamberX + 68, chamberY - 36 + fontPx * 1.1}, x.keep2);
    // 6 cm from the chest wall edge.
    p.setPen(QPen(Qt::black, 1));
    drawDoubleArrow(p, QPointF(chestX, chamberY + 30), QPointF(chamberX, chamberY + 30), ArrowHead::sized(5));
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(QPointF(chamberX, chamberY + 8), QPointF(chamberX, chamberY + 34));
    p.setPen(QPen(Qt::black, 1));
    label(p, {chestX + 4, chamberY + 30 + fontPx * 1.2}, qs(g.sixCm));
    label(p, {chestX + 4, chamberY + 30 + fontPx * 2.3}, x.six2);
    // The chest wall.
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(chestX - 1, paddleY - 10), QPointF(chestX - 1, deviceY + 30));
    p.setPen(QPen(Qt::black, 1));
    if (!x.chestWall.isEmpty()) {
        drawArrow(p, QPointF(chestX - 40, deviceY + 50), QPointF(chestX - 4, deviceY + 30),
                  ArrowHead::sized(6));
        label(p, {chestX - 45, deviceY + 62}, x.chestWall, At::Centre);
    }
}

} // namespace

void drawAirKermaGeometry(QPainter& p, const QRectF& area) {
    const auto& t = texts::airKermaTexts();
    p.save();
    gui::stretchDesign(p, area, 640, 436);
    mammoGeometry(p, t.geometry,
                  {qs(t.keepDistance), qs(t.fromChamber), qs(t.chestWallEdge), qs(t.chestWallSide)}, 14);
    // A divider between the two exposures.
    p.setPen(QPen(Qt::gray, 1));
    p.drawLine(QPointF(330, 20), QPointF(330, 420));
    // Tomosynthesis: the focus swings on an arc about the rotation axis, and
    // the chamber sits on that axis.
    const QPointF axis(470, 290);
    const double radius = 240, paddleY = 215, deviceY = 365, half = 100;
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    const QRectF circle(axis.x() - radius, axis.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(circle, 72 * 16, 36 * 16);
    auto focusAt = [&](double deg) {
        const double a = deg * std::numbers::pi / 180;
        return QPointF(axis.x() + radius * std::sin(a), axis.y() - radius * std::cos(a));
    };
    p.setPen(QPen(beamPen, 1.2, Qt::DashLine));
    for (double deg : {-15.0, 0.0, 15.0}) {
        p.drawLine(focusAt(deg), QPointF(axis.x() - half, deviceY));
        p.drawLine(focusAt(deg), QPointF(axis.x() + half, deviceY));
    }
    p.setPen(QPen(Qt::black, 1));
    for (double deg : {-15.0, 0.0, 15.0})
        focusSpot(p, focusAt(deg));
    // The swing.
    p.setPen(QPen(Qt::black, 1.2));
    {
        const double r = radius + 14;
        auto at = [&](double deg) {
            const double a = deg * std::numbers::pi / 180;
            return QPointF(axis.x() + r * std::sin(a), axis.y() - r * std::cos(a));
        };
        drawArrow(p, at(-20), at(-26), ArrowHead::sized(7));
        drawArrow(p, at(20), at(26), ArrowHead::sized(7));
    }
    p.setFont(designFont(14));
    label(p, {axis.x(), axis.y() - radius - 14}, qs(t.geometry.focus), At::Centre);
    slab(p, QRectF(axis.x() - half, paddleY, 2 * half, 9), paddleFill);
    slab(p, QRectF(axis.x() - half, deviceY, 2 * half, 22), deviceFill);
    label(p, {axis.x() + 20, paddleY - 20}, qs(t.geometry.compression));
    label(p, {axis.x() + 20, paddleY - 5}, qs(t.geometry.paddle));
    label(p, {axis.x() - 40, deviceY + 40}, qs(t.geometry.imagingDevice));
    chamber(p, axis);
    // The axis of rotation, seen end-on.
    p.setPen(QPen(Qt::blue, 1.2));
    p.drawLine(axis + QPointF(-14, 0), axis + QPointF(14, 0));
    p.drawLine(axis + QPointF(0, -14), axis + QPointF(0, 14));
    p.setPen(QPen(Qt::black, 1));
    drawArrow(p, QPointF(axis.x() - 80, 335), axis + QPointF(-8, 5), ArrowHead::sized(6));
    label(p, {axis.x() - 130, 350}, qs(t.rotationAxis));
    // Focus-to-chamber distance along the central ray.
    const double fcdX = axis.x() + 150;
    drawDoubleArrow(p, QPointF(fcdX, axis.y() - radius), QPointF(fcdX, axis.y()));
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(QPointF(axis.x() + 8, axis.y() - radius), QPointF(fcdX + 6, axis.y() - radius));
    p.drawLine(QPointF(axis.x() + 36, axis.y()), QPointF(fcdX + 6, axis.y()));
    p.setPen(QPen(Qt::black, 1));
    label(p, {fcdX - 6, 120}, qs(t.geometry.focusTo), At::Right);
    label(p, {fcdX - 6, 137}, qs(t.geometry.chamber), At::Right);
    label(p, {fcdX - 6, 154}, qs(t.geometry.distance), At::Right);
    p.restore();
}

void drawSmallGeometry(QPainter& p, const QRectF& area) {
    const auto& t = texts::methodTexts();
    p.save();
    gui::stretchDesign(p, area, 320, 436);
    mammoGeometry(p, t.geometry, {}, 16);
    p.restore();
}

void drawPhantomSketch(QPainter& p, const QRectF& area) {
    const auto& t = texts::phantomSketchTexts();
    p.save();
    gui::stretchDesign(p, area, 300, 300);
    p.setFont(designFont(13));
    const QPointF focus(150, 28);
    // The block: top face, front face and right face in perspective.
    const QPointF tfl(60, 190), tfr(210, 190), tbr(250, 150), tbl(100, 150);
    const double th = 38;
    const QPointF down(0, th);
    p.setPen(QPen(beamPen, 1, Qt::DashLine));
    for (QPointF c : {tfl, tfr, tbr, tbl})
        p.drawLine(focus, c);
    p.setPen(QPen(Qt::black, 1.2));
    QPolygonF top{tfl, tfr, tbr, tbl};
    QPolygonF front{tfl, tfr, tfr + down, tfl + down};
    QPolygonF side{tfr, tbr, tbr + down, tfr + down};
    p.setBrush(QColor(255, 228, 225));
    p.drawPolygon(top);
    p.setBrush(QColor(240, 200, 195));
    p.drawPolygon(front);
    p.setBrush(QColor(225, 180, 175));
    p.drawPolygon(side);
    p.setBrush(Qt::NoBrush);
    // The imaging plane under the block and the focus-to-image distance.
    p.setPen(QPen(Qt::gray, 1));
    p.drawPolygon(QPolygonF{tfl + down + QPointF(-15, 14), tfr + down + QPointF(15, 14),
                            tbr + down + QPointF(25, 2), tbl + down + QPointF(-5, 2)});
    const QPointF foot(155, 170 + th + 8);
    p.setPen(QPen(Qt::black, 1, Qt::DashDotLine));
    p.drawLine(focus, foot);
    p.setPen(QPen(Qt::black, 1));
    label(p, {158, 105}, qs(t.fid));
    focusSpot(p, focus);
    label(p, focus + QPointF(10, -8), qs(t.focus));
    label(p, {120, 175}, qs(t.phantom), At::Centre);
    // Edges and thickness.
    label(p, {135, 190 + th + 30}, qs(t.xEdge), At::Centre);
    label(p, {240, 200 + th + 8}, qs(t.yEdge));
    drawDoubleArrow(p, QPointF(48, 190), QPointF(48, 190 + th), ArrowHead::sized(5));
    label(p, {34, 190 + th / 2 + 5}, qs(t.zAxis), At::Right);
    // The note on the compression paddle, with an arrow to the top face.
    label(p, {14, 72}, qs(t.noteLine1));
    label(p, {14, 88}, qs(t.noteLine2));
    double x = 14 + p.fontMetrics().horizontalAdvance(qs(t.noteLine2));
    if (!qs(t.noteRaised).isEmpty()) {
        p.setFont(designFont(9));
        label(p, {x + 1, 82}, qs(t.noteRaised));
        x += p.fontMetrics().horizontalAdvance(qs(t.noteRaised)) + 2;
        p.setFont(designFont(13));
    }
    label(p, {x, 88}, qs(t.noteLine2Tail));
    label(p, {14, 104}, qs(t.noteLine3));
    drawArrow(p, QPointF(60, 110), QPointF(100, 165), ArrowHead::sized(6));
    p.restore();
}

void drawPhantomPlan(QPainter& p, const QRectF& area) {
    const auto& t = texts::methodTexts();
    p.save();
    gui::stretchDesign(p, area, 234, 332);
    p.setFont(designFont(12));
    // Plan: 15 cm x 15 cm at 10 units per cm, the chest wall at the top.
    const QRectF plan(42, 34, 150, 150);
    label(p, {plan.center().x(), 22}, qs(t.chestWallSide), At::Centre);
    p.setPen(QPen(Qt::black, 2.5));
    p.drawLine(plan.topLeft() + QPointF(-8, 0), plan.topRight() + QPointF(8, 0));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 228, 225));
    p.drawRect(plan);
    // The reference region: 4 cm across the central plane, 2.5 to 12.5 cm from the chest wall.
    const QRectF region(plan.center().x() - 20, plan.top() + 25, 40, 100);
    p.setBrush(QBrush(QColor(255, 0, 0), Qt::BDiagPattern));
    p.setPen(QPen(Qt::red, 1.5));
    p.drawRect(region);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1));
    drawDoubleArrow(p, QPointF(region.left(), region.top() - 8), QPointF(region.right(), region.top() - 8),
                    ArrowHead::sized(4));
    label(p, {region.center().x(), region.top() - 12}, qs(t.regionWidth), At::Centre);
    drawDoubleArrow(p, QPointF(region.right() + 10, region.top()),
                    QPointF(region.right() + 10, region.bottom()), ArrowHead::sized(4));
    label(p, {region.right() + 14, region.center().y() + 4}, qs(t.regionLength));
    drawDoubleArrow(p, QPointF(plan.left(), plan.bottom() + 10), QPointF(plan.right(), plan.bottom() + 10),
                    ArrowHead::sized(4));
    label(p, {plan.center().x(), plan.bottom() + 24}, qs(t.width15), At::Centre);
    // Side view: the layers of 1 mm, counted in depth from the entrance surface.
    const QRectF sideView(42, 232, 150, 60);
    p.setBrush(QColor(255, 228, 225));
    p.drawRect(sideView);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::gray, 0.6));
    for (double y = sideView.top() + 6; y < sideView.bottom(); y += 6)
        p.drawLine(QPointF(sideView.left(), y), QPointF(sideView.right(), y));
    p.setPen(QPen(Qt::red, 1.5));
    p.drawRect(QRectF(plan.center().x() - 20, sideView.top(), 40, sideView.height()));
    p.setPen(QPen(Qt::black, 1));
    drawArrow(p, QPointF(sideView.left() - 12, sideView.top()),
              QPointF(sideView.left() - 12, sideView.bottom()), ArrowHead::sized(5));
    label(p, {sideView.left() - 16, sideView.top() - 6}, qs(t.depth));
    label(p, {sideView.right() + 4, sideView.top() + 12}, qs(t.oneMm));
    label(p, {sideView.right() + 4, sideView.top() + 26}, qs(t.interval));
    drawArrow(p, QPointF(sideView.right() + 3, sideView.top() + 30),
              QPointF(sideView.right() - 10, sideView.top() + 9), ArrowHead::sized(4));
    p.restore();
}

void drawPddCurve(QPainter& p, const QRectF& area) {
    const auto& t = texts::methodTexts();
    p.save();
    gui::stretchDesign(p, area, 325, 317);
    p.setFont(designFont(12));
    const QRectF plot(58, 30, 245, 220);
    // Axes and their titles.
    p.setPen(QPen(Qt::black, 1.2));
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.save();
    p.translate(22, plot.center().y());
    p.rotate(-90);
    label(p, {0, 0}, qs(t.pddAxis), At::Centre);
    p.restore();
    label(p, {plot.left() - 4, plot.top() - 8}, qs(t.percent), At::Right);
    label(p, {plot.center().x(), plot.bottom() + 36}, qs(t.depthAxis), At::Centre);
    label(p, {plot.left() - 6, plot.top() + 10}, QStringLiteral("100"), At::Right);
    label(p, {plot.left() - 6, plot.bottom() + 4}, QStringLiteral("0"), At::Right);
    label(p, {plot.left(), plot.bottom() + 16}, QStringLiteral("0"), At::Centre);
    // An exponential fall-off over the layers, one point per layer.
    auto level = [&](double pdd) { return plot.bottom() - pdd / 100 * (plot.height() - 10); };
    const int n = 12;
    double sum = 0;
    QPolygonF curve;
    for (int i = 1; i <= n; ++i) {
        const double pdd = 100 * std::exp(-0.13 * (i - 1));
        sum += pdd;
        curve << QPointF(plot.left() + (i - 0.5) * plot.width() / n, level(pdd));
    }
    p.setPen(QPen(Qt::blue, 1.5));
    p.drawPolyline(curve);
    p.setBrush(Qt::blue);
    for (QPointF c : curve)
        p.drawEllipse(c, 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
    const double mean = level(sum / n);
    p.setPen(QPen(Qt::red, 1.2, Qt::DashDotLine));
    p.drawLine(QPointF(plot.left(), mean), QPointF(plot.right(), mean));
    p.setPen(QPen(Qt::red, 1));
    label(p, {plot.right() - 2, mean - 5}, qs(t.meanPdd), At::Right);
    // Mean PDD = (1/n) sum_{i=1}^{n} PDD(i)
    p.setPen(QPen(Qt::black, 1));
    const double y = plot.top() + 40;
    double x = plot.left() + 70;
    label(p, {x, y}, qs(t.meanPddIs));
    x += p.fontMetrics().horizontalAdvance(qs(t.meanPddIs)) + 6;
    label(p, {x + 4, y - 8}, QStringLiteral("1"), At::Centre);
    p.drawLine(QPointF(x - 1, y - 4), QPointF(x + 9, y - 4));
    label(p, {x + 4, y + 9}, QStringLiteral("n"), At::Centre);
    x += 14;
    p.setFont(designFont(22));
    label(p, {x, y + 7}, QStringLiteral("\u03A3"));
    const double sigma = p.fontMetrics().horizontalAdvance(QStringLiteral("\u03A3"));
    p.setFont(designFont(9));
    label(p, {x + sigma / 2, y - 14}, QStringLiteral("n"), At::Centre);
    label(p, {x + sigma / 2, y + 17}, QStringLiteral("i=1"), At::Centre);
    p.setFont(designFont(12));
    label(p, {x + sigma + 3, y}, qs(t.pddOfI));
    p.restore();
}

} // namespace kv::shell

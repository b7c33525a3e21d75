#include "kv/spectrum/ui/angle_diagram.h"

#include "kv/gui/drawing.h"
#include "kv/gui/qtext.h"
#include "kv/gui/twips.h"
#include "kv/texts/angle_diagram.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace kv::spectrum::ui {

using namespace gui;

namespace {

// The drawing is laid out on the window's client area (457 × 417 pixels) and
// scaled to whatever area it is given.
constexpr double kRefWidth = 457, kRefHeight = 417;
constexpr double kDeg = 3.14159265358979323846 / 180;

QPointF unit(double qtAngleDeg) {
    return {std::cos(qtAngleDeg * kDeg), -std::sin(qtAngleDeg * kDeg)};
}

void arc(QPainter& p, QPointF centre, double r, double startDeg, double spanDeg) {
    p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r),
              static_cast<int>(std::lround(startDeg * 16)), static_cast<int>(std::lround(spanDeg * 16)));
}

class Labeller {
  public:
    Labeller(QPainter& p, std::vector<DrawnLabel>& out) : p_(p), out_(out) {}

    QRectF box(const QString& text) const {
        const QFontMetricsF fm(p_.font());
        return {0, 0, fm.horizontalAdvance(text), fm.height()};
    }
    // Top-left corner at `at`.
    void at(const QString& text, QPointF at) { put(text, box(text).translated(at)); }
    void centredAt(const QString& text, QPointF c) {
        QRectF r = box(text);
        r.moveCenter(c);
        put(text, r);
    }
    // Read from below, along a vertical line; `c` is the centre.
    void rotatedAt(const QString& text, QPointF c) {
        QRectF r = box(text);
        p_.save();
        p_.translate(c);
        p_.rotate(-90);
        r.moveCenter({0, 0});
        p_.drawText(r, Qt::AlignCenter, text);
        p_.restore();
        QRectF onScreen(0, 0, r.height(), r.width());
        onScreen.moveCenter(c);
        out_.push_back({text, onScreen});
    }
    // One character under the other, upright; `c` is the centre.
    void stackedAt(const QString& text, QPointF c) {
        const QFontMetricsF fm(p_.font());
        const double step = fm.height() * 0.95;
        const double total = step * static_cast<double>(text.size());
        double width = 0;
        for (QChar ch : text)
            width = std::max(width, fm.horizontalAdvance(ch));
        double top = c.y() - total / 2;
        for (QChar ch : text) {
            p_.drawText(QRectF(c.x() - width / 2, top, width, step), Qt::AlignCenter, QString(ch));
            top += step;
        }
        out_.push_back({text, QRectF(c.x() - width / 2, c.y() - total / 2, width, total)});
    }

  private:
    void put(const QString& text, const QRectF& r) {
        p_.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
        out_.push_back({text, r});
    }
    QPainter& p_;
    std::vector<DrawnLabel>& out_;
};

} // namespace

AngleDiagramGeometry angleDiagramGeometry(const QRectF& area) {
    const double s = uniformScale(area, kRefWidth, kRefHeight);
    auto at = [&](double x, double y) { return area.topLeft() + QPointF(x, y) * s; };

    AngleDiagramGeometry g;
    g.phi = 15;
    g.theta = 22;
    g.focalSpot = at(230, 140);
    g.beam = unit(g.phi);       // rising to the right
    g.axis = unit(-90 + g.phi); // perpendicular to the beam, leaning from the vertical by φ
    g.face = unit(-90 + g.phi + g.theta);
    g.cathode = g.focalSpot - g.beam * (175 * s);
    g.cathodeRadius = 9 * s;

    // The block stands behind its face, on the side away from the beam.
    const QPointF back = unit(g.phi + g.theta);
    const QPointF upper = g.focalSpot - g.face * (95 * s);
    const QPointF lower = g.focalSpot + g.face * (35 * s);
    g.target << upper << lower << lower + back * (80 * s) << upper + back * (80 * s);

    g.horizontal = QLineF(at(20, 140), at(440, 140));
    g.vertical = QLineF(g.focalSpot, at(230, 385));
    g.phiRadius = 58 * s;
    g.thetaRadius = 96 * s;
    g.apparentRadius = 150 * s;
    g.beamArcRadius = 72 * s;
    return g;
}

std::vector<DrawnLabel> drawAngleDiagram(QPainter& p, const QRectF& area) {
    const auto& t = texts::angleDiagramTexts();
    const AngleDiagramGeometry g = angleDiagramGeometry(area);
    const double s = uniformScale(area, kRefWidth, kRefHeight);
    const QPointF f = g.focalSpot;
    std::vector<DrawnLabel> labels;
    Labeller label(p, labels);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor ink(0, 0, 0);
    const QPen thin(ink, 1.2 * s), dashed(ink, 1 * s, Qt::DashLine), dashDot(ink, 1.2 * s, Qt::DashDotLine);
    QFont text = fontPt(12, false, false, t.labelFamily);
    text.setPixelSize(static_cast<int>(std::lround(text.pixelSize() * s)));
    QFont greek = fontPt(14.25, true, false, kSerif);
    greek.setPixelSize(static_cast<int>(std::lround(greek.pixelSize() * s)));

    // Horizontal line through the focal spot; the target is drawn over its right part.
    p.setPen(dashed);
    p.drawLine(g.horizontal);
    // The target face carried on below the block, for the arcs to end on.
    p.drawLine(f, f + g.face * (200 * s));

    // Target block.
    p.setPen(QPen(ink, 1.5 * s));
    p.setBrush(QColor(205, 205, 205));
    p.drawPolygon(g.target);
    p.setBrush(Qt::NoBrush);

    // Electron beam from the cathode to the focal spot.
    p.setPen(QPen(ink, 1.5 * s));
    p.drawEllipse(g.cathode, g.cathodeRadius, g.cathodeRadius);
    const QPointF beamStart = g.cathode + g.beam * g.cathodeRadius;
    p.drawLine(beamStart, f);
    drawArrowHead(p, beamStart, f - g.beam * (45 * s), ArrowHead::bySide(9 * s, 18 * kDeg));

    // Vertical line down to its arrow, and the tube's central axis.
    p.setPen(QPen(ink, 1.5 * s));
    p.drawLine(g.vertical);
    drawArrowHead(p, g.vertical.p1(), g.vertical.p2(), ArrowHead::bySide(10 * s, 18 * kDeg));
    p.setPen(dashDot);
    p.drawLine(f, f + g.axis * (240 * s));

    // The focal spot.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(f, 2.5 * s, 2.5 * s);
    p.setBrush(Qt::NoBrush);

    // Right angle between the beam and the central axis.
    p.setPen(thin);
    const double m = 11 * s;
    const QPointF toCathode = -g.beam;
    p.drawPolyline(QPolygonF() << f + toCathode * m << f + (toCathode + g.axis) * m << f + g.axis * m);

    // Arcs: φ at the beam, φ, θ and θ + φ below the focal spot.
    const double down = -90;
    arc(p, f, g.beamArcRadius, 180, g.phi);
    arc(p, f, g.phiRadius, down, g.phi);
    arc(p, f, g.thetaRadius, down + g.phi, g.theta);
    p.setPen(QPen(ink, 1.2 * s));
    arc(p, f, g.apparentRadius, down, g.phi + g.theta);
    arc(p, f, g.apparentRadius + 4 * s, down, g.phi + g.theta);

    // Labels.
    p.setPen(ink);
    p.setFont(greek);
    label.centredAt(qs(t.phi), f + unit(180 + g.phi / 2) * (g.beamArcRadius + 14 * s));
    label.centredAt(qs(t.phi), f + unit(down + g.phi / 2) * (g.phiRadius + 16 * s));
    label.centredAt(qs(t.theta), f + unit(down + g.phi + g.theta / 2) * (g.thetaRadius + 18 * s));

    p.setFont(text);
    QPointF centroid;
    for (const QPointF& corner : g.target)
        centroid += corner / static_cast<double>(g.target.size());
    label.centredAt(qs(t.target), centroid);
    label.at(qs(t.horizontal),
             QPointF(g.horizontal.p1().x() + 2 * s, f.y() - 4 * s - label.box(qs(t.horizontal)).height()));
    label.at(qs(t.electron), g.cathode + QPointF(-4 * s, g.cathodeRadius + 10 * s));
    const QPointF verticalLabel(f.x() - 14 * s, g.vertical.p2().y() - 70 * s);
    if (t.verticalLineStacked)
        label.stackedAt(qs(t.verticalLine), verticalLabel);
    else
        label.rotatedAt(qs(t.verticalLine), verticalLabel);

    // The apparent target angle is named beside its arc, with a leader to it.
    const QPointF arcPoint = f + unit(down + (g.phi + g.theta) * 0.7) * (g.apparentRadius + 4 * s);
    const QPointF note = arcPoint + QPointF(34 * s, 22 * s);
    p.setPen(thin);
    p.drawLine(arcPoint, note + QPointF(-4 * s, 0));
    p.setPen(ink);
    const double lineHeight = label.box(qs(t.apparentLine1)).height();
    label.at(qs(t.apparentLine1), note - QPointF(0, lineHeight / 2));
    label.at(qs(t.apparentLine2), note + QPointF(0, lineHeight / 2));

    // Legend at the lower left.
    label.at(qs(t.legendTheta), area.topLeft() + QPointF(20, 290) * s);
    label.at(qs(t.legendPhi), area.topLeft() + QPointF(20, 290) * s + QPointF(0, lineHeight + 2 * s));

    p.restore();
    return labels;
}

AngleDiagramScreen::AngleDiagramScreen(QWidget* parent)
    : Form({.name = "Form1",
            .caption = texts::angleDiagramTexts().caption,
            .width = 6855,
            .height = 6255,
            .back = colours::white},
           std::vector<Control>{{.name = "Command1",
                                 .kind = Kind::Button,
                                 .rect = {240, 5400, 975, 495},
                                 .text = texts::angleDiagramTexts().close,
                                 .font = {.family = texts::angleDiagramTexts().labelFamily},
                                 .back = colours::buttonYellow}},
           parent),
      close_(bind()) {
    onClick(close_, [this] { hide(); });
}

QPushButton* AngleDiagramScreen::bind() const {
    return button("Command1");
}

void AngleDiagramScreen::paintEvent(QPaintEvent* e) {
    {
        QPainter p(this);
        drawAngleDiagram(p, QRectF(rect()));
    }
    Form::paintEvent(e);
}

} // namespace kv::spectrum::ui

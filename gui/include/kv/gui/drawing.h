#pragma once
// What the drawn pictures share: one arrow style and the two ways a picture
// laid out on a fixed design grid is fitted to the area it is given.
#include <QPointF>
#include <QRectF>

class QPainter;

namespace kv::gui {

// A filled head in the pen's colour: `length` along the shaft from the tip
// back to the base, `halfWidth` from the shaft to each barb.
struct ArrowHead {
    double length = 7;
    double halfWidth = 2.8;
    // The workbench's drawings: as wide as 0.8 of its length.
    static ArrowHead sized(double length) { return {length, 0.4 * length}; }
    // A head given by the length of its sides and the angle each makes with the shaft.
    static ArrowHead bySide(double side, double halfAngleRad);
};

// Every arrow is given from its tail to its tip.
void drawArrowHead(QPainter& p, QPointF from, QPointF tip, ArrowHead head = {});
void drawArrow(QPainter& p, QPointF from, QPointF tip, ArrowHead head = {});
void drawDoubleArrow(QPainter& p, QPointF a, QPointF b, ArrowHead head = {});

// The largest scale at which a design of width x height fits the area, the same in x and y.
double uniformScale(const QRectF& area, double width, double height);
// Maps a design of width x height onto the whole area (x and y scaled apart) and turns on smoothing.
void stretchDesign(QPainter& p, const QRectF& area, double width, double height);

} // namespace kv::gui

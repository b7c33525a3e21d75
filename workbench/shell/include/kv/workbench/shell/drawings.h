#pragma once
// The fixed line drawings of the reference screens, painted into an area of a
// picture. The phantom sketch is also shown by the phantom screen.
#include <QRectF>

class QPainter;

namespace kv::shell {

// Mammography on the left, tomosynthesis on the right (Form10).
void drawAirKermaGeometry(QPainter& p, const QRectF& area);
// The small mammography geometry of the method screen.
void drawSmallGeometry(QPainter& p, const QRectF& area);
// The phantom in perspective under the X-ray focus.
void drawPhantomSketch(QPainter& p, const QRectF& area);
// Plan of the phantom with the central region, and a side view of the 1 mm layers.
void drawPhantomPlan(QPainter& p, const QRectF& area);
// A percentage-depth-dose curve with its mean and the formula of the mean.
void drawPddCurve(QPainter& p, const QRectF& area);

} // namespace kv::shell

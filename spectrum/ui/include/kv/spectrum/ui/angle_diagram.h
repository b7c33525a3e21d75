#pragma once
// Form1, "Definition of Angles": a line drawing of the target, the electron
// beam, the horizontal and vertical lines through the focal spot and the
// tube's central axis, with the arcs of φ, θ and θ + φ and a legend.
#include "kv/gui/form.h"

#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace kv::spectrum::ui {

// Where the parts of the drawing lie, in pixels of the area it fills. The
// angles are drawn larger than typical values so that the arcs can be told
// apart; only their relations matter.
struct AngleDiagramGeometry {
    double phi = 0;   // tube tilt angle as drawn, degrees
    double theta = 0; // target angle as drawn, degrees
    QPointF focalSpot;
    QPointF cathode;
    double cathodeRadius = 0;
    QPointF beam; // unit vector from the cathode towards the focal spot
    QPointF axis; // unit vector of the central axis, away from the tube
    QPointF face; // unit vector of the target face, downwards
    QPolygonF target;
    QLineF horizontal;
    QLineF vertical;           // from the focal spot down to the arrow's tip
    double phiRadius = 0;      // arc vertical line → central axis
    double thetaRadius = 0;    // arc central axis → target face
    double apparentRadius = 0; // arc vertical line → target face
    double beamArcRadius = 0;  // arc horizontal → electron beam
};

AngleDiagramGeometry angleDiagramGeometry(const QRectF& area);

struct DrawnLabel {
    QString text;
    QRectF rect;
};

// Draws the diagram with the linked edition's labels; returns where each label went.
std::vector<DrawnLabel> drawAngleDiagram(QPainter& p, const QRectF& area);

class AngleDiagramScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit AngleDiagramScreen(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QPushButton* bind() const;
    QPushButton* const close_; // Command1
};

} // namespace kv::spectrum::ui

// The plot's drawing procedures on a canvas the size of Picture3, with
// columns made up for the purpose; and the angle diagram (Form1).
#include "kv/gui/canvas.h"
#include "kv/gui/program.h"
#include "kv/gui/twips.h"
#include "kv/spectrum/ui/angle_diagram.h"
#include "kv/spectrum/ui/spectrum_plot.h"
#include "kv/texts/text.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <memory>

using namespace kv::gui;
using namespace kv::spectrum;
using namespace kv::formats;
using namespace kv::spectrum::ui;

namespace {

const QColor red(255, 0, 0), black(0, 0, 0), grey(128, 128, 128), white(255, 255, 255);
using Column = std::array<double, kBins>;

std::unique_ptr<Canvas> makePlot() {
    auto c = std::make_unique<Canvas>();
    c->setSunkenBorder(true);
    c->resize(toPixels(Twips{120, 240, 10935, 6375}).size());
    c->setFont(fontPt(15.75));
    c->setBackground(white);
    setPlotScale(*c);
    DrawSpectrumAxes(*c);
    return c;
}

// Bins 2..last rise linearly up to bin `top`, then fall; nothing above `last`.
Column rising(int top, int last) {
    Column col{};
    for (int i = 2; i <= last; ++i)
        col[i] = i <= top ? i : std::max(1.0, 2.0 * top - i);
    return col;
}

// A continuum with a line three times as high in bin 87, as a Mo K line.
Column withLine() {
    Column col = rising(60, 150);
    col[87] = 180;
    return col;
}

double maxOf(const Column& c) {
    double m = 0;
    for (double v : c)
        m = std::max(m, v);
    return m;
}

bool redIn(Canvas& c, double x1, double x2, double y1, double y2) {
    for (double x = x1; x <= x2; x += 2)
        for (double y = y1; y <= y2; y += 2)
            if (c.pixelAt(x, y) == red) return true;
    return false;
}

double angleBetween(QPointF a, QPointF b) {
    const double dot = a.x() * b.x() + a.y() * b.y();
    const double cross = a.x() * b.y() - a.y() * b.x();
    return std::abs(std::atan2(cross, dot)) * 180 / 3.14159265358979323846;
}

} // namespace

class SpectrumPlotTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(QStringLiteral("Tarnell-Vesk")); }

    void innerAreaAndScale() {
        auto c = makePlot();
        QCOMPARE(c->innerRect().size(), QSize(725, 421)); // 10875 × 6315 twips
        QCOMPARE(c->toPixel(6250, 2500), QPointF(725, 421));
    }

    void axes_data() {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("grey line every 2 keV") << QPointF(1200, 1500) << grey;
        QTest::newRow("grey line at 48 keV") << QPointF(5800, 700) << grey;
        QTest::newRow("black line at 10 keV") << QPointF(2000, 1600) << black;
        QTest::newRow("black line at 40 keV") << QPointF(5000, 800) << black;
        QTest::newRow("grey 10 % line") << QPointF(1100, 1900) << grey;
        QTest::newRow("grey 90 % line") << QPointF(1100, 300) << grey;
        QTest::newRow("50 % line in the foreground") << QPointF(1100, 1100) << black;
        QTest::newRow("frame left") << QPointF(1000, 800) << black;
        QTest::newRow("frame right") << QPointF(6000, 800) << black;
        QTest::newRow("frame top") << QPointF(3500, 100) << black;
        QTest::newRow("frame bottom") << QPointF(3500, 2100) << black;
        QTest::newRow("inside a cell") << QPointF(1100, 1000) << white;
        QTest::newRow("no line at 1 keV") << QPointF(1100, 1600) << white;
        QTest::newRow("outside the frame") << QPointF(6100, 1500) << white;
    }
    void axes() {
        QFETCH(QPointF, at);
        QFETCH(QColor, colour);
        auto c = makePlot();
        QCOMPARE(c->pixelAt(at.x(), at.y()), colour);
    }

    void axisTextsLieLeftOfAndBelowTheFrame() {
        auto c = makePlot();
        int leftInk = 0, belowInk = 0;
        for (double x = 40; x < 980; x += 4)
            for (double y = 300; y < 1100; y += 4)
                leftInk += c->pixelAt(x, y) != white;
        for (double x = 900; x < 6200; x += 4)
            for (double y = 2130; y < 2480; y += 4)
                belowInk += c->pixelAt(x, y) != white;
        QVERIFY(leftInk > 50);
        QVERIFY(belowInk > 100);
        // The frame edge is not written over by the axis title.
        for (double y = 120; y < 2090; y += 10)
            QCOMPARE(c->pixelAt(1000, y), black);
    }

    void maximumReachesTheTopInItsBin() {
        auto c = makePlot();
        const Column col = withLine();
        drawSpectrumCurve(*c, col, maxOf(col));
        for (double x = 2730; x <= 2750; x += 4)
            QCOMPARE(c->pixelAt(x, 100), red);
        QCOMPARE(c->pixelAt(2710, 100), black); // the neighbours stay below the top
        QCOMPARE(c->pixelAt(2770, 100), black);
        // The steps join by vertical strokes at the bin edges.
        QCOMPARE(c->pixelAt(2730, 1000), red);
        QCOMPARE(c->pixelAt(2750, 1000), red);
    }

    void firstStrokeStartsAtTheBottomLeftCorner() {
        auto c = makePlot();
        Column col{};
        col.fill(1.0); // every bin at the maximum: the first stroke climbs from (1000, 2100) to (1030, 100)
        drawSpectrumCurve(*c, col, 1.0);
        QCOMPARE(c->pixelAt(1015, 1100), red);
        QCOMPARE(c->pixelAt(3500, 100), red); // the top edge is covered by the curve
        QCOMPARE(c->pixelAt(3500, 2100), black);
    }

    void spectrumOf25kVEndsOnTheBottomLine() {
        auto c = makePlot();
        const Column col = rising(80, 125); // bins above 125 (25 keV) are empty
        drawSpectrumCurve(*c, col, maxOf(col));
        QVERIFY(redIn(*c, 3400, 3490, 100, 2080));
        QVERIFY(!redIn(*c, 3530, 5990, 100, 2080));
        for (double x = 3530; x <= 5990; x += 20)
            QCOMPARE(c->pixelAt(x, 2100), black);
        // The last step ends at 6010, just right of the frame.
        QCOMPARE(c->pixelAt(6000, 2100), black);
        QCOMPARE(c->pixelAt(6010, 2100), red);
    }

    void curveTexts() {
        auto c = makePlot();
        auto ink = [&] {
            int n = 0;
            for (double x = 4100; x < 5600; x += 4)
                for (double y = 340; y < 640; y += 4)
                    n += c->pixelAt(x, y) == black;
            return n;
        };
        const int before = ink();
        const Column col = rising(30, 60);
        drawSpectrumCurve(*c, col, maxOf(col));
        QVERIFY(ink() > before + 50);
    }

    void noScaleDrawsNoCurve() {
        auto c = makePlot();
        const QImage before = c->image().copy();
        drawSpectrumCurve(*c, Column{}, 0);
        QCOMPARE(c->image(), before);
    }

    void secondCurveLiesOnTheFirst() {
        auto c = makePlot();
        const Column first = withLine();
        drawSpectrumCurve(*c, first, maxOf(first));
        DrawSpectrumAxes(*c);
        const Column second = rising(40, 250);
        drawSpectrumCurve(*c, second, maxOf(second));
        // Each is scaled to its own maximum: both reach the top.
        QCOMPARE(c->pixelAt(2740, 100), black); // the first one's top is under the redrawn frame,
        QCOMPARE(c->pixelAt(2730, 1000), red);  // its stroke below is not
        QCOMPARE(c->pixelAt(1800, 100), red);   // the second one's maximum, bin 40
    }

    // The angle diagram.

    void diagramGeometry() {
        const QRectF area(0, 0, 457, 417);
        const AngleDiagramGeometry g = angleDiagramGeometry(area);
        const QPointF down(0, 1), left(-1, 0);
        QVERIFY(g.phi > 0 && g.theta > 0);
        // The beam rises towards the focal spot at φ above the horizontal, from a cathode on the left.
        QVERIFY(g.cathode.x() < g.focalSpot.x());
        QVERIFY(g.cathode.y() > g.focalSpot.y());
        QVERIFY(std::abs(angleBetween(-g.beam, left) - g.phi) < 1e-9);
        QVERIFY(std::abs(g.horizontal.dy()) < 1e-9);
        QVERIFY(std::abs(g.horizontal.p1().y() - g.focalSpot.y()) < 1e-9);
        // The central axis is perpendicular to the beam and leans from the vertical by φ.
        QVERIFY(std::abs(angleBetween(g.axis, g.beam) - 90) < 1e-9);
        QVERIFY(std::abs(angleBetween(g.axis, down) - g.phi) < 1e-9);
        // θ from the axis to the face, θ + φ from the vertical line to the face, on the same side.
        QVERIFY(std::abs(angleBetween(g.face, g.axis) - g.theta) < 1e-9);
        QVERIFY(std::abs(angleBetween(g.face, down) - (g.theta + g.phi)) < 1e-9);
        QVERIFY(g.axis.x() > 0 && g.face.x() > g.axis.x());
        // The vertical line goes straight down from the focal spot.
        QCOMPARE(g.vertical.p1(), g.focalSpot);
        QVERIFY(std::abs(g.vertical.dx()) < 1e-9 && g.vertical.dy() > 0);
        // The block's face runs through the focal spot; the block stands behind it.
        QVERIFY(g.target.size() == 4);
        const QLineF face(g.target[0], g.target[1]);
        const double offFace =
            std::abs((face.dx() * (g.focalSpot.y() - face.y1()) - face.dy() * (g.focalSpot.x() - face.x1())) /
                     face.length());
        QVERIFY(offFace < 1e-9);
        QVERIFY(!g.target.containsPoint(g.focalSpot + down * 20, Qt::OddEvenFill));
        QVERIFY(!g.target.containsPoint(g.cathode, Qt::OddEvenFill));
        // Arcs from small to large: φ, θ, θ + φ; everything lies in the window.
        QVERIFY(g.phiRadius < g.thetaRadius && g.thetaRadius < g.apparentRadius);
        QVERIFY(area.contains(g.target.boundingRect()));
        QVERIFY(area.contains(g.vertical.p2()));
    }

    void diagramLabels() {
        QImage img(457, 417, QImage::Format_RGB32);
        img.fill(Qt::white);
        std::vector<DrawnLabel> labels;
        {
            QPainter p(&img);
            labels = drawAngleDiagram(p, QRectF(img.rect()));
        }
        const bool ja = kv::texts::edition() == kv::texts::Edition::Japanese;
        const QStringList expected = ja ? QStringList{"φ",
                                                      "φ",
                                                      "θ",
                                                      "ターゲット",
                                                      "水平面",
                                                      "電子",
                                                      "垂直線",
                                                      "見かけ上の",
                                                      "ターゲット角",
                                                      "θ: ターゲット角",
                                                      "φ: 管球傾斜角"}
                                        : QStringList{"φ",
                                                      "φ",
                                                      "θ",
                                                      "Target",
                                                      "Horizontal",
                                                      "Electron",
                                                      "Vertical line",
                                                      "Apparent",
                                                      "target angle",
                                                      "θ: Target angle",
                                                      "φ: Tube tilt angle"};
        QStringList drawn;
        for (const auto& l : labels)
            drawn << l.text;
        QCOMPARE(drawn, expected);

        const QRect close = toPixels(Twips{240, 5400, 975, 495});
        const AngleDiagramGeometry g = angleDiagramGeometry(QRectF(img.rect()));
        for (size_t i = 0; i < labels.size(); ++i) {
            const QRectF& r = labels[i].rect;
            QVERIFY2(QRectF(img.rect()).contains(r), qPrintable(labels[i].text));
            QVERIFY2(!r.intersects(QRectF(close)), qPrintable(labels[i].text));
            for (size_t j = i + 1; j < labels.size(); ++j)
                QVERIFY2(!r.intersects(labels[j].rect), qPrintable(labels[i].text + " / " + labels[j].text));
            // Something was drawn in every label's place.
            int ink = 0;
            for (int y = int(r.top()); y < int(r.bottom()); ++y)
                for (int x = int(r.left()); x < int(r.right()); ++x)
                    ink += img.pixelColor(x, y) != QColor(Qt::white);
            QVERIFY2(ink > 5, qPrintable(labels[i].text));
        }
        // "Target" sits on the block; "Vertical line" runs along the line, taller than wide.
        const QRectF target = labels[3].rect;
        for (QPointF corner :
             {target.topLeft(), target.topRight(), target.bottomLeft(), target.bottomRight()})
            QVERIFY(g.target.containsPoint(corner, Qt::OddEvenFill));
        const QRectF vertical = labels[6].rect;
        QVERIFY(vertical.height() > 2 * vertical.width());
        QVERIFY(vertical.right() < g.focalSpot.x());
    }

    void form1() {
        AngleDiagramScreen d;
        QCOMPARE(d.objectName(), QStringLiteral("Form1"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Definition of Angles"));
        QCOMPARE(d.size(), QSize(457, 417));
        QPushButton* close = d.button("Command1");
        QCOMPARE(close->geometry(), toPixels(Twips{240, 5400, 975, 495}));
        const bool ja = kv::texts::edition() == kv::texts::Edition::Japanese;
        QCOMPARE(close->text(), ja ? QStringLiteral("閉じる") : QStringLiteral("Close"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QImage shot = d.grab().toImage();
        QCOMPARE(shot.pixelColor(440, 400), QColor(Qt::white)); // white background
        const AngleDiagramGeometry g = angleDiagramGeometry(QRectF(d.rect()));
        const QPointF mid = (g.vertical.p1() + g.vertical.p2()) / 2;
        QVERIFY(shot.pixelColor(mid.toPoint()).lightness() < 100); // the vertical line is drawn
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(SpectrumPlotTest)
#include "test_spectrum_plot.moc"

// The X-Y and X-Z plane screens (Form6, Form7): the read-out under the
// pointer, the cross-hairs, the painted cells, and how the results screen
// drives both screens.
#include "kv/common/format.h"
#include "kv/gui/canvas.h"
#include "kv/gui/file_list.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/results/testfiles/testfiles.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/text.h"
#include "kv/workbench/results/ui/dose_colour.h"
#include "kv/workbench/results/ui/plane_screens.h"
#include "kv/workbench/results/ui/results_screen.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

using namespace kv::results;
using kv::gui::Canvas;
using kv::gui::Form;

namespace {

bool japanese() {
    return kv::texts::edition() == kv::texts::Edition::Japanese;
}

// The pointer over a map at (x, y) in its units, as the window system reports
// it: on a whole pixel.
void moveOver(Canvas* map, double x, double y) {
    const QPointF at = map->unitsToPixels({x, y}).toPoint();
    QMouseEvent e(QEvent::MouseMove, at, map->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(map, &e);
}

QString text(const Form& f, const char* box) {
    return f.textBox(box)->text();
}
bool shown(const Form& f, const char* lineName) {
    return f.line(lineName)->isVisible();
}

// Percent doses with a distinct value per voxel of the two planes shown,
// layer 5 and row 80 of a 75 x 150 x 40 grid: primary 10 + ix/2, scatter a
// quarter of the map row (iy in the layer, iz in the row), total their sum.
double primaryAt(int ix) {
    return 10 + 0.5 * ix;
}
double scatterAt(int row) {
    return 0.25 * row;
}
// A side file's uncertainty of each voxel, in percent, different everywhere.
double sigmaAt(int ix, int iy, int iz) {
    return 0.5 + 0.01 * ix + 0.1 * iy + 1.0 * iz;
}
kv::formats::VoxelSigma readOutSigma(const DoseModel& m) {
    kv::formats::VoxelSigma s;
    s.rows = m.GridCountY;
    s.layers = m.GridCountZ;
    for (int iz = 1; iz <= s.layers; ++iz)
        for (int iy = 1; iy <= s.rows; ++iy)
            for (int ix = 1; ix <= 75; ++ix)
                s.percent.push_back(sigmaAt(ix, iy, iz));
    return s;
}

void fillReadOutModel(DoseModel& m) {
    m.GridCountX = 75;
    m.GridCountY = 150;
    m.GridCountZ = 40;
    m.SelectedYIndex = 80;
    m.SelectedZIndex = 5;
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        for (int iy = 1; iy <= m.GridCountY; ++iy)
            for (int ix = 1; ix <= m.GridCountX; ++ix) {
                const int row = iz == 5 ? iy : iz;
                m.DoseGrid(Primary, ix, iy, iz) = primaryAt(ix);
                m.DoseGrid(Scatter, ix, iy, iz) = scatterAt(row);
                m.DoseGrid(Total, ix, iy, iz) = primaryAt(ix) + scatterAt(row);
            }
}

// A level per percent value, far enough apart that neighbours differ.
constexpr double kLevel[] = {95, 85, 75, 65, 55, 45, 35, 25, 15, 7, 2};
QColor level(int k) {
    return doseLevelColourAt(k);
}
const QColor kBackground(224, 224, 224);

// Three columns and three rows of one plane whose cells each get their own
// level: primary of column i level i-1, scatter level i+2, total level i+5,
// row r adding nothing but its own shade through the total of the last row.
void fillPixelModel(DoseModel& m, bool layer) {
    m.GridCountX = 3;
    m.GridCountY = layer ? 3 : 100;
    m.GridCountZ = layer ? 10 : 3;
    m.SelectedZIndex = layer ? 7 : 1;
    m.SelectedYIndex = layer ? 1 : 42;
    for (int r = 1; r <= 3; ++r)
        for (int i = 1; i <= 3; ++i) {
            const int iy = layer ? r : m.SelectedYIndex;
            const int iz = layer ? m.SelectedZIndex : r;
            m.DoseGrid(Primary, i, iy, iz) = kLevel[i - 1];
            m.DoseGrid(Scatter, i, iy, iz) = kLevel[i + 2];
            m.DoseGrid(Total, i, iy, iz) = r == 3 ? kLevel[10] : kLevel[i + 5];
        }
}
// The level index of what a cell holds, as filled above.
int primaryLevel(int i) {
    return i - 1;
}
int scatterLevel(int i) {
    return i + 2;
}
int totalLevel(int i, int r) {
    return r == 3 ? 10 : i + 5;
}

struct Pixel {
    double x, y;
    QColor colour;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Pixel>)

class PlaneScreensTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    void layout() {
        ResultsSession session;
        XYPlaneScreen xy(session);
        XZPlaneScreen xz(session);
        QCOMPARE(xy.objectName(), QStringLiteral("Form6"));
        QCOMPARE(xy.size(), QSize(1132, 786));
        QCOMPARE(xy.picture("Picture3")->geometry(), QRect(48, 88, 609, 609));
        QCOMPARE(xy.picture("Picture3")->innerRect().size(), QSize(605, 605)); // one unit a pixel
        QCOMPARE(xy.button("Command4")->text(),
                 japanese() ? QStringLiteral("閉じる") : QStringLiteral("Close"));
        QCOMPARE(xy.windowTitle(), QStringLiteral(" Dose distribution on the X-Y plane"));
        QVERIFY(xy.option("Option1")->isChecked());
        QVERIFY(xy.label("Label27")->isHidden());
        for (const char* l : {"Line46", "Line49", "Line50"})
            QVERIFY(!shown(xy, l));

        QCOMPARE(xz.objectName(), QStringLiteral("Form7"));
        QCOMPARE(xz.size(), QSize(1158, 665));
        QCOMPARE(xz.picture("Picture3")->geometry(), QRect(64, 72, 609, 249));
        QCOMPARE(xz.picture("Picture4")->geometry(), QRect(64, 360, 609, 249));
        QCOMPARE(xz.windowTitle(), QStringLiteral("Dose distribution on X-Z plane"));
        // The Japanese edition sets the panels 720 twips and the legend 600 lower.
        QCOMPARE(xz.label("Label41")->y(), japanese() ? 96 : 48);
        QCOMPARE(xz.button("Command1")->y(), japanese() ? 568 : 520);
        QCOMPARE(xz.picture("Picture7")->y(), japanese() ? 248 : 208);
        for (const char* l : {"Line46", "Line47", "Line48", "Line49", "Line50"})
            QVERIFY(!shown(xz, l));
        // The legend is there before the screen is first shown.
        QCOMPARE(xz.picture("Picture7")->pixelAt(15, 5), level(0));
        QCOMPARE(xy.picture("Picture7")->pixelAt(15, 105), level(10));
    }

    // The read-out of either screen at the edges of a 75-column grid.
    void readOutEdges_data() {
        QTest::addColumn<bool>("xzScreen");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<int>("ix"); // 0: off the map
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("xText");
        QTest::addColumn<QString>("rowText");
        for (bool xz : {false, true}) {
            const char* s = xz ? "X-Z " : "X-Y ";
            const auto name = [s](const char* n) { return QByteArray(s) + n; };
            QTest::newRow(name("X = 300, outer edge")) << xz << QPointF(300, 20) << 0 << 0 << ""
                                                       << "";
            QTest::newRow(name("X = -300, outer edge")) << xz << QPointF(-300, 20) << 0 << 0 << ""
                                                        << "";
            QTest::newRow(name("X = 299, last column")) << xz << QPointF(299, 20) << 75 << 6 << "7.5"
                                                        << "0.5";
            QTest::newRow(name("X = -10 reads ix 3")) << xz << QPointF(-10, 20) << 3 << 6 << "0.3"
                                                      << "0.5";
            QTest::newRow(name("X = 10 reads ix 3")) << xz << QPointF(10, 20) << 3 << 6 << "0.3"
                                                     << "0.5";
            QTest::newRow(name("on the axis")) << xz << QPointF(0, 0) << 1 << 1 << "0.0"
                                               << "0.0";
            QTest::newRow(name("on a cell edge")) << xz << QPointF(-8, 4) << 3 << 2 << "0.2"
                                                  << "0.1";
            QTest::newRow(name("above the top")) << xz << QPointF(10, -1) << 0 << 0 << ""
                                                 << "";
        }
        // 40 layers: Y = 170 lies on the X-Z picture but below the phantom.
        QTest::newRow("X-Z Y = 170 below 40 layers") << true << QPointF(10, 170) << 0 << 0 << ""
                                                     << "";
        QTest::newRow("X-Z Y = 159 last layer") << true << QPointF(10, 159) << 3 << 40 << "0.3"
                                                << "4.0";
        QTest::newRow("X-Y Y = 170 row 43") << false << QPointF(10, 170) << 3 << 43 << "0.3"
                                            << "4.3";
        QTest::newRow("X-Y Y = 600 below 150 rows") << false << QPointF(10, 600) << 0 << 0 << ""
                                                    << "";
    }
    void readOutEdges() {
        QFETCH(bool, xzScreen);
        QFETCH(QPointF, pointer);
        QFETCH(int, ix);
        QFETCH(int, row);
        QFETCH(QString, xText);
        QFETCH(QString, rowText);
        ResultsSession session;
        fillReadOutModel(session.shown);
        session.voxelSigma = readOutSigma(session.shown);
        XYPlaneScreen xy(session);
        XZPlaneScreen xz(session);
        Form& f = xzScreen ? static_cast<Form&>(xz) : static_cast<Form&>(xy);
        const char* rowBox = xzScreen ? "Text4" : "Text3";
        const char* fixedBox = xzScreen ? "Text3" : "Text4";
        f.textBox(fixedBox)->setText(QStringLiteral("8.0"));
        // A read-out on the map first, so that emptying shows.
        moveOver(f.picture("Picture3"), 50, 50);
        QVERIFY(!text(f, "Text5").isEmpty());

        moveOver(f.picture("Picture3"), pointer.x(), pointer.y());
        QCOMPARE(text(f, "Text2"), xText);
        QCOMPARE(text(f, rowBox), rowText);
        QCOMPARE(text(f, fixedBox), QStringLiteral("8.0")); // the plane's own coordinate stays
        const auto dose = [](double v) { return QString::fromStdString(kv::format(v, " ##0.00")); };
        QCOMPARE(text(f, "Text5"), ix ? dose(primaryAt(ix)) : QString());
        QCOMPARE(text(f, "Text6"), ix ? dose(scatterAt(row)) : QString());
        QCOMPARE(text(f, "Text7"), ix ? dose(primaryAt(ix) + scatterAt(row)) : QString());
        // The voxel's own uncertainty under the total: its row is iy on X-Y (layer 5), iz on X-Z (row 80).
        const double sigma = xzScreen ? sigmaAt(ix, 80, row) : sigmaAt(ix, row, 5);
        QCOMPARE(f.label("Label63")->text(),
                 ix ? QString::fromStdString("\u00b1 " + kv::format(sigma, "0.00") + " %") : QString());
        for (const char* l : {"Line46", "Line49", "Line50"})
            QCOMPARE(shown(f, l), ix != 0);
        // The voxel the doses belong to, on the map's two axes: the boxes round the pointer.
        const auto cm = [](int mm) { return QString::fromStdString(kv::format(mm / 10.0, "#0.0")); };
        const kv::texts::ResultsExtrasTexts& ex = kv::texts::resultsExtrasTexts();
        const QString span = QString::fromStdString(ex.voxelSpan.str())
                                 .replace("{a}", "X")
                                 .replace("{a0}", cm(ix - 1))
                                 .replace("{a1}", cm(ix))
                                 .replace("{b}", xzScreen ? "Z" : "Y")
                                 .replace("{b0}", cm(row - 1))
                                 .replace("{b1}", cm(row));
        const QLabel* voxel = f.label("Label66");
        QCOMPARE(voxel->text(), ix ? span : QString());
        // Tall enough for its line: the Japanese glyphs are not cut at the bottom.
        QVERIFY(voxel->height() >= voxel->fontMetrics().boundingRect(voxel->text()).height());
        QCOMPARE(
            f.label("Label66")->toolTip().contains(QRegularExpression(QStringLiteral("ix %1\\D").arg(ix))),
            ix != 0);
        // A result without the side file shows no uncertainty.
        session.voxelSigma.reset();
        moveOver(f.picture("Picture3"), 50, 50);
        QVERIFY(!text(f, "Text7").isEmpty());
        QCOMPARE(f.label("Label63")->text(), QString());
    }

    void xyCrossHairAndMirrorLine() {
        ResultsSession session;
        fillReadOutModel(session.shown);
        XYPlaneScreen xy(session);
        Canvas* map = xy.picture("Picture3");
        moveOver(map, -10, 20);
        QCOMPARE(xy.line("Line46")->y1(), 20.0);
        QCOMPARE(xy.line("Line50")->x1(), -10.0);
        QCOMPARE(xy.line("Line49")->x1(), 9.0);
        QVERIFY(shown(xy, "Line46") && shown(xy, "Line49") && shown(xy, "Line50"));

        // Switching to total leaves the mirror line as it was, and it follows.
        xy.option("Option2")->click();
        QVERIFY(xy.option("Option2")->isChecked());
        QVERIFY(shown(xy, "Line49"));
        moveOver(map, 50, 30);
        QCOMPARE(xy.line("Line49")->x1(), -51.0);
        QVERIFY(shown(xy, "Line49"));

        // Only a move off the map hides it; in the total display it stays hidden.
        moveOver(map, 301, 30);
        QVERIFY(!shown(xy, "Line46") && !shown(xy, "Line49") && !shown(xy, "Line50"));
        moveOver(map, 50, 30);
        QVERIFY(shown(xy, "Line46") && shown(xy, "Line50"));
        QVERIFY(!shown(xy, "Line49"));
        QCOMPARE(xy.line("Line49")->x1(), -51.0);

        xy.option("Option1")->click();
        moveOver(map, 60, 30);
        QVERIFY(shown(xy, "Line49"));
    }

    void xyHeadingsFollowTheDisplay() {
        ResultsSession session;
        XYPlaneScreen xy(session);
        xy.show();
        xy.option("Option2")->click();
        QVERIFY(xy.label("Label27")->isVisible());
        QVERIFY(!xy.label("Label25")->isVisible() && !xy.label("Label26")->isVisible());
        xy.option("Option1")->click();
        QVERIFY(!xy.label("Label27")->isVisible());
        QVERIFY(xy.label("Label25")->isVisible() && xy.label("Label26")->isVisible());
    }

    void xzCrossHairsAreLinked() {
        ResultsSession session;
        fillReadOutModel(session.shown);
        XZPlaneScreen xz(session);
        moveOver(xz.picture("Picture3"), -30, 50);
        const QStringList upperRead{text(xz, "Text2"), text(xz, "Text4"), text(xz, "Text5"),
                                    text(xz, "Text6"), text(xz, "Text7")};
        moveOver(xz.picture("Picture4"), 200, 10);
        moveOver(xz.picture("Picture4"), -30, 50);
        for (const char* l : {"Line46", "Line47", "Line48", "Line49", "Line50"})
            QVERIFY2(shown(xz, l), l);
        QCOMPARE(xz.line("Line46")->y1(), 50.0);
        QCOMPARE(xz.line("Line47")->y1(), 50.0);
        QCOMPARE(xz.line("Line50")->x1(), -30.0);
        QCOMPARE(xz.line("Line48")->x1(), -30.0);
        QCOMPARE(xz.line("Line49")->x1(), 29.0); // the mirror line lives in the upper map only
        QCOMPARE(xz.line("Line49")->parent(), xz.picture("Picture3"));
        const QStringList lowerRead{text(xz, "Text2"), text(xz, "Text4"), text(xz, "Text5"),
                                    text(xz, "Text6"), text(xz, "Text7")};
        QCOMPARE(lowerRead, upperRead);
        moveOver(xz.picture("Picture4"), -30, 170);
        for (const char* l : {"Line46", "Line47", "Line48", "Line49", "Line50"})
            QVERIFY2(!shown(xz, l), l);
    }

    // Colours of chosen map units after painting; see fillPixelModel.
    void paintedCells_data() {
        QTest::addColumn<int>("display"); // 0 X-Y separate, 1 X-Y total, 2 X-Z upper, 3 X-Z lower
        QTest::addColumn<std::vector<Pixel>>("pixels");
        QTest::newRow("X-Y separate")
            << 0
            << std::vector<Pixel>{{-1, 0, level(primaryLevel(1))}, // left half: primary, from x -1 ..
                                  {-4, 2, level(primaryLevel(1))}, // .. to -4
                                  {-5, 2, level(primaryLevel(2))},
                                  {-12, 12, level(primaryLevel(3))},
                                  {1, 2, level(scatterLevel(1))}, // right half: scatter, x 1 .. 4
                                  {4, 2, level(scatterLevel(1))},
                                  {5, 2, level(scatterLevel(2))},
                                  {12, 12, level(scatterLevel(3))},
                                  {0, 2, kBackground},  // nothing on the axis
                                  {13, 2, kBackground}, // nor past the outermost column
                                  {-13, 2, kBackground},
                                  {2, 13, kBackground}, // nor below the last row
                                  {13, 13, kBackground}};
        QTest::newRow("X-Y total")
            << 1
            << std::vector<Pixel>{
                   {-1, 2, level(totalLevel(1, 1))},
                   {-4, 2, level(totalLevel(1, 1))},
                   {-9, 2, level(totalLevel(3, 1))},
                   {1, 2, level(totalLevel(1, 1))},
                   {4, 2, level(totalLevel(1, 1))},
                   {5, 2, level(totalLevel(2, 1))}, // the one-unit overlap is painted over by the next column
                   {9, 2, level(totalLevel(3, 1))},
                   {13, 2, level(totalLevel(3, 1))}, // only the outermost column shows it
                   {14, 2, kBackground},
                   {-13, 2, kBackground},
                   {0, 2, kBackground},
                   {6, 7, level(totalLevel(2, 2))},
                   {6, 8, level(totalLevel(2, 3))}, // each row paints over the last unit of the one above
                   {6, 12, level(totalLevel(2, 3))},
                   {6, 13, kBackground}};
        QTest::newRow("X-Z upper, separate")
            << 2
            << std::vector<Pixel>{
                   {0, 0, kBackground}, // depth 0 is above the first layer
                   {-1, 1, level(primaryLevel(1))},
                   {-4, 4, level(primaryLevel(1))},
                   {-5, 1, level(primaryLevel(2))},
                   {0, 1, level(scatterLevel(1))}, // right cells start one unit closer, on the axis
                   {3, 1, level(scatterLevel(1))},
                   {4, 1, level(scatterLevel(2))}, // .. and the next column paints over their last unit
                   {8, 1, level(scatterLevel(3))},
                   {12, 12, level(scatterLevel(3))},
                   {13, 12, kBackground},
                   {12, 13, kBackground}};
        QTest::newRow("X-Z lower, total")
            << 3
            << std::vector<Pixel>{
                   {-1, 1, level(totalLevel(1, 1))},
                   {0, 1, level(totalLevel(1, 1))},
                   {4, 1, level(totalLevel(2, 1))},
                   {5, 1, level(totalLevel(2, 1))},
                   {12, 5, level(totalLevel(3, 2))},
                   {13, 5, level(totalLevel(3, 2))}, // the outermost total column is one unit wider
                   {14, 5, kBackground},
                   {-13, 5, kBackground},
                   {6, 9, level(totalLevel(2, 3))},
                   {6, 13, kBackground}};
    }
    void paintedCells() {
        QFETCH(int, display);
        QFETCH(std::vector<Pixel>, pixels);
        ResultsSession session;
        fillPixelModel(session.shown, display < 2);
        XYPlaneScreen xy(session);
        XZPlaneScreen xz(session);
        Canvas* map = nullptr;
        switch (display) {
        case 0:
            xy.DrawXYPlaneSeparate();
            map = xy.picture("Picture3");
            break;
        case 1:
            xy.DrawXYPlaneTotal();
            map = xy.picture("Picture3");
            break;
        case 2:
            xz.DrawXZPlaneSeparate("4.2");
            map = xz.picture("Picture3");
            break;
        default:
            xz.DrawXZPlaneTotal();
            map = xz.picture("Picture4");
            break;
        }
        for (const Pixel& p : pixels)
            QVERIFY2(map->pixelAt(p.x, p.y) == p.colour,
                     qPrintable(QStringLiteral("at %1, %2: %3, not %4")
                                    .arg(p.x)
                                    .arg(p.y)
                                    .arg(map->pixelAt(p.x, p.y).name(), p.colour.name())));
    }

    void ninetyPercentIsRedOnBothScreens() {
        ResultsSession session;
        DoseModel& m = session.shown;
        m.GridCountX = m.GridCountY = m.GridCountZ = 5;
        m.SelectedYIndex = m.SelectedZIndex = 2;
        for (int c : {Total, Primary, Scatter})
            m.DoseGrid(c, 3, 2, 2) = 90.0;
        XYPlaneScreen xy(session);
        XZPlaneScreen xz(session);
        xy.DrawXYPlaneSeparate();
        xz.DrawXZPlaneSeparate("0.2");
        xz.DrawXZPlaneTotal();
        const QColor red(255, 0, 0);
        QCOMPARE(xy.picture("Picture3")->pixelAt(-10, 6), red); // ix 3, iy 2
        QCOMPARE(xz.picture("Picture3")->pixelAt(10, 6), red);  // ix 3, iz 2
        QCOMPARE(xz.picture("Picture4")->pixelAt(-10, 6), red);
        // An empty voxel is painted, not left in the background.
        QCOMPARE(xy.picture("Picture3")->pixelAt(-6, 6), level(10));
    }

    // What the results screen asks of the plane screens, through PlaneScreens.
    void drivenByTheResultsScreen() {
        ResultsSession session;
        fillPixelModel(session.shown, true);
        session.shown.AirKerma = 2;
        session.shown.ReferenceDose = 1;
        session.shown.FcdValue = 65;
        PlaneScreens planes(session);
        planes.modelLoaded();
        XYPlaneScreen& xy = planes.xy();
        XZPlaneScreen& xz = planes.xz();
        QVERIFY(!xy.isVisible() && !xz.isVisible());
        for (Form* f : {static_cast<Form*>(&xy), static_cast<Form*>(&xz)}) {
            QCOMPARE(text(*f, "Text1"), QStringLiteral(" 0.500"));
            QCOMPARE(text(*f, "Text8"), QStringLiteral("65.0"));
        }
        QCOMPARE(text(xz, "Text3"), QStringLiteral("8.0"));
        QCOMPARE(text(xy, "Text4"), QStringLiteral("0"));

        // Opening the X-Y screen from the total display with a read-out standing.
        moveOver(xy.picture("Picture3"), -2, 2);
        xy.option("Option2")->click();
        QVERIFY(shown(xy, "Line49"));
        planes.showXY(" 1.234");
        QVERIFY(xy.isVisible());
        QVERIFY(xy.option("Option1")->isChecked());
        QCOMPARE(text(xy, "Text1"), QStringLiteral(" 1.234"));
        for (const char* box : {"Text2", "Text3", "Text5", "Text6", "Text7"})
            QVERIFY2(text(xy, box).isEmpty(), box);
        QCOMPARE(text(xy, "Text4"), QStringLiteral("0"));
        for (const char* l : {"Line46", "Line49", "Line50"})
            QVERIFY(!shown(xy, l));
        QCOMPARE(xy.picture("Picture3")->pixelAt(-2, 2), level(primaryLevel(1)));

        planes.showXZ();
        QVERIFY(xz.isVisible());
        QCOMPARE(text(xz, "Text3"), QStringLiteral("8.0"));

        // A pick repaints both, shown or hidden, and brings Form6 back to separate.
        planes.hideAll();
        QVERIFY(!xy.isVisible() && !xz.isVisible());
        xy.option("Option2")->click();
        moveOver(xz.picture("Picture3"), -2, 2);
        QVERIFY(!text(xz, "Text5").isEmpty());
        DoseModel& m = session.shown;
        m.SelectedYIndex = 2;
        m.SelectedZIndex = 2;
        for (int c : {Total, Primary, Scatter})
            m.DoseGrid(c, 1, 2, 2) = 90.0;
        planes.picked("0.2", "0.2");
        QCOMPARE(text(xz, "Text3"), QStringLiteral("0.2"));
        for (const char* box : {"Text2", "Text4", "Text5", "Text6", "Text7"})
            QVERIFY2(text(xz, box).isEmpty(), box);
        QCOMPARE(text(xy, "Text4"), QStringLiteral("0.2"));
        QVERIFY(xy.option("Option1")->isChecked());
        QVERIFY(xy.label("Label27")->isHidden() && !xy.label("Label25")->isHidden());
        const QColor red(255, 0, 0);
        QCOMPARE(xy.picture("Picture3")->pixelAt(-2, 6), red); // ix 1, iy 2 of layer 2
        QCOMPARE(xy.picture("Picture3")->pixelAt(-2, 2), level(10));
        QCOMPARE(xz.picture("Picture3")->pixelAt(2, 6), red); // ix 1, iz 2 of row 2
        QCOMPARE(xz.picture("Picture4")->pixelAt(2, 6), red);
        QVERIFY(!xy.isVisible() && !xz.isVisible());

        // "Dose distribution (X-Z)" shows the Y the results screen holds.
        planes.showXZ();
        QCOMPARE(text(xz, "Text3"), QStringLiteral("0.2"));
        planes.hideAll();
    }

    // The whole road: a result file loaded on Form2, its buttons and a pick.
    void resultsScreenDrivesBothScreens() {
        kv::gui::MessageRecorder messages;
        kv::test_support::TempDir dir;
        // Total 100 % in the reference region, 45 % everywhere else; primary 60 %.
        auto r = testfiles::makeResult(
            75, 150, 45,
            [](int c, int, int iy, int iz) {
                const double total = iz == 1 && iy >= 26 && iy <= 125 ? 10.0 : 4.5;
                return c == Primary ? 0.6 * total : 0.4 * total;
            },
            5.0, 65.0);
        testfiles::writeResult(dir.path(), "run.vesk", r);
        ResultsScreen results(QString::fromStdString(dir.path().string()));
        PlaneScreens planes(results.session());
        results.setPlaneViews(&planes);
        results.show();
        QVERIFY(results.fileList("File1")->selectFile(QStringLiteral("run.vesk")));
        QTest::mouseClick(results.button("Command6"), Qt::LeftButton);
        QVERIFY(messages.entries.empty());
        QCOMPARE(text(planes.xz(), "Text3"), QStringLiteral("8.0"));
        QCOMPARE(text(planes.xy(), "Text8"), QStringLiteral("65.0"));
        QCOMPARE(text(planes.xy(), "Text1"), text(results, "Text1"));

        QTest::mouseClick(results.button("Command5"), Qt::LeftButton);
        QVERIFY(planes.xy().isVisible());
        // Layer 1: the reference region is 100 % total, 60 % primary, 40 % scatter.
        QCOMPARE(planes.xy().picture("Picture3")->pixelAt(-2, 4 * 50 - 2), QColor(146, 208, 80));
        QCOMPARE(planes.xy().picture("Picture3")->pixelAt(2, 4 * 50 - 2), QColor(0, 176, 240));
        planes.xy().option("Option2")->click();
        QCOMPARE(planes.xy().picture("Picture3")->pixelAt(2, 4 * 50 - 2), QColor(255, 0, 255));

        QTest::mouseClick(results.button("Command1"), Qt::LeftButton);
        QVERIFY(planes.xz().isVisible());
        // Row 80 at depth 1 mm lies in the reference region; deeper it is 45 %.
        QCOMPARE(planes.xz().picture("Picture4")->pixelAt(-2, 2), QColor(255, 0, 255));
        QCOMPARE(planes.xz().picture("Picture4")->pixelAt(-2, 6), QColor(0, 176, 80));

        // A pick at Y 2.0 cm, Z 1.0 cm: row 20 is outside the region, so 45 % throughout.
        results.pick(-80, 40);
        QCOMPARE(text(planes.xz(), "Text3"), QStringLiteral("2.0"));
        QCOMPARE(text(planes.xy(), "Text4"), QStringLiteral("1.0"));
        QVERIFY(planes.xy().option("Option1")->isChecked());
        QCOMPARE(planes.xz().picture("Picture4")->pixelAt(-2, 2), QColor(0, 176, 80));
        QCOMPARE(planes.xy().picture("Picture3")->pixelAt(-2, 4 * 50 - 2),
                 QColor(0, 112, 192)); // 27 % primary

        QTest::mouseClick(results.button("Command2"), Qt::LeftButton); // "Clear"
        QVERIFY(!planes.xy().isVisible() && !planes.xz().isVisible());
    }

    // A second load while both screens are open: their maps are those of the
    // new file, as a fresh start with that file paints them; a failed load
    // leaves them as they were.
    void openScreensFollowANewLoad() {
        kv::gui::MessageRecorder messages;
        kv::test_support::TempDir dir;
        // A: 100 % in the reference region, 45 % elsewhere, 60 % primary.
        testfiles::writeResult(dir.path(), "a.vesk",
                               testfiles::makeResult(
                                   75, 150, 45,
                                   [](int c, int, int iy, int iz) {
                                       const double total = iz == 1 && iy >= 26 && iy <= 125 ? 10.0 : 4.5;
                                       return c == Primary ? 0.6 * total : 0.4 * total;
                                   },
                                   5.0, 65.0));
        // B: falls with depth and towards the nipple, 30 % primary.
        const auto b = testfiles::makeResult(
            75, 150, 45,
            [](int c, int ix, int iy, int iz) {
                const double total = 10.0 - 0.15 * iz - 0.02 * iy - 0.01 * ix;
                return c == Primary ? 0.3 * total : 0.7 * total;
            },
            5.0, 65.0);
        testfiles::writeResult(dir.path(), "b.vesk", b);
        std::string cut = testfiles::resultText(b);
        dir.write("cut.vesk", cut.substr(0, cut.size() / 2));

        struct Screens {
            ResultsScreen results;
            PlaneScreens planes;
            explicit Screens(const QString& work) : results(work), planes(results.session()) {
                results.setPlaneViews(&planes);
                results.show();
            }
            void load(const char* name) {
                QVERIFY(results.fileList("File1")->selectFile(QString::fromLatin1(name)));
                QTest::mouseClick(results.button("Command6"), Qt::LeftButton);
            }
            void open() {
                QTest::mouseClick(results.button("Command5"), Qt::LeftButton);
                planes.xy().option("Option2")->click(); // the total display stays chosen
                QTest::mouseClick(results.button("Command1"), Qt::LeftButton);
            }
            std::vector<QImage> maps() {
                return {planes.xy().picture("Picture3")->image(), planes.xz().picture("Picture3")->image(),
                        planes.xz().picture("Picture4")->image()};
            }
        };
        const QString work = QString::fromStdString(dir.path().string());

        Screens fresh(work);
        fresh.load("b.vesk");
        fresh.open();
        const std::vector<QImage> ofB = fresh.maps();
        fresh.planes.hideAll();

        Screens s(work);
        s.load("a.vesk");
        s.open();
        QVERIFY(s.planes.xy().isVisible() && s.planes.xz().isVisible());
        const std::vector<QImage> ofA = s.maps();
        moveOver(s.planes.xy().picture("Picture3"), -2, 4 * 50 - 2);
        moveOver(s.planes.xz().picture("Picture4"), -2, 2);
        QVERIFY(!text(s.planes.xy(), "Text2").isEmpty() && !text(s.planes.xz(), "Text2").isEmpty());

        s.load("b.vesk");
        QVERIFY(messages.entries.empty());
        const std::vector<QImage> after = s.maps();
        for (size_t n = 0; n < after.size(); ++n) {
            QVERIFY2(after[n] != ofA[n], qPrintable(QStringLiteral("map %1 still shows file A").arg(n)));
            QVERIFY2(after[n] == ofB[n], qPrintable(QStringLiteral("map %1 is not file B's").arg(n)));
        }
        QVERIFY(s.planes.xy().option("Option2")->isChecked());
        // The read-out and cross-hairs belonged to the old map.
        QVERIFY(text(s.planes.xy(), "Text2").isEmpty() && text(s.planes.xz(), "Text2").isEmpty());
        QVERIFY(!shown(s.planes.xy(), "Line46") && !shown(s.planes.xz(), "Line46"));

        s.load("cut.vesk");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(s.maps() == ofB);
        QCOMPARE(s.results.session().fileName, std::string("b.vesk"));
    }
};

QTEST_MAIN(PlaneScreensTest)
#include "plane_screens_test.moc"

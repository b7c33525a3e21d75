// The results screen Form2, the depth-dose screen Form5 and the dose colour
// scale, driven as a user drives them, on result files written by the tests.
#include "kv/common/format.h"
#include "kv/gui/canvas.h"
#include "kv/gui/file_list.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/results/testfiles/testfiles.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_model.h"
#include "kv/texts/results_screen.h"
#include "kv/texts/text.h"
#include "kv/workbench/results/ui/depth_dose_screen.h"
#include "kv/workbench/results/ui/dose_colour.h"
#include "kv/workbench/results/ui/results_screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <map>

using namespace kv::results;
using kv::gui::Canvas;
using kv::gui::qs;
using kv::test_support::TempDir;

namespace {

// Every call the results screen makes to the plane screens.
struct RecordingPlanes : PlaneViews {
    QStringList calls;
    void modelLoaded() override { calls << "loaded"; }
    void showXZ() override { calls << "xz"; }
    void showXY(std::string_view dose) override { calls << "xy " + qs(dose); }
    void picked(std::string_view y, std::string_view z) override { calls << "picked " + qs(y) + " " + qs(z); }
    void hideAll() override { calls << "hide"; }
};

// Total dose in file units: the reference region of layer 1 holds 10, so a
// voxel of v shows as 10 v percent; rows and layers elsewhere carry chosen values.
constexpr double kRef = 10;
double totalAt(int iy, int iz) {
    if (iz == 1 && iy >= 26 && iy <= 125) return kRef;
    if (iy == 1) return 0.3; // 3 %
    if (iy == 2) return 4.5; // 45 %
    if (iz == 20) {
        switch (iy) {
        case 50:
            return 9.0; // exactly 90 %
        case 51:
            return 0.5; // exactly 5 %
        case 52:
            return 0.501; // 5.01 %
        case 53:
            return 25.0; // 250 %, a hot spot
        case 54:
            return 0.0; // an empty cell
        }
    }
    return 6.5; // 65 %
}
ResultFileContent mapFile(int countY, int countZ) {
    // Primary 60 %, scatter 40 % of each total.
    return testfiles::makeResult(
        75, countY, countZ,
        [](int c, int, int iy, int iz) {
            const double t = totalAt(iy, iz);
            return c == Primary ? 0.6 * t : t - 0.6 * t;
        },
        5.0, 65.0);
}

// Depth dose falling 5 % per layer from 100; the scatter of layer 10 is 0.
ResultFileContent depthFile(int countZ) {
    return testfiles::makeResult(75, 150, countZ, [](int c, int, int, int iz) {
        const double total = 100.0 * std::pow(0.95, iz - 1);
        const double scatter = iz == 10 ? 0.0 : 0.3 * total;
        return c == Primary ? total - scatter : scatter;
    });
}

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// A point inside voxel (iy, iz) on the Y-Z map. The drawing area ends at
// x = -2 (605 units from -607), so the chest-wall voxel shows only in part.
double voxelX(int iy) {
    return -4.0 * iy + 1;
}
double voxelY(int iz) {
    return 4.0 * iz - 2;
}

} // namespace

class ResultsUiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;

    std::unique_ptr<ResultsScreen>
    screenWith(std::initializer_list<std::pair<std::string, ResultFileContent>> files) {
        dir_ = std::make_unique<TempDir>();
        for (const auto& [name, content] : files)
            testfiles::writeResult(dir_->path(), name, content);
        auto s = std::make_unique<ResultsScreen>(QString::fromStdString(dir_->path().string()));
        s->show();
        return s;
    }
    // Loaded screens shared by the rows of a table, one per file.
    struct Loaded {
        std::unique_ptr<TempDir> dir;
        std::unique_ptr<ResultsScreen> screen;
    };
    std::map<std::string, Loaded> loaded_;
    RecordingPlanes sharedPlanes_;
    ResultsScreen& loaded(const std::string& key, const ResultFileContent& content) {
        Loaded& l = loaded_[key];
        if (!l.screen) {
            l.dir = std::make_unique<TempDir>();
            testfiles::writeResult(l.dir->path(), "a.vesk", content);
            l.screen = std::make_unique<ResultsScreen>(QString::fromStdString(l.dir->path().string()));
            l.screen->setPlaneViews(&sharedPlanes_);
            l.screen->show();
            select(*l.screen, "a.vesk");
            ok(*l.screen);
        }
        l.screen->show();
        sharedPlanes_.calls.clear();
        return *l.screen;
    }

    static void select(ResultsScreen& s, const QString& name) {
        QVERIFY(s.fileList("File1")->selectFile(name));
    }
    static void ok(ResultsScreen& s) { QTest::mouseClick(s.button("Command6"), Qt::LeftButton); }
    static QString text(const kv::gui::Form& f, const char* box) { return f.textBox(box)->text(); }

  private slots:
    void initTestCase() { kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk")); }
    void cleanupTestCase() { loaded_.clear(); }
    // Shared screens stay loaded but step aside for the next function's own.
    void cleanup() {
        for (auto& [key, l] : loaded_)
            l.screen->hide();
    }

    void colourLevels_data() {
        QTest::addColumn<double>("percent");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("hot spot") << 250.0 << rgb(255, 0, 255);
        QTest::newRow("just over 90") << 90.001 << rgb(255, 0, 255);
        QTest::newRow("90") << 90.0 << rgb(255, 0, 0);
        QTest::newRow("80") << 80.0 << rgb(255, 192, 0);
        QTest::newRow("70") << 70.0 << rgb(255, 255, 0);
        QTest::newRow("60") << 60.0 << rgb(146, 208, 80);
        QTest::newRow("50") << 50.0 << rgb(0, 176, 80);
        QTest::newRow("40") << 40.0 << rgb(0, 176, 240);
        QTest::newRow("30") << 30.0 << rgb(0, 112, 192);
        QTest::newRow("20") << 20.0 << rgb(112, 48, 160);
        QTest::newRow("10.5") << 10.5 << rgb(112, 48, 160);
        QTest::newRow("10") << 10.0 << rgb(126, 126, 126);
        QTest::newRow("5.01") << 5.01 << rgb(126, 126, 126);
        QTest::newRow("5") << 5.0 << rgb(200, 200, 200);
        QTest::newRow("0") << 0.0 << rgb(200, 200, 200);
        QTest::newRow("negative") << -12.0 << rgb(200, 200, 200);
        QTest::newRow("not a number") << std::nan("") << rgb(200, 200, 200);
    }
    void colourLevels() {
        QFETCH(double, percent);
        QFETCH(QColor, colour);
        QCOMPARE(DoseLevelColour(percent), colour);
    }

    void legendIsPaintedAndKept() {
        auto s = screenWith({});
        Canvas* legend = s->picture("Picture7");
        for (int k = 0; k < kDoseLevels; ++k) {
            QCOMPARE(legend->pixelAt(15, 10.0 * k + 5), doseLevelColourAt(k));
            QCOMPARE(legend->findChild<QLabel*>(QStringLiteral("Legend%1").arg(k + 1))->text(),
                     qs(kv::texts::doseLegendTexts().levels[static_cast<size_t>(k)]));
        }
        QCOMPARE(legend->findChild<QLabel*>("Legend11")->text(), QStringLiteral("0 -  5"));
        QCOMPARE(legend->pixelAt(31, 55), QColor(Qt::white));
        // What the window shows after it was hidden and shown again.
        s->hide();
        s->show();
        const QImage shown = legend->grab().toImage();
        const QPointF p = legend->unitsToPixels({15, 105});
        QCOMPARE(shown.pixelColor(p.toPoint()), rgb(200, 200, 200));
    }

    void beforeLoadTheMapIgnoresTheMouse() {
        auto s = screenWith({{"a.vesk", mapFile(150, 60)}});
        Canvas* map = s->picture("Picture1");
        QVERIFY(!map->isEnabled());
        QVERIFY(!s->button("Command6")->isEnabled());
        for (const char* b : {"Command1", "Command3", "Command5"})
            QVERIFY(!s->button(b)->isEnabled());
        const QPoint at = map->unitsToPixels({-320, 100}).toPoint();
        QTest::mouseMove(map, at);
        QTest::mouseClick(map, Qt::LeftButton, {}, at);
        QVERIFY(text(*s, "Text5").isEmpty());
        QVERIFY(text(*s, "Text3").isEmpty());
        QVERIFY(!s->line("Line45")->isVisible());
    }

    void okWithoutFileAsksForOne() {
        kv::gui::MessageRecorder messages;
        auto s = screenWith({{"a.vesk", mapFile(150, 60)}});
        select(*s, "a.vesk");
        s->fileList("File1")->clearSelection();
        QVERIFY(s->button("Command6")->isEnabled());
        ok(*s);
        QCOMPARE(messages.entries.size(), size_t(1));
        QCOMPARE(messages.entries[0].text, qs(kv::texts::resultsModelTexts().selectFile));
        QVERIFY(!s->picture("Picture1")->isEnabled());
    }

    void previewShowsTheHeader() {
        auto s = screenWith({{"a.vesk", mapFile(150, 60)}});
        Canvas* box = s->picture("Picture2");
        const QColor cyan(192, 255, 255);
        auto inked = [&] {
            const QImage& img = box->image();
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    n += img.pixelColor(x, y) != cyan;
            return n;
        };
        QCOMPARE(inked(), 0);
        select(*s, "a.vesk");
        QVERIFY(inked() > 200);
        QVERIFY(s->button("Command6")->isEnabled());
        QVERIFY(!s->picture("Picture1")->isEnabled()); // a preview loads nothing
    }

    // A header that cannot be read is previewed as far as it goes, then says why.
    void previewSaysWhyAFileCannotBeRead() {
        const std::string whole = testfiles::resultText(mapFile(150, 45));
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        dir_->write("cut.vesk", whole.substr(0, 200));
        std::string word = " * Mammography\r\n";
        for (int i = 0; i < 14; ++i)
            word += "free text\r\n";
        dir_->write("word.vesk", word + "many\r\n");
        s->fileList("File1")->refresh();
        const auto& t = kv::texts::resultsModelTexts();
        const std::pair<const char*, std::string_view> cases[] = {{"cut.vesk", t.reasonEndsEarly},
                                                                  {"word.vesk", t.reasonNotANumber}};
        for (const auto& [name, reason] : cases) {
            select(*s, name);
            const std::vector<QString>& lines = s->previewLines();
            QVERIFY2(lines.size() >= 2, name);
            QCOMPARE(lines[lines.size() - 2], qs(t.cannotRead));
            QCOMPARE(lines.back(), QStringLiteral("   ") + qs(reason));
        }
    }

    void loadPaintsTheMapAndFillsTheFields() {
        kv::gui::MessageRecorder messages;
        RecordingPlanes planes;
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        s->setPlaneViews(&planes);
        select(*s, "a.vesk");
        ok(*s);
        QVERIFY(messages.entries.empty());
        QCOMPARE(text(*s, "Text1"), QStringLiteral(" 2.000")); // 10 / air kerma 5
        QCOMPARE(text(*s, "Text7"), QStringLiteral("65.0"));
        QCOMPARE(text(*s, "Text3"), QStringLiteral("8.0"));
        QCOMPARE(text(*s, "Text4"), QStringLiteral("0"));
        QCOMPARE(planes.calls, QStringList{"loaded"});
        QVERIFY(s->session().loaded);
        for (const char* b : {"Command1", "Command3", "Command5"})
            QVERIFY(s->button(b)->isEnabled());

        Canvas* map = s->picture("Picture1");
        const struct {
            int iy, iz;
            QColor colour;
        } voxels[] = {
            {80, 1, rgb(255, 0, 255)},    // 100 %
            {1, 30, rgb(200, 200, 200)},  // 3 %
            {2, 30, rgb(0, 176, 80)},     // 45 %
            {50, 20, rgb(255, 0, 0)},     // 90 %
            {51, 20, rgb(200, 200, 200)}, // 5 %
            {52, 20, rgb(126, 126, 126)}, // 5.01 %
            {53, 20, rgb(255, 0, 255)},   // 250 %
            {54, 20, rgb(200, 200, 200)}, // empty
            {150, 45, rgb(255, 255, 0)},  // 65 %, the last voxel
        };
        for (const auto& v : voxels)
            QVERIFY2(map->pixelAt(voxelX(v.iy), voxelY(v.iz)) == v.colour,
                     qPrintable(QStringLiteral("voxel %1, %2: %3")
                                    .arg(v.iy)
                                    .arg(v.iz)
                                    .arg(s->session().shown.DoseGrid(Total, 1, v.iy, v.iz))));
        // Below the last layer the map keeps its background.
        QCOMPARE(map->pixelAt(voxelX(80), voxelY(46)), rgb(224, 224, 224));
        // Voxels meet without a gap: both edge pixels of a box are painted.
        QCOMPARE(map->pixelAt(-4 * 50, 4 * 20), rgb(255, 0, 0));
        QCOMPARE(map->pixelAt(-4 * 49 - 1, 4 * 19 + 1), rgb(255, 0, 0));
        QVERIFY(s->line("Line45")->isVisible());
        QCOMPARE(s->line("Line45")->x1(), -320.0);
        QCOMPARE(s->line("Line51")->y1(), 1.0);

        // Form5 carries copies of the texts.
        DepthDoseScreen& pdd = s->depthDoseScreen();
        QCOMPARE(text(pdd, "Text1"), text(*s, "Text1"));
        QCOMPARE(text(pdd, "Text8"), text(*s, "Text7"));
        QCOMPARE(text(pdd, "Text7"), text(*s, "Text8"));
        QCOMPARE(text(pdd, "Text2"),
                 QString::fromStdString(kv::format(s->session().shown.MeanGlandDose, " #00.0")));

        // Shown again after being hidden, the map is still there.
        s->hide();
        s->show();
        const QImage shown = map->grab().toImage();
        QCOMPARE(shown.pixelColor(map->unitsToPixels({voxelX(50), voxelY(20)}).toPoint()), rgb(255, 0, 0));
    }

    void failedLoadKeepsTheMapAndFields() {
        kv::gui::MessageRecorder messages;
        RecordingPlanes planes;
        const ResultFileContent good = mapFile(150, 45);
        ResultFileContent other = mapFile(150, 45);
        other.airKerma = 0; // fails after the whole file was read
        auto s = screenWith({{"a.vesk", good}, {"b.vesk", other}});
        s->setPlaneViews(&planes);
        // A file that stops in the middle of its scatter block.
        const std::string full = testfiles::resultText(good);
        dir_->write("c.vesk", full.substr(0, full.size() - 20000));
        s->fileList("File1")->refresh();

        select(*s, "a.vesk");
        ok(*s);
        QTest::mouseClick(s->picture("Picture1"), Qt::LeftButton, {},
                          s->picture("Picture1")->unitsToPixels({-200, 100}).toPoint());
        const QStringList fields{text(*s, "Text1"), text(*s, "Text3"), text(*s, "Text4"), text(*s, "Text7"),
                                 text(*s, "Text8")};
        const QImage map = s->picture("Picture1")->image();
        const QImage graph = s->depthDoseScreen().picture("Picture1")->image();
        const int yIndex = s->session().shown.SelectedYIndex;
        for (const char* bad : {"b.vesk", "c.vesk"}) {
            messages.entries.clear();
            planes.calls.clear();
            select(*s, bad);
            ok(*s);
            QCOMPARE(messages.entries.size(), size_t(1));
            QCOMPARE(messages.entries[0].text, qs(kv::texts::resultsModelTexts().cannotRead));
            QCOMPARE(messages.entries[0].icon, kv::gui::MessageIcon::Warning);
            QCOMPARE((QStringList{text(*s, "Text1"), text(*s, "Text3"), text(*s, "Text4"), text(*s, "Text7"),
                                  text(*s, "Text8")}),
                     fields);
            QCOMPARE(s->picture("Picture1")->image(), map);
            QCOMPARE(s->depthDoseScreen().picture("Picture1")->image(), graph);
            QCOMPARE(s->session().shown.SelectedYIndex, yIndex);
            QCOMPARE(s->session().shown.DoseGrid(Total, 1, 50, 20), 90.0);
            QVERIFY(s->line("Line45")->isVisible());
            QVERIFY(planes.calls.isEmpty());
        }
    }

    void readOut_data() {
        QTest::addColumn<int>("countY");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("yText");
        QTest::addColumn<QString>("zText");
        QTest::addColumn<QString>("dose");
        QTest::newRow("x -3 reads row 1") << 151 << -3.0 << 118.0 << "0.1"
                                          << "3.0"
                                          << "3.00";
        QTest::newRow("x -4 reads row 2") << 151 << -4.0 << 118.0 << "0.1"
                                          << "3.0"
                                          << "45.00";
        QTest::newRow("chest wall") << 151 << 0.0 << 0.0 << "0.0"
                                    << "0.0"
                                    << "3.00";
        QTest::newRow("last row") << 151 << -600.0 << 118.0 << "15.0"
                                  << "3.0"
                                  << "65.00";
        QTest::newRow("left edge past the model") << 151 << -604.0 << 118.0 << ""
                                                  << ""
                                                  << "";
        QTest::newRow("right of the map") << 151 << 0.5 << 118.0 << ""
                                          << ""
                                          << "";
        QTest::newRow("above the map") << 151 << -100.0 << -1.0 << ""
                                       << ""
                                       << "";
        QTest::newRow("bottom of the last layer") << 151 << -100.0 << 180.0 << "2.5"
                                                  << "4.5"
                                                  << "0.00";
        QTest::newRow("below the last layer") << 151 << -100.0 << 181.0 << ""
                                              << ""
                                              << "";
        QTest::newRow("100 rows: edge reads") << 100 << -400.0 << 118.0 << "10.0"
                                              << "3.0"
                                              << "0.00";
        QTest::newRow("100 rows: beyond") << 100 << -401.0 << 118.0 << ""
                                          << ""
                                          << "";
        QTest::newRow("a hot spot") << 151 << -4.0 * 53 + 1 << 4.0 * 19 + 0.5 << "5.3"
                                    << "1.9"
                                    << "250.00";
    }
    void readOut() {
        QFETCH(int, countY);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, yText);
        QFETCH(QString, zText);
        QFETCH(QString, dose);
        ResultsScreen& s = loaded("map " + std::to_string(countY), mapFile(countY, 45));
        s.readOut(-100, 100); // something to empty
        QVERIFY(!text(s, "Text6").isEmpty());
        s.readOut(x, y);
        QCOMPARE(text(s, "Text5"), yText);
        QCOMPARE(text(s, "Text2"), zText);
        QCOMPARE(text(s, "Text6"), dose);
    }

    // Two pointer positions that both read "Z = 1.0" lie in two voxels; the note says which.
    void readOutNamesTheVoxel_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("zText");
        QTest::addColumn<int>("iy");
        QTest::addColumn<int>("iz");
        QTest::newRow("just above 1 cm") << -3.0 << 39.5 << "1.0" << 1 << 10;
        QTest::newRow("just below 1 cm") << -3.0 << 40.5 << "1.0" << 1 << 11;
        QTest::newRow("x -4, second row") << -4.0 << 0.0 << "0.0" << 2 << 1;
        QTest::newRow("last row, 3 cm") << -600.0 << 118.0 << "3.0" << 151 << 30;
        QTest::newRow("off the map") << 1.0 << 118.0 << "" << 0 << 0;
    }
    void readOutNamesTheVoxel() {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, zText);
        QFETCH(int, iy);
        QFETCH(int, iz);
        ResultsScreen& s = loaded("map 151", mapFile(151, 45));
        s.readOut(-100, 100); // something to empty
        s.readOut(x, y);
        QCOMPARE(text(s, "Text2"), zText);
        const auto cm = [](int mm) { return qs(kv::format(mm / 10.0, "#0.0")); };
        const QString span = qs(kv::texts::resultsExtrasTexts().voxelSpan)
                                 .replace("{a}", "Y")
                                 .replace("{a0}", cm(iy - 1))
                                 .replace("{a1}", cm(iy))
                                 .replace("{b}", "Z")
                                 .replace("{b0}", cm(iz - 1))
                                 .replace("{b1}", cm(iz));
        const QLabel* voxel = s.label("Label66");
        QCOMPARE(voxel->text(), iy ? span : QString());
        QVERIFY(voxel->height() >= voxel->fontMetrics().boundingRect(voxel->text()).height());
        QCOMPARE(s.label("Label66")->toolTip().contains(
                     QRegularExpression(QStringLiteral("iy %1\\D+iz %2\\D").arg(iy).arg(iz))),
                 iy != 0);
    }

    void readOutFollowsThePointer() {
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        select(*s, "a.vesk");
        ok(*s);
        Canvas* map = s->picture("Picture1");
        QTest::mouseMove(map, map->unitsToPixels({-8, 118}).toPoint());
        QCOMPARE(text(*s, "Text5"), QStringLiteral("0.2"));
        QCOMPARE(text(*s, "Text6"), QStringLiteral("65.00"));
    }

    // A pick selects the voxel the read-out shows under the pointer: Int(Y x 10) + 1
    // and Int(Z x 10) + 1, kept within the phantom (100 rows, 45 layers here).
    void pick_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("yMarker");
        QTest::addColumn<bool>("zMarker");
        QTest::addColumn<QString>("yText");
        QTest::addColumn<QString>("zText");
        QTest::addColumn<int>("yIndex");
        QTest::addColumn<int>("zIndex");
        QTest::addColumn<bool>("note"); // beyond the phantom: said beside the read-out
        // Before each pick the screen stands at x -200, y 100 (5.0, 2.5; 51, 26).
        QTest::newRow("8 cm, surface") << -320.0 << 0.0 << true << true << "8.0"
                                       << "0.0" << 81 << 1 << false;
        QTest::newRow("chest-wall millimetre") << -1.0 << 100.0 << true << true << "0.0"
                                               << "2.5" << 1 << 26 << false;
        QTest::newRow("chest wall") << 0.0 << 100.0 << true << true << "0.0"
                                    << "2.5" << 1 << 26 << false;
        QTest::newRow("x -4, on an edge") << -4.0 << 100.0 << true << true << "0.1"
                                          << "2.5" << 2 << 26 << false;
        QTest::newRow("x -3, inside the first row") << -3.0 << 1.0 << true << true << "0.1"
                                                    << "0.0" << 1 << 1 << false;
        QTest::newRow("deepest layer, inside") << -100.0 << 179.0 << true << true << "2.5"
                                               << "4.5" << 26 << 45 << false;
        QTest::newRow("just below the phantom") << -100.0 << 180.0 << true << true << "2.5"
                                                << "4.5" << 26 << 45 << true;
        QTest::newRow("6 cm deep") << -100.0 << 240.0 << true << true << "2.5"
                                   << "6.0" << 26 << 45 << true;
        QTest::newRow("15 cm") << -600.0 << 100.0 << true << true << "15.0"
                               << "2.5" << 100 << 26 << true;
        QTest::newRow("left of the map") << -601.0 << 100.0 << false << true << "5.0"
                                         << "2.5" << 51 << 26 << false;
        QTest::newRow("right of the map") << 0.5 << 100.0 << false << true << "5.0"
                                          << "2.5" << 51 << 26 << false;
        QTest::newRow("below 6 cm") << -100.0 << 241.0 << true << false << "5.0"
                                    << "2.5" << 51 << 26 << false;
        QTest::newRow("above the surface") << -100.0 << -1.0 << true << false << "5.0"
                                           << "2.5" << 51 << 26 << false;
    }
    void pick() {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, yMarker);
        QFETCH(bool, zMarker);
        QFETCH(QString, yText);
        QFETCH(QString, zText);
        QFETCH(int, yIndex);
        QFETCH(int, zIndex);
        QFETCH(bool, note);
        // 100 rows: a pick still reaches 15 cm.
        ResultsScreen& screen = loaded("map 100", mapFile(100, 45));
        ResultsScreen* s = &screen;
        RecordingPlanes& planes = sharedPlanes_;
        s->pick(-200, 100);
        planes.calls.clear();
        s->pick(x, y);
        QCOMPARE(s->line("Line45")->isVisible(), yMarker);
        QCOMPARE(s->line("Line51")->isVisible(), zMarker);
        QCOMPARE(text(*s, "Text3"), yText);
        QCOMPARE(text(*s, "Text4"), zText);
        QCOMPARE(s->session().shown.SelectedYIndex, yIndex);
        QCOMPARE(s->session().shown.SelectedZIndex, zIndex);
        QCOMPARE(!s->label("Label65")->text().isEmpty(), note);
        if (yMarker && zMarker) {
            QCOMPARE(s->line("Line45")->x1(), x);
            QCOMPARE(s->line("Line51")->y1(), y);
            QCOMPARE(planes.calls, QStringList{"picked " + yText + " " + zText});
            // The read-out at the same point shows the voxel the planes now cut.
            Canvas* map = s->picture("Picture1");
            QTest::mouseMove(map, map->unitsToPixels({x, y}).toPoint());
            if (!note && x <= -1)
                QCOMPARE(text(*s, "Text6"),
                         qs(kv::format(s->session().shown.DoseGrid(Total, 1, yIndex, zIndex), "##0.00")));
        } else {
            QVERIFY(planes.calls.isEmpty());
        }
    }

    void rightClickOpensTheMenuWithoutPicking() {
        RecordingPlanes planes;
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        s->setPlaneViews(&planes);
        select(*s, "a.vesk");
        ok(*s);
        planes.calls.clear();
        Canvas* map = s->picture("Picture1");
        QTest::mouseClick(map, Qt::RightButton, {}, map->unitsToPixels({-200, 100}).toPoint());
        QCOMPARE(text(*s, "Text3"), QStringLiteral("8.0")); // as the load left it
        QCOMPARE(s->session().shown.SelectedYIndex, 80);
        QCOMPARE(s->session().shown.SelectedZIndex, 1);
        QVERIFY(planes.calls.isEmpty());
        QCOMPARE(s->line("Line45")->x1(), -320.0);
        QTest::mouseClick(map, Qt::LeftButton, {}, map->unitsToPixels({-320, 0}).toPoint());
        QCOMPARE(text(*s, "Text3"), QStringLiteral("8.0"));
        QCOMPARE(text(*s, "Text4"), QStringLiteral("0.0"));
        QCOMPARE(s->session().shown.SelectedYIndex, 81);
        QCOMPARE(s->session().shown.SelectedZIndex, 1);
        QCOMPARE(planes.calls.last(), QStringLiteral("picked 8.0 0.0"));
    }

    void aNewLoadClearsThePointerReadOut() {
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}, {"b.vesk", mapFile(150, 30)}});
        select(*s, "a.vesk");
        ok(*s);
        Canvas* map = s->picture("Picture1");
        QTest::mouseMove(map, map->unitsToPixels({-200, 100}).toPoint());
        QVERIFY(!text(*s, "Text6").isEmpty());
        s->pick(-100, 230); // below the 4.5 cm phantom
        QVERIFY(!s->label("Label65")->text().isEmpty());
        select(*s, "b.vesk");
        ok(*s);
        for (const char* name : {"Text2", "Text5", "Text6"})
            QCOMPARE(text(*s, name), QString());
        QCOMPARE(s->label("Label65")->text(), QString());
    }

    void buttonsDriveTheOtherScreens() {
        RecordingPlanes planes;
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        s->setPlaneViews(&planes);
        select(*s, "a.vesk");
        ok(*s);
        planes.calls.clear();
        QTest::mouseClick(s->button("Command1"), Qt::LeftButton);
        QTest::mouseClick(s->button("Command5"), Qt::LeftButton);
        QCOMPARE(planes.calls, (QStringList{"xz", "xy " + text(*s, "Text1")}));

        DepthDoseScreen& pdd = s->depthDoseScreen();
        pdd.readOut(1250, 3000);
        QVERIFY(pdd.line("Line1")->isVisible());
        QTest::mouseClick(s->button("Command3"), Qt::LeftButton);
        QVERIFY(pdd.isVisible());
        QVERIFY(!pdd.line("Line1")->isVisible()); // the graph was drawn again
        QVERIFY(text(pdd, "Text6").isEmpty());

        int airKermaHidden = 0;
        s->hideAirKermaScreen = [&] { ++airKermaHidden; };
        planes.calls.clear();
        QTest::mouseClick(s->button("Command4"), Qt::LeftButton);
        QVERIFY(!s->isVisible());
        QVERIFY(!pdd.isVisible());
        QCOMPARE(planes.calls, QStringList{"hide"});
        QCOMPARE(airKermaHidden, 1);
    }

    void clearEmptiesTheScreen() {
        RecordingPlanes planes;
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        s->setPlaneViews(&planes);
        int methodHidden = 0;
        s->hideMethodScreen = [&] { ++methodHidden; };
        select(*s, "a.vesk");
        ok(*s);
        s->readOut(-100, 100);
        QTest::mouseClick(s->button("Command3"), Qt::LeftButton);
        testfiles::writeResult(dir_->path(), "new.vesk", mapFile(150, 45));
        planes.calls.clear();
        QTest::mouseClick(s->button("Command2"), Qt::LeftButton);

        for (const char* box : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
            QVERIFY2(text(*s, box).isEmpty(), box);
        QCOMPARE(s->picture("Picture1")->pixelAt(voxelX(50), voxelY(20)), rgb(224, 224, 224));
        QCOMPARE(s->picture("Picture2")->pixelAt(300, 300), rgb(192, 255, 255));
        QVERIFY(!s->line("Line45")->isVisible());
        QVERIFY(!s->line("Line51")->isVisible());
        QVERIFY(!s->picture("Picture1")->isEnabled());
        for (const char* b : {"Command1", "Command3", "Command5"})
            QVERIFY(!s->button(b)->isEnabled());
        QVERIFY(s->button("Command6")->isEnabled());
        QVERIFY(s->fileList("File1")->fileNames().contains("new.vesk"));
        QCOMPARE(s->session().shown.DoseGrid(Total, 1, 50, 20), 0.0);
        QVERIFY(!s->depthDoseScreen().isVisible());
        QCOMPARE(planes.calls, QStringList{"hide"});
        QCOMPARE(methodHidden, 1);
        // The legend stays.
        QCOMPARE(s->picture("Picture7")->pixelAt(15, 5), rgb(255, 0, 255));
    }

    void openingFromTheMenuStartsEmpty() {
        auto s = screenWith({{"a.vesk", mapFile(150, 45)}});
        select(*s, "a.vesk");
        ok(*s);
        s->readOut(-100, 100);
        s->hide();
        s->openFromMenu();
        QVERIFY(s->isVisible());
        for (const char* box : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
            QVERIFY2(text(*s, box).isEmpty(), box);
        QCOMPARE(s->picture("Picture1")->pixelAt(voxelX(50), voxelY(20)), rgb(224, 224, 224));
        QCOMPARE(s->session().shown.DoseGrid(Total, 1, 50, 20), 0.0);
        QVERIFY(!s->picture("Picture1")->isEnabled());
    }

    void depthDoseReadOut_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("range"); // empty: off the graph
        QTest::addColumn<int>("layer");
        QTest::newRow("1250") << 1250.0 << 3000.0 << "12 - 13" << 13;
        QTest::newRow("first layer") << 1.0 << 3000.0 << "0 - 1" << 1;
        QTest::newRow("last layer") << 4499.0 << 3000.0 << "44 - 45" << 45;
        QTest::newRow("x 0") << 0.0 << 3000.0 << "" << 0;
        QTest::newRow("phantom surface") << 4500.0 << 3000.0 << "" << 0;
        QTest::newRow("grid beyond the phantom") << 5500.0 << 3000.0 << "" << 0;
        QTest::newRow("top line") << 1250.0 << 6908.0 << "" << 0;
        QTest::newRow("just under the top") << 1250.0 << 6907.0 << "12 - 13" << 13;
        QTest::newRow("y 0") << 1250.0 << 0.0 << "" << 0;
    }
    void depthDoseReadOut() {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, range);
        QFETCH(int, layer);
        ResultsScreen& screen = loaded("depth 45", depthFile(45));
        ResultsScreen* s = &screen;
        DepthDoseScreen& pdd = s->depthDoseScreen();
        pdd.readOut(2050, 3000); // something to empty
        pdd.readOut(x, y);
        QCOMPARE(text(pdd, "Text6"), range);
        QCOMPARE(pdd.line("Line1")->isVisible(), !range.isEmpty());
        if (range.isEmpty()) {
            for (const char* l : {"Line2", "Line3", "Line4"})
                QVERIFY(!pdd.line(l)->isVisible());
            for (const char* box : {"Text3", "Text4", "Text5"})
                QVERIFY(text(pdd, box).isEmpty());
            return;
        }
        const DoseModel& m = s->session().shown;
        QCOMPARE(pdd.line("Line1")->x1(), x);
        const char* boxes[] = {"Text3", "Text4", "Text5"};
        const char* markers[] = {"Line2", "Line3", "Line4"};
        for (size_t c = 0; c < 3; ++c) {
            const double v = m.DepthDose[c][static_cast<size_t>(layer)];
            QCOMPARE(text(pdd, boxes[c]), QString::fromStdString(kv::format(v, "#0.0")));
            QVERIFY(pdd.line(markers[c])->isVisible());
            QVERIFY(std::abs(pdd.line(markers[c])->y1() - 1000 * std::log(10 * v)) < 1e-9);
        }
    }

    void depthDoseMarkerWithoutLogarithmIsHidden() {
        ResultsScreen* s = &loaded("depth 45", depthFile(45));
        DepthDoseScreen& pdd = s->depthDoseScreen();
        pdd.readOut(950, 3000); // layer 10: no scatter
        QCOMPARE(text(pdd, "Text6"), QStringLiteral("9 - 10"));
        QCOMPARE(text(pdd, "Text5"), QStringLiteral("0.0"));
        QVERIFY(!pdd.line("Line4")->isVisible());
        QVERIFY(pdd.line("Line2")->isVisible());
        QVERIFY(pdd.line("Line3")->isVisible());
    }

    void depthDoseGraphIsPainted() {
        ResultsScreen* s = &loaded("depth 45", depthFile(45));
        const DoseModel& m = s->session().shown;
        QCOMPARE(m.DepthDose[0][1], 100.0);
        Canvas* g = s->depthDoseScreen().picture("Picture1");
        const QColor red(255, 0, 0), blue(0, 0, 255), cyan(0, 128, 128), grey(128, 128, 128);
        // The total curve starts at the top edge of the plot.
        QCOMPARE(g->pixelAt(50, 1000 * std::log(1000.0)), red);
        // The phantom surface at 4.5 cm; the 2 mm grid beyond it.
        QCOMPARE(g->pixelAt(4500, 3000), QColor(Qt::black));
        QCOMPARE(g->pixelAt(5000, 2000), QColor(Qt::black));
        QCOMPARE(g->pixelAt(5200, 2000), grey);
        // The curves at the middle of layer 20 (no curve ends past 4450).
        const auto yOf = [](double p) { return 1000 * std::log(10 * p); };
        QCOMPARE(g->pixelAt(1950, yOf(m.DepthDose[1][20])), blue);
        QCOMPARE(g->pixelAt(1950, yOf(m.DepthDose[2][20])), cyan);
        QCOMPARE(g->pixelAt(4700, yOf(m.DepthDose[0][45])), QColor(Qt::white));
        // The scatter curve runs flat over layer 10, which has no scatter.
        const double flat = yOf(m.DepthDose[2][9]);
        QCOMPARE(g->pixelAt(900, flat), cyan);
        QVERIFY(g->pixelAt(900, yOf(m.DepthDose[2][11]) + 60) != cyan);
        // The mean line: red with a blue dash-dot over it.
        const double mean = yOf(m.MeanGlandDose);
        int reds = 0, blues = 0;
        for (int x = 100; x < 6000; x += 7) {
            const QColor c = g->pixelAt(x, mean);
            reds += c == red;
            blues += c == blue;
        }
        QVERIFY(reds > 50);
        QVERIFY(blues > 50);
        // The legend box is white inside.
        QCOMPARE(g->pixelAt(3900, 400), QColor(Qt::white));
    }
};

QTEST_MAIN(ResultsUiTest)
#include "test_results_ui.moc"

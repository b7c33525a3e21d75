// What the result screens offer beyond their fixed layout: the loaded file's
// name in every caption, the stated uncertainties, the AGD for a measured air
// kerma, the export menus, the depth-dose overlay and a window that fits.
#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/formats/run_header.h"
#include "kv/formats/voxel_sigma_file.h"
#include "kv/gui/file_list.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/results/testfiles/testfiles.h"
#include "kv/texts/depth_dose.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_screen.h"
#include "kv/workbench/results/ui/depth_dose_screen.h"
#include "kv/workbench/results/ui/picture_export.h"
#include "kv/workbench/results/ui/results_screen.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>

using namespace kv::results;
using kv::gui::qs;
using kv::test_support::TempDir;

namespace {

ResultFileContent falling(int layers, double slope, std::optional<std::pair<double, double>> sigma) {
    auto r = testfiles::makeResult(
        75, 150, layers,
        [slope](int c, int ix, int iy, int iz) {
            return (c == Primary ? 2.0 : 0.8) * std::exp(-slope * iz) * (1 + 0.002 * ix + 0.0003 * iy);
        },
        3.0);
    if (sigma) r.description[4] = kv::formats::uncertaintyLine(sigma->first, sigma->second);
    return r;
}

QString title(const QWidget& w) {
    return w.windowTitle();
}

double number(const QString& s) {
    const std::string t = s.toStdString();
    double v = std::nan("");
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
}

QList<QStringList> readCsv(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QList<QStringList> rows;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty()) rows << QString::fromUtf8(line.trimmed()).split(',');
    return rows;
}

} // namespace

class ResultsExtrasTest : public QObject {
    Q_OBJECT

    TempDir dir_;
    QString path(const char* name) const { return QString::fromStdString((dir_.path() / name).string()); }
    static void load(ResultsScreen& s, const char* name) {
        QVERIFY(s.fileList("File1")->selectFile(QString::fromLatin1(name)));
        QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    }
    static PictureExport* exporter(kv::gui::Canvas* c) { return c->findChild<PictureExport*>(); }

  private slots:
    void initTestCase() {
        kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk"));
        testfiles::writeResult(dir_.path(), "a.vesk", falling(30, 0.05, std::pair{0.0012, 0.0007}));
        testfiles::writeResult(dir_.path(), "b.vesk", falling(45, 0.09, std::nullopt));
        dir_.write("bad.vesk", " * Mammography\r\nnot a result\r\n");
    }

    void fileNameAfterALoadAndAFailedLoad() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        const QString form2 = qs(kv::texts::resultsScreenTexts().caption);
        const QString form5 = qs(kv::texts::depthDoseTexts().caption);
        QCOMPARE(title(s), form2);
        load(s, "a.vesk");
        QCOMPARE(title(s), form2 + " - a.vesk");
        QCOMPARE(title(s.depthDoseScreen()), form5 + " - a.vesk");
        QVERIFY(title(s.planes().xy()).endsWith(" - a.vesk"));
        QVERIFY(title(s.planes().xz()).endsWith(" - a.vesk"));
        // A click in the list only previews.
        QVERIFY(s.fileList("File1")->selectFile(QStringLiteral("b.vesk")));
        QCOMPARE(title(s), form2 + " - a.vesk");
        // A failed load leaves the name of what is still shown.
        load(s, "bad.vesk");
        QCOMPARE(messages.entries.size(), size_t{1});
        for (QWidget* w :
             std::initializer_list<QWidget*>{&s, &s.depthDoseScreen(), &s.planes().xy(), &s.planes().xz()})
            QVERIFY2(title(*w).endsWith(" - a.vesk"), qPrintable(title(*w)));
        load(s, "b.vesk");
        for (QWidget* w :
             std::initializer_list<QWidget*>{&s, &s.depthDoseScreen(), &s.planes().xy(), &s.planes().xz()})
            QVERIFY2(title(*w).endsWith(" - b.vesk"), qPrintable(title(*w)));
        // "Clear": Form2 shows no file any more.
        QTest::mouseClick(s.button("Command2"), Qt::LeftButton);
        QCOMPARE(title(s), form2);
    }

    void uncertaintyWithAndWithoutTheLine() {
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        QCOMPARE(s.label("Label61")->text(), QStringLiteral("\u00b1 0.12 %"));
        QCOMPARE(s.label("Label62")->text(), QStringLiteral("\u00b1 0.07 %"));
        QCOMPARE(s.depthDoseScreen().label("Label13")->text(), QStringLiteral("\u00b1 0.12 %"));
        QVERIFY(s.depthDoseScreen().textBox("Text7")->toolTip().contains(QStringLiteral("\u00b1 0.07 %")));
        QCOMPARE(s.textBox("Text8")->toolTip(), qs(kv::texts::resultsExtrasTexts().sagdUnitTip));
        load(s, "b.vesk");
        QCOMPARE(s.label("Label61")->text(), QString());
        QCOMPARE(s.label("Label62")->text(), QString());
        QCOMPARE(s.depthDoseScreen().label("Label13")->text(), QString());
        QVERIFY(!s.depthDoseScreen().textBox("Text7")->toolTip().contains(QStringLiteral("\u00b1")));
    }

    // The Y-Z read-out's "± x %" comes from a side file bound to the file
    // shown; a file without one shows none.
    void voxelUncertaintyOfTheSideFile() {
        kv::formats::ResultFileHead head;
        {
            kv::RecordReader in(dir_.path(), "a.vesk", kv::formats::kMaxResultFileBytes);
            QCOMPARE(kv::formats::readResultHead(in, head), kv::formats::LoadFailure::None);
        }
        kv::formats::VoxelSigma sigma;
        sigma.resultSha256 = kv::sha256Hex(dir_.read("a.vesk"));
        sigma.histories = static_cast<uint64_t>(head.histories);
        sigma.rows = head.countY;
        sigma.layers = head.countZ;
        for (int iz = 1; iz <= head.countZ; ++iz)
            for (int iy = 1; iy <= head.countY; ++iy)
                for (int ix = 1; ix <= 75; ++ix)
                    sigma.percent.push_back(ix == 1 ? 0.25 * iz + 0.001 * iy : 99.0);
        kv::formats::writeVoxelSigmaFile(dir_.path(), "a.vesk", sigma);
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        s.readOut(-252, 61); // iy 64, iz 16
        QCOMPARE(s.label("Label63")->text(), QStringLiteral("\u00b1 4.06 %"));
        QCOMPARE(s.label("Label63")->toolTip(), qs(kv::texts::resultsExtrasTexts().voxelSigmaTip));
        // A click where the pointer stands keeps the voxel's "±"; a pick below the
        // phantom says so in a note of its own and leaves the read-out alone.
        for (const auto& [x, y, note] : {std::tuple{-252.0, 61.0, false}, std::tuple{-252.0, 239.0, true}}) {
            s.readOut(-252, 61);
            s.pick(x, y);
            QCOMPARE(s.label("Label63")->text(), QStringLiteral("\u00b1 4.06 %"));
            QCOMPARE(!s.label("Label65")->text().isEmpty(), note);
            kv::gui::Canvas* map = s.picture("Picture1");
            QTest::mouseClick(map, Qt::LeftButton, {}, map->unitsToPixels({-252, 61}).toPoint());
            QCOMPARE(s.label("Label63")->text(), QStringLiteral("\u00b1 4.06 %"));
        }
        s.readOut(1, 61); // off the map
        QCOMPARE(s.label("Label63")->text(), QString());
        load(s, "b.vesk");
        s.readOut(-252, 61);
        QVERIFY(!s.textBox("Text6")->text().isEmpty());
        QCOMPARE(s.label("Label63")->text(), QString());
        std::filesystem::remove(dir_.path() / "a.vesk.sigma");
    }

    void agd_data() {
        QTest::addColumn<QString>("ka");
        QTest::addColumn<double>("value"); // what it reads; -1: refused
        QTest::newRow("5.2 mGy") << "5.2" << 5.2;
        QTest::newRow("blanks around") << " 5.2 " << 5.2;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("full-width digits") << QStringLiteral("\uFF15\uFF0E\uFF12") << 5.2;
        QTest::newRow("ideographic full stop") << QStringLiteral("\uFF15\u3002\uFF12") << 5.2;
        QTest::newRow("decimal comma and unit") << "5,2 mGy" << -1.0;
        QTest::newRow("decimal comma") << "5,2" << -1.0;
        QTest::newRow("text after the number") << "5.2abc" << -1.0;
        QTest::newRow("text") << "abc" << -1.0;
        QTest::newRow("negative") << "-1" << -1.0;
        QTest::newRow("infinite") << "1e999" << -1.0;
        QTest::newRow("nan") << "nan" << -1.0;
    }
    void agd() {
        QFETCH(QString, ka);
        QFETCH(double, value);
        const bool refused = value < 0;
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        QLineEdit* field = s.textBox("Text9");
        field->setFocus();
        field->setText(ka);
        QTest::keyClick(field, Qt::Key_Return);
        const double sagd = s.session().shown.SagdValue;
        if (refused) {
            QCOMPARE(messages.entries.size(), size_t{1});
            QCOMPARE(messages.entries[0].text, qs(kv::texts::resultsExtrasTexts().kaRefused));
            // The detail says which field, what was typed and why.
            const QString& detail = messages.entries[0].detail;
            QVERIFY2(detail.startsWith(qs(kv::texts::resultsExtrasTexts().kaField)), qPrintable(detail));
            QVERIFY2(detail.contains(ka.trimmed()), qPrintable(detail));
            QCOMPARE(s.textBox("Text10")->text(), QString());
            QCOMPARE(s.label("Label60")->text(), QString());
        } else {
            QVERIFY(messages.entries.empty());
            QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(value * sagd, "0.000")));
            QCOMPARE(s.label("Label60")->text(), QStringLiteral("\u00b1 0.07 %"));
            // A file without the line: the AGD follows the new sAGD, no uncertainty.
            load(s, "b.vesk");
            QCOMPARE(s.textBox("Text10")->text(),
                     qs(kv::format(value * s.session().shown.SagdValue, "0.000")));
            QCOMPARE(s.label("Label60")->text(), QString());
        }
    }

    // The AGD panel's context menu: where Ka was measured, the factor stated under Ka, and
    // only the sAGD's own point for a file that gives no other.
    void agdForAKaMeasuredBehindThePaddle() {
        ResultFileContent engine = falling(30, 0.05, std::pair{0.0012, 0.0007});
        engine.trailer = {{"k_fcd_paddle_per_k_fcd", "0.8"}, {"k_surface_per_k_fcd", "0.864"}};
        testfiles::writeResult(dir_.path(), "engine.vesk", engine);
        const auto& ex = kv::texts::resultsExtrasTexts();
        ResultsScreen s(path(""));
        auto* fcd = s.findChild<QAction*>(QStringLiteral("KaAtFcd"));
        auto* paddle = s.findChild<QAction*>(QStringLiteral("KaAtFcdPaddle"));
        auto* surface = s.findChild<QAction*>(QStringLiteral("KaAtSurface"));
        QVERIFY(fcd && paddle && surface);
        QCOMPARE(s.label("Label64")->text(), qs(ex.kaNoteFcd));
        QVERIFY(!surface->isEnabled()); // nothing loaded: no ratio yet

        load(s, "engine.vesk");
        QVERIFY(fcd->isChecked() && paddle->isEnabled() && surface->isEnabled());
        s.textBox("Text9")->setText(QStringLiteral("4"));
        QVERIFY(s.showAgd(false));
        const double sagd = s.session().shown.SagdValue;
        QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * sagd, "0.000")));
        surface->trigger();
        QVERIFY(surface->isChecked() && !fcd->isChecked());
        QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * sagd / 0.864, "0.000")));
        // A file with the chest-wall edge alone: the surface point is taken there.
        QCOMPARE(s.session().surfaceMm, 0);
        QCOMPARE(s.label("Label64")->text(),
                 qs(kv::fillIn(ex.kaNoteSurface.str(), {{"%1", "0.864"}, {"{mm}", "0"}})));
        QCOMPARE(s.label("Label60")->text(), QStringLiteral("\u00b1 0.07 %"));
        paddle->trigger();
        QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * sagd / 0.8, "0.000")));

        // A file without the ratios: back to the sAGD's own Ka, the others not offered.
        load(s, "b.vesk");
        QVERIFY(fcd->isChecked() && !paddle->isEnabled() && !surface->isEnabled());
        QCOMPARE(s.label("Label64")->text(), qs(ex.kaNoteFcd));
        QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * s.session().shown.SagdValue, "0.000")));
        surface->trigger(); // a disabled action's trigger does nothing
        QCOMPARE(s.session().kaPoint, KaPoint::FcdFree);
    }

    // Where on the surface: 60 mm from the chest wall unless another distance is
    // chosen; each distance divides by its own ratio, and one the file lacks is not offered.
    void surfacePointAtAChosenDistanceFromTheChestWall() {
        ResultFileContent engine = falling(30, 0.05, std::pair{0.0012, 0.0007});
        engine.trailer = {{"k_surface_per_k_fcd", "0.864"},
                          {"k_surface_40mm_per_k_fcd", "0.851"},
                          {"k_surface_60mm_per_k_fcd", "0.842"}};
        testfiles::writeResult(dir_.path(), "midline.vesk", engine);
        engine.trailer = {{"k_surface_per_k_fcd", "0.864"}};
        testfiles::writeResult(dir_.path(), "edge.vesk", engine);
        const auto& ex = kv::texts::resultsExtrasTexts();
        ResultsScreen s(path(""));
        auto* surface = s.findChild<QAction*>(QStringLiteral("KaAtSurface"));
        auto* at60 = s.findChild<QAction*>(QStringLiteral("SurfaceAt60mm"));
        auto* at40 = s.findChild<QAction*>(QStringLiteral("SurfaceAt40mm"));
        auto* edge = s.findChild<QAction*>(QStringLiteral("SurfaceAtEdge"));
        QVERIFY(surface && at60 && at40 && edge);
        QVERIFY(at60->isChecked() && !at60->isEnabled()); // the default, offered once a file gives it

        load(s, "midline.vesk");
        s.textBox("Text9")->setText(QStringLiteral("4"));
        const double sagd = s.session().shown.SagdValue;
        surface->trigger();
        struct Step {
            QAction* choice;
            double ratio;
            const char* mm;
        };
        for (const Step& step : {Step{nullptr, 0.842, "60"}, Step{at40, 0.851, "40"}, Step{edge, 0.864, "0"},
                                 Step{at60, 0.842, "60"}}) {
            if (step.choice) step.choice->trigger();
            QCOMPARE(s.session().kaPoint, KaPoint::BreastSurface);
            QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * sagd / step.ratio, "0.000")));
            const QLabel* note = s.label("Label64");
            QCOMPARE(note->text(),
                     qs(kv::fillIn(ex.kaNoteSurface.str(),
                                   {{"%1", kv::format(step.ratio, "0.000")}, {"{mm}", step.mm}})));
            // The ratio whole, not cut by the "± x %" beside it.
            QVERIFY(note->fontMetrics().horizontalAdvance(note->text()) <= note->width());
        }
        // A distance chosen while Ka is at the FCD moves Ka to the surface.
        s.setKaPoint(KaPoint::FcdFree);
        at40->trigger();
        QCOMPARE(s.session().kaPoint, KaPoint::BreastSurface);
        QCOMPARE(s.session().surfaceMm, 40);

        load(s, "edge.vesk");
        QVERIFY(!at60->isEnabled() && !at40->isEnabled() && edge->isEnabled());
        at60->trigger(); // disabled: nothing changes
        QCOMPARE(s.session().surfaceMm, 40);
        QCOMPARE(s.session().kaPoint, KaPoint::FcdFree); // 40 mm is not in this file
        edge->trigger();
        QCOMPARE(s.session().kaPoint, KaPoint::BreastSurface);
        QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(4 * sagd / 0.864, "0.000")));
    }

    // A tomosynthesis result: the Ka choices say they are the tube's at 0 deg for the
    // whole scan's loading, the AGD says it is the scan's; a mammography file after it
    // gets the single exposure's words back.
    void scanResultSaysWhatItsKaAndAgdMean() {
        ResultFileContent engine = falling(30, 0.05, std::pair{0.0012, 0.0007});
        engine.trailer = {{"k_surface_per_k_fcd", "0.864"}, {"scan", "step"}, {"projections", "15"}};
        testfiles::writeResult(dir_.path(), "scan.vesk", engine);
        const auto& ex = kv::texts::resultsExtrasTexts();
        ResultsScreen s(path(""));
        const struct {
            const char* action;
            kv::texts::Text single, scan;
        } choices[] = {{"KaAtFcd", ex.kaAtFcd, ex.kaAtFcdScan},
                       {"KaAtFcdPaddle", ex.kaAtFcdPaddle, ex.kaAtFcdPaddleScan},
                       {"KaAtSurface", ex.kaAtSurface, ex.kaAtSurfaceScan}};
        const QLabel* label = s.label("Label58");
        for (const char* file : {"scan.vesk", "b.vesk"}) {
            load(s, file);
            const bool scan = file == std::string_view("scan.vesk");
            QCOMPARE(s.session().scan, scan);
            for (const auto& c : choices)
                QCOMPARE(s.findChild<QAction*>(QString::fromLatin1(c.action))->text(),
                         qs(scan ? c.scan : c.single));
            QCOMPARE(label->text(), qs(scan ? ex.agdLabelScan : ex.agdLabel));
            QCOMPARE(s.textBox("Text10")->toolTip(), qs(scan ? ex.agdScanTip : ex.agdTip));
            // Whole inside the panel, ending just before the AGD box.
            QVERIFY(label->x() >= s.label("Label55")->x());
            QVERIFY(label->x() + label->width() <= s.textBox("Text10")->x());
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
            s.textBox("Text9")->setText(QStringLiteral("2"));
            QVERIFY(s.showAgd(false));
            QCOMPARE(s.textBox("Text10")->text(), qs(kv::format(2 * s.session().shown.SagdValue, "0.000")));
        }
    }

    void csvExportMatchesTheModel() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        s.pick(-240, 40); // Y 6.0 cm, Z 1.0 cm
        const DoseModel& m = s.session().shown;
        struct Case {
            kv::gui::Canvas* picture;
            const char* file;
            int rows;
        };
        const Case cases[] = {
            {s.picture("Picture1"), "yz.csv", m.GridCountY * m.GridCountZ},
            {s.planes().xy().picture("Picture3"), "xy.csv", m.GridCountX * m.GridCountY},
            {s.planes().xz().picture("Picture4"), "xz.csv", m.GridCountX * m.GridCountZ},
        };
        for (const Case& c : cases) {
            messages.chosenFile = path(c.file);
            QVERIFY(exporter(c.picture));
            exporter(c.picture)->exportAction()->trigger();
            const QList<QStringList> rows = readCsv(path(c.file));
            QCOMPARE(rows.size(), c.rows + 1);
            QCOMPARE(rows[0].join(','), qs(kVoxelHeader));
            for (int i = 1; i < rows.size(); ++i) {
                const QStringList& r = rows[i];
                const int ix = r[0].toInt(), iy = r[1].toInt(), iz = r[2].toInt();
                if (c.file == std::string_view("yz.csv")) QCOMPARE(ix, 1);
                if (c.file == std::string_view("xy.csv")) QCOMPARE(iz, m.SelectedZIndex);
                if (c.file == std::string_view("xz.csv")) QCOMPARE(iy, m.SelectedYIndex);
                for (int k = 0; k < 3; ++k)
                    QCOMPARE(number(r[3 + k]), m.DoseGrid(k, ix, iy, iz));
            }
        }
        QVERIFY(messages.questions.empty());
        QVERIFY(messages.suggestions[0].endsWith(QStringLiteral("a.yz-plane.csv")));
        // The depth-dose table of Form5.
        messages.chosenFile = path("pdd.csv");
        s.depthDoseScreen().exporter().exportAction()->trigger();
        const QList<QStringList> pdd = readCsv(path("pdd.csv"));
        QCOMPARE(pdd.size(), m.GridCountZ + 1);
        QCOMPARE(pdd[0].join(','), QStringLiteral("layer,total,primary,scatter,depth_cm"));
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            for (int k = 0; k < 3; ++k)
                QCOMPARE(number(pdd[iz][1 + k]), m.DepthDose[k][iz]);
    }

    void exportNeverReplacesWithoutAsking() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        PictureExport* e = exporter(s.picture("Picture1"));
        dir_.write("old.png", "old");
        messages.chosenFile = path("old.png");
        messages.answer = false;
        QVERIFY(!e->savePicture());
        QCOMPARE(messages.questions.size(), size_t{1});
        QCOMPARE(dir_.read("old.png"), std::string("old"));
        messages.answer = true;
        QVERIFY(e->savePicture());
        QImage saved(path("old.png"));
        QCOMPARE(saved.size(), e->reportPicture().size());
        // A folder where the file should go, and a cancelled dialog.
        QVERIFY(QDir(path("")).mkdir(QStringLiteral("folder.csv")));
        messages.chosenFile = path("folder.csv");
        QVERIFY(!e->exportValues());
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(QFileInfo(path("folder.csv")).isDir());
        messages.chosenFile.clear();
        QVERIFY(!e->exportValues());
        QCOMPARE(messages.entries.size(), size_t{1});
        // A folder that is not there: said, not a system text.
        messages.chosenFile = path("no such folder/a.png");
        QVERIFY(!e->savePicture());
        QCOMPARE(messages.entries.size(), size_t{2});
        QCOMPARE(messages.entries[1].detail, qs(kv::texts::resultsExtrasTexts().reasonNoFolder));
        // Copy puts the same picture on the clipboard.
        e->copyPicture();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), e->reportPicture().size());
    }

    // The saved picture holds the map as painted, without the picked point's
    // lines, inside a frame with title, axes and legend; the screen keeps its lines.
    void savedPictureLeavesTheCursorOutAndFramesTheMap() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        kv::gui::Canvas* map = s.picture("Picture1");
        PictureExport* e = exporter(map);
        QVERIFY(s.line("Line45")->isVisible() && s.line("Line51")->isVisible());
        const QImage withCursor = e->picture();
        s.line("Line45")->hide();
        s.line("Line51")->hide();
        const QImage bare = e->picture();
        s.line("Line45")->show();
        s.line("Line51")->show();
        QVERIFY(bare != withCursor);
        const QImage framed = e->reportPicture().convertToFormat(bare.format());
        QVERIFY(s.line("Line45")->isVisible() && s.line("Line51")->isVisible());
        QVERIFY(framed.width() > bare.width() + 40 && framed.height() > bare.height() + 40);
        // Where the map lies in the frame: a row of it found in a row of the frame (rows
        // repeat within a voxel, so each place found is checked whole).
        const int probe = bare.height() / 2;
        const QByteArray row(reinterpret_cast<const char*>(bare.constScanLine(probe)), bare.bytesPerLine());
        int left = -1, top = -1;
        for (int y = probe; y + bare.height() - probe <= framed.height() && left < 0; ++y) {
            const QByteArray line(reinterpret_cast<const char*>(framed.constScanLine(y)),
                                  framed.bytesPerLine());
            const qsizetype at = line.indexOf(row);
            if (at >= 0 && at % 4 == 0 &&
                framed.copy(at / 4, y - probe, bare.width(), bare.height()) == bare) {
                left = static_cast<int>(at / 4);
                top = y - probe;
            }
        }
        QVERIFY2(left >= 0, "the painted map without its cursor is not in the saved picture");
        // Room on the left for the depth axis, below for the Y axis, to the right for the legend.
        QVERIFY(left > 20 && top > 20);
        QVERIFY(framed.height() - top - bare.height() > 20);
        QVERIFY(framed.width() - left - bare.width() > s.picture("Picture7")->width());
    }

    void picturesAreTitledWithFilePlaneAndPosition() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        const auto& t = kv::texts::resultsExtrasTexts();
        const ResultsSession session{
            .shown = {}, .loaded = true, .fileName = "a.vesk", .uncertainty = {}, .workDir = {}};
        const QString yz = pictureTitle(session, t.pictureYZ);
        QVERIFY2(yz.startsWith(QStringLiteral("a.vesk")) && yz.contains(QStringLiteral("Y-Z")),
                 qPrintable(yz));
        const QString xz = pictureTitle(session, t.pictureXZ, "3.2", true);
        QVERIFY2(xz.contains(QStringLiteral("X-Z")) && xz.contains(QStringLiteral("Y = 3.2 cm")),
                 qPrintable(xz));
        QCOMPARE(xz, QString::fromStdString(
                         kv::fillIn(t.pictureSeparate.str(),
                                    {{"{plane}", pictureTitle(session, t.pictureXZ, "3.2").toStdString()}})));
        const QString xy = pictureTitle(session, t.pictureXY, "0.5", false);
        QVERIFY2(xy.contains(QStringLiteral("Z = 0.5 cm")), qPrintable(xy));
        // The screens' own titles follow the plane picked on the Y-Z map.
        PictureExport* xzExport = exporter(s.planes().xz().picture("Picture3"));
        QVERIFY(xzExport);
        s.planes().xz().textBox("Text3")->setText(QStringLiteral("4.5"));
        const QImage a = xzExport->reportPicture();
        s.planes().xz().textBox("Text3")->setText(QStringLiteral("1.5"));
        QVERIFY(a != xzExport->reportPicture());
    }

    // Ticks at round centimetres over the span, whichever way the axis runs.
    void reportTicksAtRoundCentimetres() {
        struct Case {
            double from, to;
            std::vector<double> ticks;
        };
        const Case cases[] = {
            {0, 15, {0, 2, 4, 6, 8, 10, 12, 14}},
            {0, 6, {0, 1, 2, 3, 4, 5, 6}},
            {6, 0, {0, 1, 2, 3, 4, 5, 6}},
            {-7.5, 7.5, {-6, -4, -2, 0, 2, 4, 6}},
            {0, 0.4, {0, 0.05, 0.1, 0.15, 0.2, 0.25, 0.3, 0.35, 0.4}},
            {2, 2, {}},
            {0, std::nan(""), {}},
        };
        for (const Case& c : cases) {
            const std::vector<double> got = reportTicks({QString(), 0, 40, c.from, c.to});
            QCOMPARE(got.size(), c.ticks.size());
            for (size_t i = 0; i < got.size(); ++i)
                QVERIFY2(std::abs(got[i] - c.ticks[i]) < 1e-12, qPrintable(QString::number(got[i])));
        }
    }

    void pddOverlayDrawsASecondCurve() {
        kv::gui::MessageRecorder messages;
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        DepthDoseScreen& f5 = s.depthDoseScreen();
        kv::gui::Canvas* g = f5.picture("Picture1");
        const DoseModel other = *LoadResultFile(dir_.path(), "b.vesk").model;
        const auto yOf = [](double p) { return 1000 * std::log(10 * p); };
        const double x = 100.0 * 20 - 50, y = yOf(other.DepthDose[0][20]);
        QVERIFY(g->pixelAt(x, y) != kOverlayColour);
        messages.chosenFile = path("b.vesk");
        f5.exporter().menu()->findChild<QAction*>(QStringLiteral("OverlayAction"))->trigger();
        QVERIFY(f5.overlay());
        QCOMPARE(f5.overlay()->name, QStringLiteral("b.vesk"));
        QCOMPARE(g->pixelAt(x, y), kOverlayColour);
        // Past the shown file's 30 layers, where only the second curve runs.
        QCOMPARE(g->pixelAt(100.0 * 40 - 50, yOf(other.DepthDose[0][40])), kOverlayColour);
        QCOMPARE(g->pixelAt(1500, 1650), kOverlayColour); // its legend entry
        // It stays over a repaint, and goes when removed.
        f5.DrawDepthDoseGraph();
        QCOMPARE(g->pixelAt(x, y), kOverlayColour);
        f5.removeOverlay();
        QVERIFY(g->pixelAt(x, y) != kOverlayColour);
        // A file that is no result: a message, no overlay.
        QVERIFY(!f5.overlayResultFile(path("bad.vesk")));
        QCOMPARE(messages.entries.size(), size_t{1});
        QCOMPARE(messages.entries[0].detail,
                 qs(fileAndReason("bad.vesk", LoadResultFile(dir_.path(), "bad.vesk").failure,
                                  kv::texts::resultsModelTexts())));
        QVERIFY(!f5.overlay());
    }

    void previewLinesCanBeReadWhole() {
        auto r = falling(10, 0.05, std::nullopt);
        const std::string longLine =
            " Filters: Be 1.00 mm, Al 0.00 mm, Mo 0.030 mm, Rh 0.000 mm, Ag 0.000 mm; air layer 65.0 cm";
        r.description[1] = longLine;
        testfiles::writeResult(dir_.path(), "long.vesk", r);
        ResultsScreen s(path(""));
        QVERIFY(s.fileList("File1")->selectFile(QStringLiteral("long.vesk")));
        kv::gui::Canvas* box = s.picture("Picture2");
        const double h = box->textHeight();
        s.pointPreviewLine(2.5 * h); // the third line: the second description line
        QCOMPARE(box->toolTip(), qs(longLine).trimmed());
        s.pointPreviewLine(100 * h);
        QCOMPARE(box->toolTip(), qs(kv::texts::resultsExtrasTexts().previewTip));
    }

    void everyScreenFitsACommonDesktop() {
        ResultsScreen s(path(""));
        const QSize desktop(1280, 1024);
        const QPoint ok = s.button("Command6")->pos(), back = s.button("Command4")->pos();
        std::vector<kv::gui::Form*> forms{&s, &s.depthDoseScreen(), &s.planes().xy(), &s.planes().xz()};
        for (kv::gui::Form* f : forms) {
            const QSize client = f->clientSize();
            f->fitInto(desktop);
            QVERIFY2(f->width() <= desktop.width() && f->height() <= desktop.height(),
                     qPrintable(f->objectName()));
            QCOMPARE(f->scroller()->widget()->size(), client); // the controls keep their places
            // Each whole, with the frame a desktop adds: nothing to scroll to.
            QCOMPARE(f->scroller()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(f->scroller()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(f->size(), client);
        }
        QCOMPARE(s.button("Command6")->pos(), ok);
        QCOMPARE(s.button("Command4")->pos(), back);
    }

    // What the window shows at 1280 x 1024 holds every control whole: the
    // legend's "%", the panels' "mGy" and the back button included.
    void everyControlLiesInsideTheWindow() {
        ResultsScreen s(path(""));
        load(s, "a.vesk");
        std::vector<kv::gui::Form*> forms{&s, &s.depthDoseScreen(), &s.planes().xy(), &s.planes().xz()};
        for (kv::gui::Form* f : forms) {
            f->fitInto(QSize(1280, 1024));
            f->show();
            QVERIFY(QTest::qWaitForWindowExposed(f));
            const QRect inside(QPoint(0, 0), f->size());
            const QImage shot = f->grab().toImage();
            QCOMPARE(shot.size(), f->size());
            for (QWidget* w : f->scroller()->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!w->isVisible() || w->objectName().isEmpty()) continue;
                QRect r = w->geometry();
                if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty() && !l->wordWrap())
                    r.setWidth(std::max(r.width(), l->fontMetrics().horizontalAdvance(l->text())));
                QVERIFY2(inside.contains(r), qPrintable(f->objectName() + " " + w->objectName()));
                // Nothing on Form2 crosses the line between the file list and the results.
                if (f == &s) {
                    const double separator = s.line("Line1")->x1() / 15.0;
                    QVERIFY2(r.right() < separator || r.left() > separator, qPrintable(w->objectName()));
                }
            }
            // The back button as the screenshot shows it is the button itself.
            if (f == &s) {
                QPushButton* b = s.button("Command4");
                const QImage button = b->grab().toImage().convertToFormat(QImage::Format_RGB32);
                QCOMPARE(shot.copy(QRect(b->mapTo(f, QPoint(0, 0)), b->size()))
                             .convertToFormat(QImage::Format_RGB32),
                         button);
            }
            f->hide();
        }
    }
};

QTEST_MAIN(ResultsExtrasTest)
#include "results_extras_test.moc"

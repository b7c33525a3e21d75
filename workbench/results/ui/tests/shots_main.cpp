// Shows the results screen after loading a result file shaped like a real
// mammography run, for looking at the screens (and screenshots) by hand:
//   kv_results_ui_shots_en <dir> [pdd|xy|xz|agd] [out.png]
// writes <dir>/demo.vesk, loads it, and shows Form2 (with Ka 5.2 mGy), or
// Form5, Form6 or Form7 with a read-out, or Form2 with Ka measured at the
// breast surface and the AGD panel's menu open; with out.png it saves the
// window shown and ends.
#include "kv/formats/run_header.h"
#include "kv/gui/file_list.h"
#include "kv/gui/program.h"
#include "kv/results/testfiles/testfiles.h"
#include "kv/workbench/results/ui/depth_dose_screen.h"
#include "kv/workbench/results/ui/results_screen.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

using namespace kv::results;

namespace {

// Primary falls exponentially with depth and a little towards the nipple
// (the heel effect); scatter builds up under the surface and drops near the
// chest wall and the phantom's outer edge.
ResultFileContent demoResult() {
    auto edge = [](double distanceMm, double reach) { return 1.0 - 0.45 * std::exp(-distanceMm / reach); };
    auto r = testfiles::makeResult(
        75, 150, 45,
        [&](int c, int ix, int iy, int iz) {
            const double z = iz - 0.5;
            if (c == Primary)
                return 2.0e-3 * std::exp(-0.078 * z) * (1.0 - 0.15 * iy / 150.0) *
                       std::pow(650.0 / (650.0 + z), 2);
            return 0.7e-3 * std::exp(-0.05 * z) * (1.0 - 0.55 * std::exp(-z / 2.5)) * edge(iy - 0.5, 9) *
                   edge(75.5 - ix, 9);
        },
        2.35e-3, 65.0);
    r.description[0] = "   Kelvane-Vesk demonstration: 4.5 cm phantom, 50 % glandular";
    r.description[1] =
        " Filters: Be 1.00 mm, Al 0.00 mm, Mo 0.030 mm, Rh 0.000 mm, Ag 0.000 mm; air layer 65.0 cm";
    r.description[2] = kv::formats::uncertaintyLine(0.0012, 0.0007);
    r.trailer = {{"k_fcd_paddle_per_k_fcd", "0.7999"}, {"k_surface_per_k_fcd", "0.8638"}};
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QString which = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    testfiles::writeResult(dir.toStdString(), "demo.vesk", demoResult());

    ResultsScreen form2(dir);
    form2.place();
    form2.show();
    form2.fileList("File1")->selectFile(QStringLiteral("demo.vesk"));
    form2.button("Command6")->click();
    form2.textBox("Text9")->setText(QStringLiteral("5.2"));
    form2.showAgd(true);
    form2.readOut(-252, 61);
    QWidget* shown = &form2;
    if (which == QStringLiteral("agd")) {
        form2.findChild<QAction*>(QStringLiteral("KaAtSurface"))->trigger();
        QTimer::singleShot(15000, [&form2] {
            QWidget* note = form2.label("Label64");
            emit note->customContextMenuRequested(QPoint(note->width() / 2, note->height() / 2));
        });
    } else if (which == QStringLiteral("pdd")) {
        form2.button("Command3")->click();
        form2.depthDoseScreen().readOut(1250, 3000);
        shown = &form2.depthDoseScreen();
    } else if (which == QStringLiteral("xy") || which == QStringLiteral("xz")) {
        form2.pick(-240, 40);
        form2.button(which == QStringLiteral("xy") ? "Command5" : "Command1")->click();
        shown = which == QStringLiteral("xy") ? static_cast<QWidget*>(&form2.planes().xy())
                                              : static_cast<QWidget*>(&form2.planes().xz());
    }
    if (!out.isEmpty())
        QTimer::singleShot(800, [shown, out] {
            shown->grab().save(out);
            QApplication::quit();
        });
    return app.exec();
}

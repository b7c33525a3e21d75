// Shows the results screen after loading a result file shaped like a real
// mammography run, for looking at the screens (and screenshots) by hand:
//   kv_results_ui_shots_en <dir> [pdd]
// writes <dir>/demo.vesk, loads it, and shows Form2, or Form5 with a read-out.
#include "kv/gui/file_list.h"
#include "kv/gui/program.h"
#include "kv/results/depth_dose_screen.h"
#include "kv/results/results_screens.h"
#include "kv/results/testfiles.h"

#include <QApplication>
#include <QPushButton>

#include <cmath>

using namespace kv::results;

namespace {

// Primary falls exponentially with depth and a little towards the nipple
// (the heel effect); scatter builds up under the surface and drops near the
// chest wall and the phantom's outer edge.
ResultFileContent demoResult() {
    auto edge = [](double distanceMm, double reach) { return 1.0 - 0.45 * std::exp(-distanceMm / reach); };
    auto r = testfiles::makeResult(75, 150, 45, [&](int c, int ix, int iy, int iz) {
        const double z = iz - 0.5;
        if (c == Primary)
            return 2.0e-3 * std::exp(-0.078 * z) * (1.0 - 0.15 * iy / 150.0) * std::pow(650.0 / (650.0 + z), 2);
        return 0.7e-3 * std::exp(-0.05 * z) * (1.0 - 0.55 * std::exp(-z / 2.5)) * edge(iy - 0.5, 9) *
               edge(75.5 - ix, 9);
    }, 2.35e-3, 65.0);
    r.description[0] = "   Kelvane-Vesk demonstration: 4.5 cm phantom, 50 % glandular";
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool pdd = argc > 2 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("pdd");
    testfiles::writeResult(dir.toStdString(), "demo.vesk", demoResult());

    ResultsScreens form2(dir);
    form2.place();
    form2.show();
    form2.fileList("File1")->selectFile(QStringLiteral("demo.vesk"));
    form2.button("Command6")->click();
    form2.readOut(-252, 61);
    if (pdd) {
        form2.button("Command3")->click();
        form2.depthDoseScreen().readOut(1250, 3000);
    }
    return app.exec();
}

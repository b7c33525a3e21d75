// How long the plane screens take to paint a full grid (75 x 151 voxels on
// the X-Y map, 75 x 60 on each X-Z map): a pick on the results screen paints
// all three.
#include "kv/gui/program.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

using namespace kv::results;

namespace {

void startApp() {
    static int argc = 1;
    static char name[] = "plane_paint_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto made = std::make_unique<QApplication>(argc, argv);
        kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk"));
        return made;
    }();
}

ResultsSession& fullGrid() {
    startApp();
    static ResultsSession session = [] {
        ResultsSession s;
        DoseModel& m = s.shown;
        m.GridCountX = 75;
        m.GridCountY = 151;
        m.GridCountZ = 60;
        m.SelectedYIndex = 80;
        m.SelectedZIndex = 1;
        for (int c = 0; c < 3; ++c)
            for (int iz = 1; iz <= 60; ++iz)
                for (int iy = 1; iy <= 151; ++iy)
                    for (int ix = 1; ix <= 75; ++ix)
                        m.DoseGrid(c, ix, iy, iz) = (ix * 7 + iy * 3 + iz * 11 + c) % 110;
        return s;
    }();
    return session;
}

void BM_XYSeparate(benchmark::State& state) {
    XYPlaneScreen screen(fullGrid());
    for (auto _ : state)
        screen.DrawXYPlaneSeparate();
}
BENCHMARK(BM_XYSeparate)->Unit(benchmark::kMillisecond);

void BM_XYTotal(benchmark::State& state) {
    XYPlaneScreen screen(fullGrid());
    for (auto _ : state)
        screen.DrawXYPlaneTotal();
}
BENCHMARK(BM_XYTotal)->Unit(benchmark::kMillisecond);

void BM_XZBothMaps(benchmark::State& state) {
    XZPlaneScreen screen(fullGrid());
    for (auto _ : state) {
        screen.DrawXZPlaneSeparate("8.0");
        screen.DrawXZPlaneTotal();
    }
}
BENCHMARK(BM_XZBothMaps)->Unit(benchmark::kMillisecond);

} // namespace

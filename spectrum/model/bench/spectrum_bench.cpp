// One full "Draw spectrum" computation: 43 rays, 250 bins, up to 250 slices each.
#include "kv/spectrum/model/spectrum_model.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kv::spectrum;

const PhysicalData& data() {
    static const PhysicalData d = LoadPhysicalData(std::filesystem::path(KV_SOURCE_DIR) / "data");
    return d;
}

void run(benchmark::State& state, TargetMaterial target, const SpectrumFields& f) {
    for (auto _ : state) {
        SpectrumResult r = computeSpectrum(target, data(), f);
        benchmark::DoNotOptimize(r.table[1][100]);
    }
}

const SpectrumFields k50kV{.tubeVoltage = "50",
                           .targetAngle = "16",
                           .tubeTiltAngle = "6",
                           .beryllium = "0.8",
                           .aluminum = "0",
                           .molybdenum = "0.03",
                           .rhodium = "0",
                           .silver = "0",
                           .airLayer = "60"};

void BM_Molybdenum50kV(benchmark::State& state) {
    run(state, TargetMaterial::Molybdenum, k50kV);
}
void BM_Tungsten50kV(benchmark::State& state) {
    run(state, TargetMaterial::Tungsten, k50kV);
}

BENCHMARK(BM_Molybdenum50kV)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_Tungsten50kV)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);

} // namespace

// Histories per second in the workbench geometry: 5 cm phantom of 50 %
// glandular fraction, Mo/Mo 28 kV spectrum from the spectrum model, FID 65 cm.
//   engine_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "kv/engine/workbench_sim.h"
#include "kv/formats/composition_file.h"
#include "kv/spectrum/model/spectrum_model.h"

#include <benchmark/benchmark.h>

using namespace kv::engine;

namespace {

const WorkbenchSimulation& simulation(bool t) {
    static auto make = [](bool tomo) {
        kv::spectrum::PhysicalData data = kv::spectrum::LoadPhysicalData(KV_SOURCE_DIR "/data");
        kv::formats::SpectrumFields fields;
        fields.tubeVoltage = "28";
        kv::spectrum::SpectrumResult s =
            kv::spectrum::computeSpectrum(kv::formats::TargetMaterial::Molybdenum, data, fields);
        WorkbenchSetup setup;
        setup.tomosynthesis = tomo;
        setup.angularRange = tomo ? 7.5 : 0.0;
        setup.thickness = 5.0;
        setup.phantom = kv::formats::readCompositionFile(KV_SOURCE_DIR "/data", "BR12-50.dat").material;
        setup.spectrum.rayWidthDeg = 0.5;
        for (int i = 5; i <= 250; ++i)
            setup.spectrum.energies.push_back(0.2 * i);
        for (int k = 1; k <= 42; ++k) {
            std::vector<double> w;
            for (int i = 5; i <= 250; ++i)
                w.push_back(s.table[k][i]);
            setup.spectrum.weights.push_back(w);
        }
        return std::make_unique<WorkbenchSimulation>(setup);
    };
    static std::unique_ptr<WorkbenchSimulation> mammo = make(false), tomo_ = make(true);
    return t ? *tomo_ : *mammo;
}

void runHistories(benchmark::State& state, bool tomo) {
    const WorkbenchSimulation& sim = simulation(tomo);
    const uint64_t histories = uint64_t{1} << 21;
    unsigned threads = static_cast<unsigned>(state.range(0));
    uint64_t seed = 1;
    for (auto _ : state) {
        RunControl ctl;
        WorkbenchResult r = sim.run(histories, seed++, threads, ctl);
        benchmark::DoNotOptimize(r.referenceDose);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * histories));
    state.counters["histories/s/thread"] = benchmark::Counter(
        static_cast<double>(state.iterations() * histories) / threads, benchmark::Counter::kIsRate);
}

void Mammography(benchmark::State& s) {
    runHistories(s, false);
}
void Tomosynthesis(benchmark::State& s) {
    runHistories(s, true);
}

} // namespace

BENCHMARK(Mammography)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(Tomosynthesis)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

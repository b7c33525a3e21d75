// Histories per second in the workbench geometry: 5 cm phantom of 50 %
// glandular fraction, Mo/Mo 28 kV spectrum from the spectrum model, FID 65 cm.
//   engine_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "workbench_case.h"

#include <benchmark/benchmark.h>

using namespace kv::engine;

namespace {

const WorkbenchSimulation& simulation(bool t) {
    static auto make = [](bool tomo) {
        kv::formats::SpectrumFields fields;
        fields.tubeVoltage = "28";
        WorkbenchSetup setup = workbenchCaseSetup(fields);
        setup.tomosynthesis = tomo;
        setup.angularRange = tomo ? 7.5 : 0.0;
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

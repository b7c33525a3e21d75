// Loading the largest result file the grid holds: 151 rows x 60 layers x 75
// values per block, two blocks (about 16 MB), read and every quantity formed.
#include "kv/results/result_file.h"
#include "kv/results/testfiles/testfiles.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace kv::results;

const kv::test_support::TempDir& largestFiles() {
    static kv::test_support::TempDir dir;
    static bool written = false;
    if (!written) {
        // A plausible dose: falling with depth and with distance from the chest wall.
        ResultFileContent r =
            testfiles::makeResult(75, kMaxCountY, kMaxCountZ, [](int c, int ix, int iy, int iz) {
                double depth = std::exp(-0.08 * iz);
                double lateral = 1.0 / (1.0 + 0.002 * ix * ix + 0.0005 * iy);
                return (c == Primary ? 3.1e-4 : 1.2e-4) * depth * lateral;
            });
        r.valuePattern = "0.00000E+00"; // six significant digits, as an engine writes them
        testfiles::writeResult(dir.path(), "largest.vesk", r);
        // Japanese in the header makes the whole file CP932 text, not ASCII.
        r.description[0] = "   スペクトル: Mo/Mo 28 kV、乳腺割合 50 %";
        testfiles::writeResult(dir.path(), "largest_ja.vesk", r);
        written = true;
    }
    return dir;
}

void loadLargest(benchmark::State& state, const char* name) {
    const auto& dir = largestFiles();
    for (auto _ : state) {
        LoadResult r = LoadResultFile(dir.path(), name);
        if (!r) {
            state.SkipWithError("the load failed");
            break;
        }
        benchmark::DoNotOptimize(r.model->SagdValue);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(dir.path() / name)));
}
void BM_LoadLargestResultFile(benchmark::State& state) {
    loadLargest(state, "largest.vesk");
}
void BM_LoadLargestJapaneseHeader(benchmark::State& state) {
    loadLargest(state, "largest_ja.vesk");
}
BENCHMARK(BM_LoadLargestResultFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadLargestJapaneseHeader)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of a load: reading the bytes alone, and the quantities alone.
void BM_ReadBytesOnly(benchmark::State& state) {
    const auto& dir = largestFiles();
    for (auto _ : state) {
        kv::RecordReader in(dir.path(), "largest.vesk");
        benchmark::DoNotOptimize(in.atEnd());
    }
}
BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QuantitiesOnly(benchmark::State& state) {
    LoadResult loaded = LoadResultFile(largestFiles().path(), "largest.vesk");
    DoseModel raw = *loaded.model;
    for (auto _ : state) {
        state.PauseTiming();
        DoseModel m = raw;
        state.ResumeTiming();
        benchmark::DoNotOptimize(computeDoseQuantities(m));
    }
}
BENCHMARK(BM_QuantitiesOnly)->Unit(benchmark::kMillisecond);

void BM_PreviewLargestFile(benchmark::State& state) {
    const auto& dir = largestFiles();
    for (auto _ : state) {
        HeaderPreview p = previewResultHeader(dir.path(), "largest.vesk", kv::texts::resultsModelTexts());
        benchmark::DoNotOptimize(p.lines.data());
    }
}
BENCHMARK(BM_PreviewLargestFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

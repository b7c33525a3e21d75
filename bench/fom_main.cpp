// Voxel noise and figure of merit of the workbench dose map: Mo/Mo 28 kV from
// the spectrum model, 5 cm phantom of 50 % glandular fraction, FID 65 cm,
// FCD 60 cm. sigma is the median relative 1-sigma of the total dose over the
// reference-region voxels (ix 1..20, iy 26..125, every layer) and FOM =
// 1 / (sigma^2 x time), the time being the whole run with its set-up, as a
// program run spends it.
//   kv_engine_fom [--histories N] [--threads T] [--seed S] [--runs K]
//                 [--estimator expected|track|analogue] [--repeat R]
//       in this process; sigma from each run's batches and, with K >= 2,
//       from the spread of the K runs
//   kv_engine_fom --write-case DIR [--histories N]
//       the same case as input files for halvex
//   kv_engine_fom --compare DIR a.vesk b.vesk... [--seconds S]
//       sigma from independent runs' result files; S the mean time of one
//       run, the histories those the files hold
//   halvex_fom.sh beside this file runs halvex programs turn about and
//   compares their files this way.
#include "kv/common/constants.h"
#include "kv/common/format.h"
#include "kv/engine/workbench_sim.h"
#include "kv/formats/composition_file.h"
#include "kv/formats/control_file.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/result_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/texts/spectrum_files.h"
#include "workbench_case.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace kv::engine;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kv_engine_fom [--histories N] [--threads T] [--seed S] [--runs K] [--estimator "
    "expected|track|analogue] "
    "[--repeat R] [--no-maps] [--plain] [--unit HISTORIES]\n"
    "       kv_engine_fom --write-case DIR [--histories N]\n"
    "       kv_engine_fom --compare DIR a.vesk b.vesk... [--seconds S]\n";

kv::formats::SpectrumFields fields28() {
    kv::formats::SpectrumFields f;
    f.tubeVoltage = "28";
    return f;
}

struct CaseOptions {
    DoseEstimator estimator = DoseEstimator::ExpectedTrack;
    bool maps = true, quasiRandom = true;
    uint64_t unit = 0; // histories per quasi-random unit; 0 the engine's
};

WorkbenchSetup workbenchCase(const CaseOptions& o) {
    WorkbenchSetup setup = workbenchCaseSetup(fields28());
    setup.estimator = o.estimator;
    setup.maps = o.maps;
    setup.quasiRandom = o.quasiRandom;
    setup.unitHistories = o.unit;
    return setup;
}

bool inReference(size_t v, int layers) {
    size_t ix = v % kVoxelsX, iy = v / kVoxelsX % kVoxelsY, iz = v / (size_t{kVoxelsX} * kVoxelsY);
    return ix < kRefXEnd && iy >= kRefYBegin && iy < kRefYEnd && iz < static_cast<size_t>(layers);
}

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Median over the reference voxels of the relative sample deviation of one
// run, from K maps of total dose, corrected to a 1-sigma.
double spreadSigma(const std::vector<std::vector<double>>& totals, int layers) {
    std::vector<double> rel;
    const size_t k = totals.size();
    for (size_t v = 0; v < totals[0].size(); ++v) {
        if (!inReference(v, layers)) continue;
        double m = 0, q = 0;
        for (const auto& t : totals)
            m += t[v];
        m /= static_cast<double>(k);
        for (const auto& t : totals)
            q += (t[v] - m) * (t[v] - m);
        // a voxel no run scored counts as one of 100 %
        rel.push_back(m > 0 ? std::sqrt(q / static_cast<double>(k - 1)) / m : medianDeviationFactor(k));
    }
    return median(rel) / medianDeviationFactor(k);
}

// A history count as the set-up screen writes it ("2.0E+07") or plainly
// ("20000000"); 0 for anything that is not entirely a whole number in range.
uint64_t historyCount(const std::string& text) {
    double v = 0;
    if (!kv::parseNumberStrict(text, v) || !(v >= 1 && v <= kv::kMaxHistories) || v != std::floor(v))
        return 0;
    return static_cast<uint64_t>(v);
}

// The relative sample deviation of independent runs' results.
double relativeSpread(const std::vector<double>& v) {
    double m = 0, q = 0;
    for (double x : v)
        m += x / static_cast<double>(v.size());
    for (double x : v)
        q += (x - m) * (x - m);
    return m != 0 && v.size() > 1 ? std::sqrt(q / static_cast<double>(v.size() - 1)) / m : 0.0;
}

void report(const char* label, double sigma, double seconds, double histories) {
    std::printf("%-28s sigma %7.3f %%  time %7.2f s  FOM %9.2f /s  %10.0f histories/s (whole run)\n", label,
                sigma * 100.0, seconds, 1.0 / (sigma * sigma * seconds), histories / seconds);
}

int inProcess(uint64_t histories, unsigned threads, uint64_t seed, size_t runs, const CaseOptions& o,
              int repeat) {
    const DoseEstimator est = o.estimator;
    std::printf("Workbench case Mo/Mo 28 kV, 5 cm, 50 %%, FID 65, FCD 60; %s; %llu histories, %u threads\n",
                est == DoseEstimator::ExpectedTrack ? "expected track-length"
                : est == DoseEstimator::TrackLength ? "track-length"
                                                    : "analogue",
                static_cast<unsigned long long>(histories), threads);
    std::printf("%s, %s\n", o.maps ? "voxel maps" : "no maps",
                o.quasiRandom ? "quasi-random source" : "independent draws");
    for (int rep = 0; rep < repeat; ++rep) {
        std::vector<std::vector<double>> totals, primaries, scatters;
        std::vector<double> sagds, refs;
        double seconds = 0;
        int layers = 0;
        for (size_t k = 0; k < runs; ++k) {
            auto start = std::chrono::steady_clock::now();
            WorkbenchSimulation sim(workbenchCase(o));
            double setup = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            RunControl ctl;
            WorkbenchResult r = sim.run(histories, seed++, threads, ctl);
            double whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            seconds += whole;
            layers = r.layers;
            std::vector<double> rel, total(r.primary.size());
            for (size_t v = 0; v < total.size(); ++v) {
                total[v] = r.primary[v] + r.scatter[v];
                if (inReference(v, r.layers)) rel.push_back(r.totalRelSigma[v]);
            }
            totals.push_back(std::move(total));
            primaries.push_back(r.primary);
            sagds.push_back(r.columnDose);
            refs.push_back(r.referenceDose);
            scatters.push_back(r.scatter);
            char label[64];
            std::snprintf(label, sizeof label, "run %zu (set-up %.2f s)", k + 1, setup);
            report(label, median(rel), whole, static_cast<double>(r.histories));
            std::printf("%-28s 100 %% dose %.5g +- %.3f %%, sAGD %.5g +- %.3f %% (eV/g per history)\n", "",
                        r.referenceDose, 100 * r.referenceRelSigma, r.columnDose, 100 * r.columnRelSigma);
        }
        if (runs >= 2) {
            report("spread of the runs", spreadSigma(totals, layers), seconds / static_cast<double>(runs),
                   static_cast<double>(histories));
            std::printf("%-28s primary alone %.3f %%, scatter alone %.3f %%\n", "",
                        100 * spreadSigma(primaries, layers), 100 * spreadSigma(scatters, layers));
            std::printf(
                "%-28s 100 %% dose %.3f %%, sAGD %.3f %% (1 sigma of one run, from the runs' spread)\n", "",
                100 * relativeSpread(refs), 100 * relativeSpread(sagds));
        }
    }
    return 0;
}

// The total dose of a result file, read as the workbench reads it, and its history count.
bool readTotals(const fs::path& file, std::vector<double>& total, int& layers, double& histories,
                std::string& why) {
    std::optional<kv::RecordReader> in;
    kv::formats::ResultFileHead head;
    if (kv::formats::openResultFile(file.parent_path(), file.filename().string(), in) !=
            kv::formats::LoadFailure::None ||
        kv::formats::readResultHead(*in, head) != kv::formats::LoadFailure::None)
        return why = "is not a readable result file", false;
    if (head.countX != kVoxelsX || head.countY != kVoxelsY) return why = "has an unexpected grid", false;
    const size_t n = size_t{kVoxelsX} * kVoxelsY * static_cast<size_t>(head.countZ);
    std::vector<double> primary(n), scatter(n);
    auto row = [&](int c, int iy, int iz) {
        return (c == 1 ? primary : scatter).data() +
               (static_cast<size_t>(iz - 1) * kVoxelsY + (iy - 1)) * kVoxelsX;
    };
    if (kv::formats::readResultBlocks(*in, head, row) != kv::formats::LoadFailure::None)
        return why = "holds no whole dose map", false;
    total.resize(n);
    for (size_t v = 0; v < n; ++v)
        total[v] = primary[v] + scatter[v];
    layers = head.countZ;
    histories = head.histories;
    return true;
}

int compareFiles(const fs::path& dir, const std::vector<std::string>& names, double seconds) {
    std::vector<std::vector<double>> totals;
    int layers = 0;
    double histories = 0; // the files' mean: a run that met a target stops early
    for (const std::string& n : names) {
        std::vector<double> t;
        std::string why;
        double h = 0;
        if (!readTotals(dir / n, t, layers, h, why)) {
            std::fprintf(stderr, "%s: %s\n", (dir / n).string().c_str(), why.c_str());
            return 1;
        }
        if (!totals.empty() && t.size() != totals[0].size()) {
            std::fprintf(stderr, "%s: another grid than %s\n", n.c_str(), names[0].c_str());
            return 1;
        }
        totals.push_back(std::move(t));
        histories += h / static_cast<double>(names.size());
    }
    double sigma = spreadSigma(totals, layers);
    if (seconds > 0)
        report("spread of the runs", sigma, seconds, histories);
    else
        std::printf("spread of the runs: sigma %.3f %%\n", sigma * 100.0);
    return 0;
}

int writeCase(const fs::path& dir, const std::string& histories) {
    fs::create_directories(dir);
    for (int f = 10; f <= 90; f += 10) {
        std::string name = "BR12-" + std::to_string(f) + ".dat";
        fs::copy_file(fs::path(KV_SOURCE_DIR) / "data" / name, dir / name,
                      fs::copy_options::overwrite_existing);
    }
    kv::spectrum::PhysicalData data = kv::spectrum::LoadPhysicalData(fs::path(KV_SOURCE_DIR) / "data");
    kv::formats::SpectrumFields f = fields28();
    kv::spectrum::SpectrumResult s =
        kv::spectrum::computeSpectrum(kv::formats::TargetMaterial::Molybdenum, data, f);
    kv::formats::writeSpectrumFile(dir, kv::formats::TargetMaterial::Molybdenum, f, s.table,
                                   kv::texts::englishSpectrumFileTexts.labels);
    kv::formats::writeEquipment(dir, {"Bench unit", "65.0", "60.0", "0", f.targetAngle, f.tubeTiltAngle});
    kv::formats::writePhantomFile(dir, "50", "5");
    kv::formats::writeControlFile(dir, {"65", "60", 60.0, "0", histories, "fom", "Bench unit"});
    std::printf("Case written to %s: run halvex there; it writes fom.vesk\n", dir.string().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t histories = 20'000'000;
    std::string historiesText;
    unsigned threads = defaultThreadCount();
    uint64_t seed = 1;
    size_t runs = 1;
    int repeat = 1;
    double seconds = 0;
    CaseOptions est;
    std::string caseDir, compareDir;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--histories" && more) {
            historiesText = argv[++i];
            histories = historyCount(historiesText);
        } else if (a == "--threads" && more)
            threads = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (a == "--seed" && more)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--runs" && more)
            runs = static_cast<size_t>(std::atoi(argv[++i]));
        else if (a == "--repeat" && more)
            repeat = std::atoi(argv[++i]);
        else if (a == "--seconds" && more)
            seconds = std::atof(argv[++i]);
        else if (a == "--estimator" && more) {
            std::string e = argv[++i];
            if (e != "expected" && e != "track" && e != "analogue") return std::fputs(kUsage, stderr), 2;
            est.estimator = e == "expected" ? DoseEstimator::ExpectedTrack
                            : e == "track"  ? DoseEstimator::TrackLength
                                            : DoseEstimator::Analogue;
        } else if (a == "--no-maps") {
            est.maps = false;
        } else if (a == "--plain") {
            est.quasiRandom = false;
        } else if (a == "--unit" && more) {
            est.unit = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--write-case" && more)
            caseDir = argv[++i];
        else if (a == "--compare" && more) {
            compareDir = argv[++i];
            while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
                files.push_back(argv[++i]);
        } else
            return std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h"
                       ? (std::fputs(kUsage, stdout), 0)
                       : (std::fputs(kUsage, stderr), 2);
    }
    if (histories == 0 || threads == 0 || runs == 0 || repeat <= 0) return std::fputs(kUsage, stderr), 2;
    if (!caseDir.empty()) return writeCase(caseDir, historiesText.empty() ? "2e7" : historiesText);
    if (!compareDir.empty()) {
        if (files.size() < 2) return std::fputs(kUsage, stderr), 2;
        return compareFiles(compareDir, files, seconds);
    }
    return inProcess(histories, threads, seed, runs, est, repeat);
}

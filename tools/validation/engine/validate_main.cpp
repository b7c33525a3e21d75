// Runs the breast reference case through the transport core and prints the
// energy deposited in the breast tissue against the published values.
//   kv_engine_validate [--full] [--histories N] [--threads T] [--seed S]
//                      [--box x0 x1 y0 y1 z0 z1]...
// Boxes are in the reference frame (cm): x into the breast, y along the
// chest wall, z up from the detector plane.
#include "kv/engine/breast_reference.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace kv::engine;

int main(int argc, char** argv) {
    uint64_t histories = 2'000'000;
    uint64_t seed = 20150101;
    unsigned threads = defaultThreadCount();
    std::vector<ReferenceBox> boxes;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--full")
            histories = 50'000'000;
        else if (a == "--histories" && i + 1 < argc)
            histories = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--threads" && i + 1 < argc)
            threads = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (a == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--box" && i + 6 < argc) {
            ReferenceBox b{};
            double* v[] = {&b.x0, &b.x1, &b.y0, &b.y1, &b.z0, &b.z1};
            for (double* p : v)
                *p = std::atof(argv[++i]);
            boxes.push_back(b);
        } else {
            const bool help = a == "--help" || a == "-h";
            std::fprintf(
                help ? stdout : stderr,
                "usage: %s [--full] [--histories N] [--threads T] [--seed S] [--box x0 x1 y0 y1 z0 z1]...\n",
                argv[0]);
            return help ? 0 : 2;
        }
    }
    RaySpectra mo30 = readReferenceSpectrum(std::string(KV_ENGINE_VALIDATION_DIR) + "/mo30kvp-spectrum.csv");
    RaySpectra mono = monoenergeticSpectrum(16.8);
    BreastReference ref;
    std::printf("Breast reference case, %llu histories per beam, %u threads, seed %llu\n",
                static_cast<unsigned long long>(histories), threads, static_cast<unsigned long long>(seed));
    std::printf("%-14s %6s %22s %10s %18s %9s %8s\n", "beam", "angle", "this engine (eV)", "reference",
                "codes' range", "diff", "diff/sd");
    int outside = 0;
    for (const ReferenceValue& v : referenceValues()) {
        bool isMono = std::strcmp(v.beam, "16.8 keV") == 0;
        ReferenceResult r = ref.run(isMono ? mono : mo30, v.angleDeg, boxes, histories, seed, threads);
        double diff = (r.breastEv - v.ev) / v.ev * 100.0;
        if (std::fabs(diff) > 1.0) ++outside;
        std::printf("%-14s %5.0f%s %12.1f +- %6.1f %10.1f %8.1f - %7.1f %+8.2f%% %+8.2f\n", v.beam,
                    v.angleDeg, "\xc2\xb0", r.breastEv, r.breastSigma, v.ev, v.low, v.high, diff,
                    (r.breastEv - v.ev) / r.breastSigma);
        double trackDiff = (r.trackBreastEv - v.ev) / v.ev * 100.0;
        std::printf("    track-length %12.1f +- %6.1f eV %+8.2f%%; minus analogue %+.1f +- %.1f eV\n",
                    r.trackBreastEv, r.trackBreastSigma, trackDiff, r.trackBreastEv - r.breastEv,
                    r.trackMinusAnalogueSigma);
        for (size_t b = 0; b < boxes.size(); ++b)
            std::printf("    box x %.2f..%.2f y %.2f..%.2f z %.2f..%.2f: %.3f +- %.3f eV, track-length %.3f "
                        "+- %.3f eV\n",
                        boxes[b].x0, boxes[b].x1, boxes[b].y0, boxes[b].y1, boxes[b].z0, boxes[b].z1,
                        r.boxEv[b], r.boxSigma[b], r.trackBoxEv[b], r.trackBoxSigma[b]);
        std::printf("    %.1f s, %.0f histories/s; energy emitted %.1f = deposited %.1f + escaped %.1f eV\n",
                    r.seconds, static_cast<double>(r.histories) / r.seconds, r.emittedEv, r.depositedEv,
                    r.escapedEv);
    }
    // The Mo/Mo beam with its photons at the bin centres instead, for comparison.
    RaySpectra centred = readReferenceSpectrum(
        std::string(KV_ENGINE_VALIDATION_DIR) + "/mo30kvp-spectrum.csv", BinPlacement::Centre);
    for (double angle : {0.0, 15.0}) {
        ReferenceResult r = ref.run(centred, angle, {}, histories, seed, threads);
        std::printf("Mo/Mo 30 kVp, photons at the bin centres (mean %.2f keV), %2.0f%s: %.1f +- %.1f eV\n",
                    r.emittedEv / 1000.0, angle, "\xc2\xb0", r.breastEv, r.breastSigma);
    }
    std::printf(outside ? "%d of the four totals differ from the reference by more than 1 %%\n"
                        : "All four totals lie within 1 %% of the reference\n",
                outside);
    return outside ? 1 : 0;
}

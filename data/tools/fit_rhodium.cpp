// Fits the rhodium target's constants to the measured catalogue and prints
// them with the line fractions measured at each tube voltage (data/README.md).
//   kv-fit-rhodium CATALOGUE_RH_FOLDER DATA_FOLDER
#include "kv/common/format.h"
#include "rhodium_fit.h"

#include <cstdio>
#include <exception>
#include <string_view>

int main(int argc, char** argv) {
    const bool help =
        argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h");
    if (argc != 3 || help) {
        std::fprintf(help ? stdout : stderr, "usage: %s <folder of Rh_<kv>kV.dat> <data folder>\n", argv[0]);
        return help ? 0 : 2;
    }
    try {
        const kv::spectrum::PhysicalData data = kv::spectrum::LoadPhysicalData(argv[2]);
        const kv::data::RhodiumFit fit = kv::data::fitRhodium(data, argv[1], 20, 50);
        std::printf("kV  f(Kα)     f(Kβ)     (measured line photons per continuum photon under the line)\n");
        for (const auto& r : fit.rows)
            std::printf("%2d  %8.4f  %8.4f\n", r.kv, r.alphaFraction, r.betaFraction);
        const auto& c = fit.constants;
        std::printf("shape after %d rounds\n", fit.iterations);
        std::printf("inline constexpr RhodiumConstants kRhodiumConstants{{%.6g, %.6g, %.6g, %.6g},\n"
                    "    {%.6g, %.6g, %.6g, %.6g}, %.6g, %.6g, %.6g, %.6g};\n",
                    c.shape[0], c.shape[1], c.shape[2], c.shape[3], c.slope[0], c.slope[1], c.slope[2],
                    c.slope[3], c.alphaScale, c.alphaPower, c.betaScale, c.betaPower);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

// The rhodium target's constants are the fit to the measured catalogue, and
// with them the model meets the catalogue: mean energy within 1 % (bare
// and filtered) and the first HVL behind 0.025 mm Rh or 0.05 mm Ag within 3 % from 22 to 40 kV
// (S. Ketelhut and L. Büermann, PTB, CC-BY 4.0; the files in
// data/measured-spectra).
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "rhodium_fit.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace kv::spectrum;
const std::filesystem::path kSource = KV_SOURCE_DIR;
const std::filesystem::path kCatalogue = kSource / "data/measured-spectra/Rh";

const PhysicalData& data() {
    static const PhysicalData d = LoadPhysicalData(kSource / "data");
    return d;
}

TEST(RhodiumFit, TheModelsConstantsAreTheFit) {
    const kv::data::RhodiumFit fit = kv::data::fitRhodium(data(), kCatalogue, 20, 50);
    const RhodiumConstants& c = kRhodiumConstants;
    const std::pair<const char*, std::pair<double, double>> values[] = {
        {"s1", {fit.constants.shape[0], c.shape[0]}},
        {"s2", {fit.constants.shape[1], c.shape[1]}},
        {"s3", {fit.constants.shape[2], c.shape[2]}},
        {"s4", {fit.constants.shape[3], c.shape[3]}},
        {"r1", {fit.constants.slope[0], c.slope[0]}},
        {"r2", {fit.constants.slope[1], c.slope[1]}},
        {"r3", {fit.constants.slope[2], c.slope[2]}},
        {"r4", {fit.constants.slope[3], c.slope[3]}},
        {"Kα scale", {fit.constants.alphaScale, c.alphaScale}},
        {"Kα power", {fit.constants.alphaPower, c.alphaPower}},
        {"Kβ scale", {fit.constants.betaScale, c.betaScale}},
        {"Kβ power", {fit.constants.betaPower, c.betaPower}},
    };
    for (const auto& [name, v] : values)
        EXPECT_NEAR(v.first, v.second, 1e-5 * std::fabs(v.second))
            << name << ": refit with kv-fit-rhodium (data/README.md)";
    // Lines only above the K edge, and stronger the higher the voltage.
    for (size_t n = 1; n < fit.rows.size(); ++n) {
        const auto& r = fit.rows[n];
        if (r.kv < kRhodiumKEdge) EXPECT_EQ(r.alphaFraction, 0) << r.kv;
        if (r.kv > 25) EXPECT_GT(r.alphaFraction, fit.rows[n - 1].alphaFraction) << r.kv;
    }
}

TEST(RhodiumFit, ModelMeetsTheCatalogueFrom22To40kV) {
    struct Filter {
        const char* name;
        const char* rh;
        const char* ag;
    };
    const Filter filters[] = {{"bare", "0", "0"}, {"0.025 mm Rh", "0.025", "0"}, {"0.05 mm Ag", "0", "0.05"}};
    for (int kv = 22; kv <= 40; ++kv) {
        const MeasuredSpectrum m =
            kv::formats::readMeasuredSpectrum(kCatalogue / ("Rh_" + std::to_string(kv) + "kV.dat"));
        for (const Filter& f : filters) {
            SpectrumFields tube = kv::data::rhodiumCatalogueFields(kv);
            tube.rhodium = f.rh, tube.silver = f.ag;
            // The measurement holds its tube's window and air already: only the added filter.
            SpectrumFields added{std::to_string(kv), "18", "2.75", "0", "0", "0", f.rh, f.ag, "0"};
            const auto model = beamQuality(
                raySpectrum(TargetMaterial::Rhodium, data(), tube, kv::data::kRhodiumCatalogueRay),
                data().aluminum);
            const auto measured =
                beamQuality(measuredSpectrumTable(m, "Rh", data(), added).table[0], data().aluminum);
            ASSERT_TRUE(model && measured) << kv << " kV";
            EXPECT_NEAR(model->meanEnergy / measured->meanEnergy, 1, 0.01) << kv << " kV, " << f.name;
            if (std::string(f.name) != "bare")
                EXPECT_NEAR(model->firstHvl / measured->firstHvl, 1, 0.03) << kv << " kV, " << f.name;
        }
    }
}

} // namespace

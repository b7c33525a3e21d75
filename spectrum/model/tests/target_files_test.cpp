// The spectrum files of the molybdenum and tungsten targets, byte for byte:
// their SHA-256 was taken at commit 6893cb0, before the rhodium target came,
// and a change to either model or to the writer shows here.
#include "kv/common/content_hash.h"
#include "kv/formats/spectrum_file.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "shipped_data.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::spectrum;
using kv::spectrum::testing::shippedData;

struct Golden {
    const char* name;
    TargetMaterial target;
    SpectrumFields fields;
    bool japanese;
    const char* sha256;
};

const Golden kGolden[] = {
    {"Mo 28 kV, 0.03 Mo",
     TargetMaterial::Molybdenum,
     {"28", "16", "6", "0.8", "0", "0.03", "0", "0", "60"},
     false,
     "1b23049091e796c59954a216e4a16f3e0c131396bf3bdec982ed6c7540da6ce7"},
    {"Mo 25 kV, 0.025 Rh, 2 mm Al",
     TargetMaterial::Molybdenum,
     {"25", "16", "6", "0.8", "2", "0", "0.025", "0", "60"},
     false,
     "8aaf6979b714e5679097a968c4403ca9e3d53baeba2e51bc710e06eb7f76b1ba"},
    {"Mo 18 kV, no filter (lines below their threshold)",
     TargetMaterial::Molybdenum,
     {"18", "16", "6", "0.8", "0", "0", "0", "0", "60"},
     false,
     "31e62814c93d7ad4cb7a35a7f0f630f9b4cb7861b2d9600d79323ed8ba79c748"},
    {"Mo 50 kV, Japanese labels",
     TargetMaterial::Molybdenum,
     {"50", "20", "3", "1", "0.1", "0.03", "0", "0", "65"},
     true,
     "e454574c002ad1988ae0a7a039ad3646fbc87e8a67c286dda55f5825fb4ee0c4"},
    {"W 10 kV drawn at 15",
     TargetMaterial::Tungsten,
     {"10", "16", "6", "0.8", "0", "0", "0.025", "0", "60"},
     false,
     "8c547b563193f6cdf5b41b58fca89b35d76bcd5895e7ac96a0e33ef48304f472"},
    {"W 35 kV, 0.05 Rh",
     TargetMaterial::Tungsten,
     {"35", "16", "6", "0.8", "0", "0", "0.05", "0", "60"},
     false,
     "9a5db7c0632cf361a317c4e5e18d8ae8aac9b7ea8a3351767f0a19e23e306175"},
    {"W 49 kV, 0.05 Ag, 0.5 Al, Japanese labels",
     TargetMaterial::Tungsten,
     {"49", "22", "0", "0.8", "0.5", "0", "0", "0.05", "60"},
     true,
     "b9bf87812248fdf7f850aa6bfba7514151d0044d3a9ce0531b8038022e159cbc"},
};

TEST(TargetFiles, MolybdenumAndTungstenFilesKeepTheirBytes) {
    for (const Golden& g : kGolden) {
        const SpectrumResult r = computeSpectrum(g.target, shippedData(), g.fields);
        const auto& labels = g.japanese ? kv::texts::japaneseSpectrumFileTexts.labels
                                        : kv::texts::englishSpectrumFileTexts.labels;
        const std::string text = kv::formats::spectrumFileText(g.target, g.fields, r.table, labels);
        EXPECT_EQ(kv::sha256Hex(text), g.sha256) << g.name;
    }
}

} // namespace

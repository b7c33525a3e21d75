// The breast reference case with a reduced number of histories: each total
// must lie within 1 % of the published value, widened by three standard
// deviations of this short run.
#include "kv/engine/breast_reference.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace kv::engine;

TEST(BreastReference, ReducedRunReproducesThePublishedTotals) {
    BreastReference ref;
    RaySpectra mono = monoenergeticSpectrum(16.8);
    RaySpectra mo30 = readReferenceSpectrum(KV_ENGINE_VALIDATION_DIR "/mo30kvp-spectrum.csv");
    for (const ReferenceValue& v : referenceValues()) {
        bool isMono = std::strcmp(v.beam, "16.8 keV") == 0;
        ReferenceResult r = ref.run(isMono ? mono : mo30, v.angleDeg, {}, 500000, 1234, 2);
        EXPECT_NEAR(r.breastEv, v.ev, 0.01 * v.ev + 3 * r.breastSigma)
            << v.beam << " at " << v.angleDeg << " deg";
        EXPECT_LT(r.breastSigma / r.breastEv, 0.004);
        // The track-length estimate of the same photons: the same total.
        EXPECT_NEAR(r.trackBreastEv, r.breastEv, 3 * r.trackMinusAnalogueSigma)
            << v.beam << " at " << v.angleDeg;
        EXPECT_NEAR(r.trackBreastEv, v.ev, 0.01 * v.ev + 3 * r.trackBreastSigma)
            << v.beam << " at " << v.angleDeg;
    }
}

TEST(BreastReference, BoxesPartitionTheBreastTissue) {
    BreastReference ref;
    // Two boxes that together cover all of the tissue, and one small region of interest.
    std::vector<ReferenceBox> boxes = {{0, 10, -10, 0, 0, 10}, {0, 10, 0, 10, 0, 10}, {4, 6, -1, 1, 3, 4}};
    ReferenceResult r = ref.run(monoenergeticSpectrum(16.8), 0.0, boxes, 200000, 99, 2);
    EXPECT_NEAR(r.boxEv[0] + r.boxEv[1], r.breastEv, 1e-9 * r.breastEv);
    // Symmetric about the central plane at 0 degrees.
    EXPECT_NEAR(r.boxEv[0], r.boxEv[1], 4 * std::hypot(r.boxSigma[0], r.boxSigma[1]));
    EXPECT_GT(r.boxEv[2], 0.0);
    EXPECT_GT(r.boxSigma[2], 0.0);
    EXPECT_LT(r.boxEv[2], r.breastEv * 0.1);
    // Track-length boxes: the same partition, each within its uncertainty of the analogue value.
    EXPECT_NEAR(r.trackBoxEv[0] + r.trackBoxEv[1], r.trackBreastEv, 1e-9 * r.trackBreastEv);
    for (size_t b = 0; b < boxes.size(); ++b)
        EXPECT_NEAR(r.trackBoxEv[b], r.boxEv[b], 3 * std::hypot(r.boxSigma[b], r.trackBoxSigma[b])) << b;
    EXPECT_LT(r.trackBoxSigma[2], r.boxSigma[2]);
}

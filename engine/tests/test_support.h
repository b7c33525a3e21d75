#pragma once
// Shared helpers of the engine tests.
#include "kv/engine/source.h"

#include <cmath>

namespace kv::engine::test_support {

// A molybdenum-like 42-ray table: a filtered continuum up to `kvp`, two K
// lines, and an emission that falls by 1.5 % per ray towards the anode.
inline RaySpectra syntheticHeelSpectrum(double kvp = 28.0) {
    RaySpectra s;
    s.rayWidthDeg = 0.5;
    for (int i = 5; i <= 250; ++i)
        s.energies.push_back(0.2 * i);
    for (int k = 0; k < 42; ++k) {
        std::vector<double> w;
        for (double e : s.energies) {
            double v = e < kvp ? (kvp - e) / e * std::exp(-std::pow(11.0 / e, 3.0)) : 0.0;
            if (std::fabs(e - 17.4) < 0.01) v += 1.5;
            if (std::fabs(e - 19.6) < 0.01) v += 0.4;
            w.push_back(v * (1.0 - 0.015 * k));
        }
        s.weights.push_back(w);
    }
    return s;
}

} // namespace kv::engine::test_support

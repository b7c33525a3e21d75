// The workbench case both engine benchmarks run: Mo/Mo spectrum, 5 cm of 50 %
// glandular tissue, the central 0.5-degree rays of the spectrum table.
#pragma once

#include "kv/engine/workbench_sim.h"
#include "kv/formats/composition_file.h"
#include "kv/spectrum/model/spectrum_model.h"

#include <vector>

inline kv::engine::WorkbenchSetup workbenchCaseSetup(const kv::formats::SpectrumFields& fields) {
    kv::spectrum::PhysicalData data = kv::spectrum::LoadPhysicalData(KV_SOURCE_DIR "/data");
    kv::spectrum::SpectrumResult s =
        kv::spectrum::computeSpectrum(kv::formats::TargetMaterial::Molybdenum, data, fields);
    kv::engine::WorkbenchSetup setup;
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
    return setup;
}

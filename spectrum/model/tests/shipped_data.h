#pragma once
// The data tables shipped in data/, loaded once for the model tests.
#include "kv/spectrum/physical_data.h"

namespace kv::spectrum::testing {

inline const std::filesystem::path& shippedDataDir() {
    static const std::filesystem::path dir = std::filesystem::path(KV_SOURCE_DIR) / "data";
    return dir;
}

inline const PhysicalData& shippedData() {
    static const PhysicalData data = LoadPhysicalData(shippedDataDir());
    return data;
}

} // namespace kv::spectrum::testing

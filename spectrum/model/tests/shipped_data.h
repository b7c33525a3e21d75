#pragma once
// The data tables shipped in data/, loaded once for the model tests.
#include "kv/spectrum/model/physical_data.h"
#include "kv/test_support/work_dir.h"

namespace kv::spectrum::testing {

inline const PhysicalData& shippedData() {
    static const PhysicalData data = LoadPhysicalData(kv::test_support::shippedDataDir());
    return data;
}

} // namespace kv::spectrum::testing

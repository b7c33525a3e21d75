#include "run_dir.h"

#include "kv/formats/control_file.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/texts/spectrum_files.h"

namespace fs = std::filesystem;

namespace kv::engine::test_support {

RunDir::RunDir(const RunDirOptions& o) {
    const fs::path& at = dir_.path();
    for (int f = 10; f <= 90; f += 10)
        dir_.copyShipped("BR12-" + std::to_string(f) + ".dat");
    spectrum::PhysicalData data = spectrum::LoadPhysicalData(kv::test_support::shippedDataDir());
    formats::SpectrumFields fields;
    fields.tubeVoltage = o.tubeVoltage;
    spectrum::SpectrumResult s = spectrum::computeSpectrum(formats::TargetMaterial::Molybdenum, data, fields);
    formats::writeSpectrumFile(at, formats::TargetMaterial::Molybdenum, fields, s.table,
                               texts::englishSpectrumFileTexts.labels);
    formats::writeEquipment(
        at, {"Test unit", "65.0", "60.0", o.angularRange, fields.targetAngle, fields.tubeTiltAngle});
    formats::writePhantomFile(at, o.fraction, o.thickness);
    formats::writeControlFile(at, {"65", "60", 60.0, o.angularRange, o.histories, o.resultName, "Test unit"});
}

} // namespace kv::engine::test_support

#include "run_dir.h"

#include "kv/formats/equipment_file.h"
#include "kv/spectrum/spectrum_model.h"
#include "kv/texts/spectrum_files.h"
#include "kv/formats/control_file.h"
#include "kv/formats/phantom_file.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kv::engine::test_support {

RunDir::RunDir(const RunDirOptions& o) {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() / ("kv-engine-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
    for (int f = 10; f <= 90; f += 10) {
        std::string name = "BR12-" + std::to_string(f) + ".dat";
        fs::copy_file(fs::path(KV_SOURCE_DIR) / "data" / name, path_ / name);
    }
    spectrum::PhysicalData data = spectrum::LoadPhysicalData(fs::path(KV_SOURCE_DIR) / "data");
    formats::SpectrumFields fields;
    fields.tubeVoltage = o.tubeVoltage;
    spectrum::SpectrumResult s = spectrum::computeSpectrum(formats::TargetMaterial::Molybdenum, data, fields);
    formats::writeSpectrumFile(path_, formats::TargetMaterial::Molybdenum, fields, s.table,
                                texts::englishSpectrumFileTexts.labels);
    formats::writeEquipment(path_, {"Test unit", "65.0", "60.0", o.angularRange, fields.targetAngle,
                                     fields.tubeTiltAngle});
    formats::writePhantomFile(path_, o.fraction, o.thickness);
    formats::writeControlFile(path_, {"65", "60", 60.0, o.angularRange, o.histories, o.resultName, "Test unit"});
}

RunDir::~RunDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string RunDir::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void RunDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
}

} // namespace kv::engine::test_support

// equipment.dat as the set-up screen, the spectrum tool and the engines read
// it: a SpectrumFileError or the six items.
#include "kv/spectrum/equipment_file.h"

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::spectrum::kEquipmentFileName, data, size);
    try {
        kv::spectrum::readEquipment(dir);
    } catch (const kv::spectrum::SpectrumFileError& e) {
        // Every message the screens show is built from it.
        describe(e, kv::texts::englishSpectrumFileTexts);
    }
    return 0;
}
